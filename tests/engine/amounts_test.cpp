#include "engine/amounts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "engine_test_support.h"

namespace engine {
namespace {

const NumberFormat kEnglish{".", ","};
const NumberFormat kGerman{",", "."};
const NumberFormat kFrench{",", "\u202f"};
const NumberFormat kSwiss{".", "’"};
const NumberFormat kArabic{"٫", "٬", {"٠", "١", "٢", "٣", "٤", "٥", "٦", "٧", "٨", "٩"}};
const NumberFormat kMarathi{".", ",", {"०", "१", "२", "३", "४", "५", "६", "७", "८", "९"}, 3, 2};
const NumberFormat kPersian{"٫", "٬", {"۰", "۱", "۲", "۳", "۴", "۵", "۶", "۷", "۸", "۹"}};

constexpr std::int64_t kMinUnits = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMaxUnits = std::numeric_limits<std::int64_t>::max();

TEST(TextToDouble, ReadsNumbersAsTheLocaleWritesThem) {
    const struct {
        const char* text;
        NumberFormat format;
        double expected;
    } cases[] = {{"40,000", kEnglish, 40000},
                 {" 12.5\t", kEnglish, 12.5},
                 {"-3", kEnglish, -3},
                 {"+7", kEnglish, 7},
                 {".5", kEnglish, 0.5},
                 {"5.", kEnglish, 5},
                 {"1,234,567.89", kEnglish, 1234567.89},
                 {"1e3", kEnglish, 1000},
                 {"-1.5E-2", kEnglish, -0.015},
                 {"0.1", kEnglish, 0.1},
                 {"2.2250738585072011e-308", kEnglish, 2.2250738585072011e-308},
                 {"1e-400", kEnglish, 0.0},
                 {"0.000000000000000000000000000000000000001e-380", kEnglish, 0.0},
                 {"40,000", kGerman, 40},
                 {"1.234.567,5", kGerman, 1234567.5},
                 {"-0,25", kGerman, -0.25},
                 {"1\u202f234,5", kFrench, 1234.5},
                 // Where the locale groups with a blank, "40 000" typed with another was refused.
                 {"40 000", kFrench, 40000},
                 {"40\u00a0000", kFrench, 40000},
                 {"40\u2009000", kFrench, 40000},
                 {"1 234\u00a0567\u202f890,5", kFrench, 1234567890.5},
                 {"40\u202f000", NumberFormat{",", "\u00a0"}, 40000},
                 {"40'000", kSwiss, 40000},
                 {"٤٠٬٠٠٠٫٥", kArabic, 40000.5},
                 {"٩٨٧٬٦٥٤٬٣٢١", kArabic, 987654321},  // each digit: a locale's 9 went unread
                 {"40,000", kArabic, 40000},
                 {"84,590.75", kArabic, 84590.75},  // a keyboard's "." was refused for "٫"
                 // Negatives as Qt writes them (sv_SE, fa_IR, ar_EG, he_IL, ckb_IQ, ps_AF) were
                 // refused.
                 {"\u22121\u00a0234,5", NumberFormat{",", "\u00a0"}, -1234.5},
                 {"\u200e\u2212۱٬۲۳۴٫۵", kPersian, -1234.5},
                 {"\u061c-١٬٢٣٤٫٥", kArabic, -1234.5},
                 {"\u200e-1,234.5", kEnglish, -1234.5},
                 {"\u200f-١٬٢٣٤٫٥", kArabic, -1234.5},
                 {"\u200e-\u200e۱٬۲۳۴٫۵", kPersian, -1234.5},
                 {"４０，０００．５", kEnglish, 40000.5},
                 {"२,८०,५४४", kMarathi, 280544},  // grouped as India groups
                 {"1,234,567", kMarathi, 1234567}};
    for (const auto& c : cases) {
        EXPECT_EQ(TextToDouble(c.text, c.format), c.expected) << '"' << c.text << '"';
    }
}

TEST(TextToDouble, RejectsTextThatIsNotANumber) {
    const struct {
        const char* text;
        NumberFormat format;
    } cases[] = {{"", kEnglish},
                 {"   ", kEnglish},
                 {"abc", kEnglish},
                 {"12abc", kEnglish},
                 {"1.2.3", kEnglish},
                 {",5", kEnglish},
                 {"--5", kEnglish},
                 {"+-5", kEnglish},
                 {"1e", kEnglish},
                 {"e5", kEnglish},
                 {"inf", kEnglish},
                 {"nan", kEnglish},
                 {"0x10", kEnglish},
                 {"$5", kEnglish},
                 {"5%", kEnglish},
                 {"1 000", kEnglish},
                 {"40\u00a0000", kEnglish},  // blanks group only where the locale groups with one
                 {"40 000", kGerman},
                 {"1.5,0", kEnglish},
                 {"1,5.0", kGerman},
                 {"-", kEnglish},
                 {".", kEnglish},
                 {"\xEF\x3C\x95", kEnglish},  // a broken full-width five
                 // Separators that do not group.
                 {"200.50", kGerman},
                 {"1,,000", kEnglish},
                 {"100,", kEnglish},
                 {"1234,567", kEnglish},
                 {"2,80,544", kEnglish},
                 {"2,8,544", kMarathi},
                 {"40'000", kEnglish}};
    for (const auto& c : cases) {
        EXPECT_EQ(FailureOf([&] { TextToDouble(c.text, c.format); }), Failure::NotANumber)
            << '"' << c.text << '"';
    }
}

TEST(TextToDouble, FailsAsOverflowBeyondTheDoubleRange) {
    for (const std::string& text :
         {std::string("1e400"), std::string("-1e400"), std::string(400, '9'),
          std::string("1e99999999999999999999999")}) {
        EXPECT_EQ(FailureOf([&] { TextToDouble(text); }), Failure::TooLarge) << text;
    }
}

TEST(TextToDouble, AcceptsSeparatorsOfEitherLocaleOnlyAsTheirLocaleSays) {
    // With coinciding separators nothing can be grouped: the text reads as a decimal.
    EXPECT_EQ(TextToDouble("1.5", NumberFormat{".", "."}), 1.5);
    EXPECT_EQ(FailureOf([] {
                  TextToDouble("1.234.5", NumberFormat{".", "."});
              }),
              Failure::NotANumber);
}

TEST(RoundToLong, RoundsHalvesToEven) {
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {{26.5, 26},
                 {27.5, 28},
                 {-2.5, -2},
                 {-3.5, -4},
                 {0.49999999999999994, 0},
                 {26.50000000000001, 27},
                 {2147483647.4, 2147483647},
                 {-2147483648.5, -2147483648}};
    for (const auto& c : cases) {
        EXPECT_EQ(RoundToLong(c.value), c.expected) << c.value;
    }
}

TEST(RoundToLong, FailsOutsideThirtyTwoBits) {
    for (const double value :
         {2147483647.5, -2147483649.0, 1e300, std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(FailureOf([&] { RoundToLong(value); }), Failure::TooLarge) << value;
    }
}

TEST(ToCurrency, RoundsToTenThousandthsHalvesToEven) {
    const struct {
        double value;
        std::int64_t units;
    } cases[] = {{2000000, 20'000'000'000},
                 {0.00005, 0},
                 {0.00025, 2},
                 {0.00035, 4},
                 {0.00015, 1},  // the double lies a little below the half
                 {0.12345, 1234},
                 {-0.00025, -2},
                 {922337203685477.0, 9223372036854769664},  // the product as binary64 rounds it
                 {-922337203685477.5808, kMinUnits}};
    for (const auto& c : cases) {
        EXPECT_EQ(ToCurrency(c.value).Units(), c.units) << c.value;
    }
}

TEST(ToCurrency, FailsOutsideTheCurrencyRange) {
    for (const double value :
         {922337203685478.0, -922337203685478.0, 922337203685477.5807,
          std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(FailureOf([&] { ToCurrency(value); }), Failure::TooLarge) << value;
        EXPECT_FALSE(TryToCurrency(value).has_value()) << value;
    }
}

TEST(LongToText, WritesPlainDigits) {
    EXPECT_EQ(LongToText(27), "27");
    EXPECT_EQ(LongToText(-3), "-3");
    EXPECT_EQ(LongToText(0), "0");
    EXPECT_EQ(LongToText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(LongToText(-27, kArabic), "-٢٧");
}

TEST(DoubleToText, WritesAtMostFifteenSignificantDigits) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {{0.07 * 100, "7"},
                 {100, "100"},
                 {10, "10"},
                 {450, "450"},
                 {12.5, "12.5"},
                 {-2.5, "-2.5"},
                 {3020, "3020"},
                 {1.0 / 3, "0.333333333333333"},
                 {123456789012345, "123456789012345"},
                 {1e15, "1E+15"},
                 {0.0001, "0.0001"},
                 {0.00001, "1E-05"},
                 {-0.0, "0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(DoubleToText(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(DoubleToText(12.5, kGerman), "12,5");
    EXPECT_EQ(DoubleToText(12.5, kArabic), "١٢٫٥");
    EXPECT_EQ(FailureOf([] { DoubleToText(std::numeric_limits<double>::infinity()); }),
              Failure::TooLarge);
}

TEST(FormatAmount, CurrencyShowsGroupedDollarsAndTwoDecimals) {
    const struct {
        std::int64_t units;
        const char* expected;
    } cases[] = {{0, ".00"},
                 {5000, ".50"},
                 {12'345'678'910, "1,234,567.89"},
                 {23'456'789'000, "2,345,678.90"},
                 {2'805'441'600, "280,544.16"},
                 {9950, "1.00"},
                 {1250, ".13"},  // a half cent rounds away from zero
                 {-1250, "-.13"},
                 {-40, ".00"},
                 {10'000'000, "1,000.00"},
                 {kMaxUnits, "922,337,203,685,477.58"},
                 {kMinUnits, "-922,337,203,685,477.58"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatAmount(Currency::FromUnits(c.units)), c.expected) << c.units;
    }
    EXPECT_EQ(FormatAmount(Currency::FromUnits(12'345'678'910), kGerman), "1.234.567,89");
    EXPECT_EQ(FormatAmount(Currency::FromUnits(12'345'678'910), kFrench), "1\u202f234\u202f567,89");
    EXPECT_EQ(FormatAmount(Currency::FromUnits(2'805'441'600), kArabic), "٢٨٠٬٥٤٤٫١٦");
    EXPECT_EQ(FormatAmount(Currency::FromUnits(12'345'678'910), kMarathi), "१,२३४,५६७.८९");
}

TEST(FormatWholeAmount, ShowsGroupedWholeDollars) {
    const struct {
        double value;
        const char* expected;
    } cases[] = {{2850, "2,850"},
                 {450, "450"},
                 {0, ""},
                 {0.4, ""},
                 {0.5, "1"},
                 {-2850, "-2,850"},
                 {1234567.5, "1,234,568"},
                 {999.5, "1,000"},
                 {1e20, "100,000,000,000,000,000,000"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatWholeAmount(c.value), c.expected) << c.value;
    }
    EXPECT_EQ(FormatWholeAmount(163200.0, kGerman), "163.200");
}

TEST(FV, GrowsAStartingBalanceAndYearlyPayments) {
    EXPECT_NEAR(FV(0.05, 27, -2400, -40000, 0), 280544.16, 0.005);
    EXPECT_NEAR(FV(0.1, 27, -2400, -40000, 0), 815039.63, 0.005);
    EXPECT_NEAR(FV(0.1, 1, -100, 0, 1), 110, 1e-9);  // paid at the start of the period
    EXPECT_DOUBLE_EQ(FV(0, 10, -100, -1000, 0), 2000);
    EXPECT_DOUBLE_EQ(FV(0.05, 0, -2400, -40000, 0), 40000);
    EXPECT_NEAR(FV(0.05, -1, 0, -42000, 0), 40000, 1e-9);
}

TEST(FV, FailsAsOverflowWhenAStepOverflows) {
    EXPECT_EQ(FailureOf([] { FV(0.2, 1e6, -1, -1, 0); }), Failure::TooLarge);
    EXPECT_FALSE(TryFV(0.2, 1e6, 0, 0, 0).has_value());  // 0 * infinity is invalid
    EXPECT_FALSE(TryFV(0.05, 1, -1e308, -1e308, 0).has_value());
    EXPECT_TRUE(TryFV(0.05, -1e6, -1, -1, 0).has_value());  // underflow is no failure
}

}  // namespace
}  // namespace engine
