// ProjectNestEgg against the literal searches, on thousands of generated inputs.
#include <gtest/gtest.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "engine/projection.h"
#include "literal_projection.h"

namespace engine {
namespace {

using literal::Kind;
using literal::kStepBound;
using literal::kTwoMillion;
using literal::Literal;
using literal::Outcome;

Outcome Fast(const NestEggInputs& in, const NumberFormat& format) {
    try {
        return {Kind::Result, ProjectNestEgg(in, format)};
    } catch (const ProjectionError& error) {
        return {error.failure() == Failure::NotANumber ? Kind::Conversion : Kind::Overflow, {}};
    }
}

// Numbers written as a person might type them in the given locale.
class InputMaker {
  public:
    explicit InputMaker(std::uint64_t seed) : random_(seed) {}

    NestEggInputs Make(const NumberFormat& format) {
        NestEggInputs in;
        // One draw per statement: the order of draws within one expression is the compiler's.
        in.rateItem = std::to_string(Pick(5, 20)) + "%";
        const int currentYears = Pick(18, 80);
        const double current = currentYears + Fraction();
        const int yearsToGo = Pick(-6, 45);
        const double retire = current + yearsToGo + Fraction();
        in.currentAge = Text(current, format, false);
        in.retireAge = Text(retire, format, false);
        const bool groupMonthly = Chance(0.5);
        in.monthly = Text(Amount(6.5, 0.2, 0.1), format, groupMonthly);
        const bool groupBalance = Chance(0.6);
        // Mostly balances whose searches end within the bound, now and then huge ones.
        const double balanceExponent = Chance(0.08) ? 17 : 9;
        in.startBal = Text(Amount(balanceExponent, 0.35, 0.08), format, groupBalance);
        return in;
    }

  private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(random_); }
    double Fraction() {
        static constexpr double kFractions[] = {0, 0, 0, 0.25, 0.5, 0.5, 0.75, 0.1};
        return kFractions[Pick(0, 7)];
    }
    double Amount(double maxExponent, double negative, double zero) {
        if (Chance(zero)) {
            return 0;
        }
        const double magnitude =
            std::pow(10.0, std::uniform_real_distribution<double>(0, maxExponent)(random_));
        const double cents =
            Chance(0.7) ? std::round(magnitude) : std::round(magnitude * 100) / 100;
        return Chance(negative) ? -cents : cents;
    }
    static std::string Text(double value, const NumberFormat& format, bool grouped) {
        std::array<char, 64> buffer{};
        const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                       std::chars_format::fixed, 2)
                             .ptr;
        std::string plain(buffer.data(), end);
        const bool negative = plain.front() == '-';
        std::string whole = plain.substr(negative ? 1 : 0, plain.find('.') - (negative ? 1 : 0));
        std::string cents = plain.substr(plain.find('.') + 1);
        std::string out = negative ? "-" : "";
        for (std::size_t i = 0; i < whole.size(); ++i) {
            if (grouped && i > 0 && (whole.size() - i) % 3 == 0) {
                out += format.group;
            }
            out += whole[i];
        }
        if (cents != "00") {
            out += format.decimal + (cents.back() == '0' ? cents.substr(0, 1) : cents);
        }
        return out;
    }

    std::mt19937_64 random_;
};

TEST(ProjectionSearch, AgreesWithTheLiteralSearchesOnGeneratedInputs) {
    const NumberFormat formats[] = {{".", ","}, {",", "."}, {",", "\u202f"}};
    InputMaker maker(20261207);
    int compared = 0;
    int searched = 0;
    int longSearches = 0;
    int failures = 0;
    int reversed = 0;
    for (int i = 0; i < 6000; ++i) {
        const NumberFormat& format = formats[i % 3];
        const NestEggInputs in = maker.Make(format);
        const Outcome literal = Literal(in, format);
        if (literal.kind == Kind::GaveUp) {
            continue;
        }
        const Outcome fast = Fast(in, format);
        const std::string label = in.rateItem + " | " + in.currentAge + " | " + in.retireAge +
                                  " | " + in.monthly + " | " + in.startBal;
        ASSERT_EQ(fast.kind, literal.kind) << label;
        EXPECT_EQ(fast.result.projectionText, literal.result.projectionText) << label;
        EXPECT_EQ(fast.result.headingText, literal.result.headingText) << label;
        EXPECT_EQ(fast.result.goalText, literal.result.goalText) << label;
        EXPECT_EQ(fast.result.hasScenario, literal.result.hasScenario) << label;
        EXPECT_EQ(fast.result.scenarioText, literal.result.scenarioText) << label;
        ++compared;
        failures += literal.kind != Kind::Result;
        searched += literal.result.hasScenario;
        longSearches += literal.steps > 1000;
        reversed += literal.result.goalText.find("unless") != std::string::npos;
    }
    // The generator must keep exercising every path, or this comparison proves little.
    EXPECT_GT(compared, 4000);
    EXPECT_GT(searched, 2000);
    EXPECT_GT(longSearches, 500);
    EXPECT_GT(failures, 50);
    EXPECT_GT(reversed, 100);
}

// Searches far too long to run step by step: the answer must still be the first multiple of
// the step that reaches the goal.
TEST(ProjectionSearch, LongSearchesStopAtTheFirstStepThatReaches) {
    const struct {
        NestEggInputs inputs;
        double rate;
        std::int32_t years;
        double start;
    } cases[] = {
        {{"5%", "64", "65", "0", "-1,000,000,000,000"}, 0.05, 1, -1e12},
        {{"5%", "64", "65", "0", "-700,000,000,000,000"}, 0.05, 1, -7e14},
        {{"13%", "30", "31", "250", "-123,456,789,012.34"}, 0.13, 1, -123456789012.34},
        {{"20%", "20", "22", "0", "-55,555,555,555"}, 0.2, 2, -55555555555},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inputs.startBal);
        const std::string goal = ProjectNestEgg(c.inputs).goalText;
        const std::size_t from = goal.find('$') + 1;
        std::string digits;
        for (const char ch : goal.substr(from, goal.find(' ', from) - from)) {
            if (ch != ',') {
                digits += ch;
            }
        }
        const double need = std::stod(digits);
        const auto balance = [&](double contribution) {
            return ToCurrency(FV(c.rate, c.years, -(contribution * 12), -c.start, 0));
        };
        EXPECT_GT(need, kStepBound * 50.0);
        EXPECT_EQ(std::fmod(need, 50.0), 0.0);
        EXPECT_TRUE(balance(need) >= kTwoMillion);
        EXPECT_TRUE(balance(need - 50) < kTwoMillion);
    }
}

TEST(ProjectionSearch, FailsWhereALaterStepLeavesTheCurrencyRange) {
    // Over 148 years at 20% one $50 step adds about 1.57e15. Here the first step lands at about
    // 1.5 million and the second beyond the Currency range: the search fails there, and the
    // projection itself, above one million, needs no 20% search.
    const NestEggInputs inputs{"20%", "40", "188", "49.99999999", "-2999.9999971283"};
    ASSERT_EQ(Literal(inputs, {}).kind, Kind::Overflow);
    EXPECT_EQ(Fast(inputs, {}).kind, Kind::Overflow);
}

}  // namespace
}  // namespace engine
