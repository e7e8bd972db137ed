#include "engine/projection.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "engine_test_support.h"

namespace engine {
namespace {

const NumberFormat kGerman{",", "."};
const char* const kHeading = "Getting to that 2 Million Dollar Nest Egg";
const char* const kOnThePath = "Congratulations, you are on the path to a Million Dollar Nest Egg";

// ---- Strip ----------------------------------------------------------------------------------

// The removal loop read literally: find the first match, remove it, search again from the start.
std::string LiteralStrip(std::string line, const std::string& remove) {
    for (std::size_t at = line.find(remove); at != std::string::npos; at = line.find(remove)) {
        line.erase(at, remove.size());
    }
    return line;
}

TEST(Strip, RemovesEveryMatchIncludingThoseARemovalCreates) {
    const struct {
        const char* line;
        const char* remove;
        const char* expected;
    } cases[] = {{"10%", "%", "10"},     {"%5%%", "%", "5"},     {"", "%", ""},
                 {"aabb", "ab", ""},     {"aaabbb", "ab", ""},   {"abab", "ab", ""},
                 {"ababa", "aba", "ba"}, {"AbAB", "ab", "AbAB"}, {"50", "%", "50"}};
    for (const auto& c : cases) {
        std::string line = c.line;
        EXPECT_EQ(Strip(line, c.remove), c.expected) << c.line << " without " << c.remove;
        EXPECT_EQ(line, c.expected) << "the line itself holds the result";
    }
}

TEST(Strip, AgreesWithTheRestartingSearchOnRandomText) {
    std::mt19937 random(7);
    const std::string patterns[] = {"%", "ab", "aba", "a%a", "aab", "%%", "ba%"};
    for (int round = 0; round < 20000; ++round) {
        std::string line(random() % 24, ' ');
        for (char& c : line) {
            c = "ab%"[random() % 3];
        }
        const std::string& remove = patterns[random() % std::size(patterns)];
        std::string stripped = line;
        ASSERT_EQ(Strip(stripped, remove), LiteralStrip(line, remove))
            << line << " without " << remove;
    }
}

TEST(Strip, FailsWhenAMatchStartsBeyondPosition32767) {
    std::string atLimit = std::string(32766, 'x') + "%";
    EXPECT_EQ(Strip(atLimit, "%"), std::string(32766, 'x'));

    std::string beyond = std::string(32767, 'x') + "%";
    const std::string before = beyond;
    EXPECT_EQ(FailureOf([&] { Strip(beyond, "%"); }), Failure::TooLarge);
    EXPECT_EQ(beyond, before) << "a failed strip leaves the line alone";

    // A match that removals move back within reach is no failure.
    std::string shrinking = std::string(40000, '%');
    EXPECT_EQ(Strip(shrinking, "%"), "");

    // Positions count UTF-16 units: three-byte characters one each, four-byte ones two.
    std::string euros;
    for (int i = 0; i < 32766; ++i) {
        euros += "\u20ac";
    }
    euros += "%";
    EXPECT_NO_THROW(Strip(euros, "%"));
    std::string emoji;
    for (int i = 0; i < 16384; ++i) {
        emoji += "\U0001F600";
    }
    emoji += "%";
    EXPECT_EQ(FailureOf([&] { Strip(emoji, "%"); }), Failure::TooLarge);
}

TEST(Strip, NeedsSomethingToRemove) {
    std::string line = "10%";
    EXPECT_THROW(Strip(line, ""), std::invalid_argument);
}

// ---- ProjectNestEgg: figures and texts --------------------------------------------------------

struct Expected {
    NestEggInputs inputs;
    const char* projection;
    const char* heading;
    const char* goal;
    const char* scenario;  // nullptr: the third line is left alone
};

void ExpectResult(const Expected& c, const NumberFormat& format = {}) {
    const NestEggResult result = ProjectNestEgg(c.inputs, format);
    EXPECT_EQ(result.projectionText, c.projection);
    EXPECT_EQ(result.headingText, c.heading);
    EXPECT_EQ(result.goalText, c.goal);
    EXPECT_EQ(result.hasScenario, c.scenario != nullptr);
    if (c.scenario != nullptr) {
        EXPECT_EQ(result.scenarioText, c.scenario);
    }
}

TEST(ProjectNestEgg, WorkedExamples) {
    const Expected cases[] = {
        {{"5%", "40", "67", "200", "40,000"},
         "Your $40,000 will grow to $280,544.16 if left in a tax deferred account for 27 years "
         "while growing at consistent 5% per year.",
         kHeading,
         "At the interest rate of 5% you will need to add $2,850 per month to achieve a $2 Million "
         "Dollar Nest Egg",
         "At the rate of 20% annual interest your money will grow to over 2 million in those 27 "
         "years."},
        {{"10%", "40", "67", "200", "40,000"},
         "Your $40,000 will grow to $815,039.63 if left in a tax deferred account for 27 years "
         "while growing at consistent 10% per year.",
         kHeading,
         "At the interest rate of 10% you will need to add $1,050 per month to achieve a $2 "
         "Million Dollar Nest Egg",
         "At the rate of 20% annual interest your money will grow to over 2 million in those 27 "
         "years."},
        {{"20%", "40", "67", "200", "40,000"},
         "Your $40,000 will grow to $7,131,268.70 if left in a tax deferred account for 27 years "
         "while growing at consistent 20% per year.",
         "",
         kOnThePath,
         nullptr},
        {{"5%", "55", "65", "500", "10,000"},
         "Your $10,000 will grow to $91,756.30 if left in a tax deferred account for 10 years "
         "while growing at consistent 5% per year.",
         kHeading,
         "At the interest rate of 5% you will need to add $13,150 per month to achieve a $2 "
         "Million Dollar Nest Egg",
         "At the rate of 20% you only need to add $3020 per month to achieve a million dollar nest "
         "egg."},
        {{"5%", "60", "65", "100", "0"},
         "Your $0 will grow to $6,630.76 if left in a tax deferred account for 5 years while "
         "growing at consistent 5% per year.",
         kHeading,
         "At the interest rate of 5% you will need to add $30,200 per month to achieve a $2 "
         "Million Dollar Nest Egg",
         "At the rate of 20% you only need to add $11200 per month to achieve a million dollar "
         "nest egg."},
        {{"8%", "30", "65", "500", "50,000"},
         "Your $50,000 will grow to $1,773,168.04 if left in a tax deferred account for 35 years "
         "while growing at consistent 8% per year.",
         kHeading,
         "At the interest rate of 8% you will need to add $650 per month to achieve a $2 Million "
         "Dollar Nest Egg",
         "At the rate of 20% you only need to add $0 per month to achieve a million dollar nest "
         "egg."},
        // 26.5 years round to 26; the one-year case takes 3,264 steps of $50.
        {{"5%", "40", "66.5", "200", "40,000"},
         "Your $40,000 will grow to $264,899.20 if left in a tax deferred account for 26 years "
         "while growing at consistent 5% per year.",
         kHeading,
         "At the interest rate of 5% you will need to add $3,050 per month to achieve a $2 Million "
         "Dollar Nest Egg",
         "At the rate of 20% annual interest your money will grow to over 2 million in those 26 "
         "years."},
        {{"5%", "64", "65", "0", "40000"},
         "Your $40000 will grow to $42,000.00 if left in a tax deferred account for 1 years while "
         "growing at consistent 5% per year.",
         kHeading,
         "At the interest rate of 5% you will need to add $163,200 per month to achieve a $2 "
         "Million Dollar Nest Egg",
         "At the rate of 20% you only need to add $79340 per month to achieve a million dollar "
         "nest egg."},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.inputs.rateItem + " " + c.inputs.currentAge + "-" + c.inputs.retireAge);
        ExpectResult(c);
    }
}

TEST(ProjectNestEgg, ExactlyTwoMillionReachesTheGoal) {
    // 1,000,000 * 1.1 + 900,000 * (1.1 - 1) / 0.1 rounds to 2,000,000.0000.
    ExpectResult({{"10%", "64", "65", "75,000", "1,000,000"},
                  "Your $1,000,000 will grow to $2,000,000.00 if left in a tax deferred account "
                  "for 1 years while growing at consistent 10% per year.",
                  "",
                  kOnThePath,
                  nullptr});
    const NestEggResult justShort = ProjectNestEgg({"10%", "64", "65", "74,999.99", "1,000,000"});
    EXPECT_EQ(justShort.headingText, kHeading);
    EXPECT_NE(justShort.goalText, kOnThePath);
}

TEST(ProjectNestEgg, ReadsNumbersInTheUsersLocale) {
    ExpectResult({{"5%", "40", "67", "200", "40.000"},
                  "Your $40.000 will grow to $280.544,16 if left in a tax deferred account for 27 "
                  "years while growing at consistent 5% per year.",
                  kHeading,
                  "At the interest rate of 5% you will need to add $2.850 per month to achieve a "
                  "$2 Million Dollar Nest Egg",
                  "At the rate of 20% annual interest your money will grow to over 2 million in "
                  "those 27 years."},
                 kGerman);
    // With a comma as decimal separator "40,000" is forty dollars.
    const NestEggResult forty = ProjectNestEgg({"5%", "40", "67", "0", "40,000"}, kGerman);
    EXPECT_EQ(forty.projectionText,
              "Your $40,000 will grow to $149,34 if left in a tax deferred account for 27 years "
              "while growing at consistent 5% per year.");
    // The years, too, in the locale's digits.
    const NumberFormat arabic{"٫", "٬", {"٠", "١", "٢", "٣", "٤", "٥", "٦", "٧", "٨", "٩"}};
    EXPECT_NE(ProjectNestEgg({"5%", "40", "67", "0", "0"}, arabic).projectionText.find(" ٢٧ years"),
              std::string::npos);
    // Fractional ages use the locale's separator too.
    EXPECT_EQ(ProjectNestEgg({"5%", "40", "66,5", "200", "40.000"}, kGerman).projectionText,
              "Your $40.000 will grow to $264.899,20 if left in a tax deferred account for 26 "
              "years while growing at consistent 5% per year.");
}

// ---- ProjectNestEgg: horizons where contributions cannot help --------------------------------

TEST(ProjectNestEgg, AnswersAtOnceWhenRetirementIsNotLater) {
    const char* const goal =
        "No monthly contribution can reach a $2 Million Dollar Nest Egg unless retirement is at "
        "least a year away.";
    const char* const scenario =
        "At the rate of 20% no monthly contribution can reach a million dollar nest egg unless "
        "retirement is at least a year away.";
    ExpectResult({{"5%", "65", "60", "200", "40,000"},
                  "Your $40,000 will grow to $20,950.30 if left in a tax deferred account for -5 "
                  "years while growing at consistent 5% per year.",
                  kHeading,
                  goal,
                  scenario});
    ExpectResult({{"12%", "65", "65", "200", "40,000"},
                  "Your $40,000 will grow to $40,000.00 if left in a tax deferred account for 0 "
                  "years while growing at consistent 12% per year.",
                  kHeading,
                  goal,
                  scenario});
    // Later, but by half a year, which rounds to no year.
    EXPECT_EQ(ProjectNestEgg({"5%", "64.5", "65", "200", "40,000"}).goalText, goal);
    // Above a million already: the scenario names $0 without searching, as for any horizon.
    const NestEggResult rich = ProjectNestEgg({"5%", "65", "65", "0", "1,500,000"});
    EXPECT_EQ(rich.goalText, goal);
    EXPECT_EQ(rich.scenarioText,
              "At the rate of 20% you only need to add $0 per month to achieve a million dollar "
              "nest egg.");
}

TEST(ProjectNestEgg, KeepsTheFirstStepWhenItReachesDespiteAReversedHorizon) {
    // One year back discounts: a smaller contribution than the user's reaches the goal.
    const NestEggResult result = ProjectNestEgg({"5%", "66", "65", "10,000", "2,200,000"});
    EXPECT_EQ(result.goalText,
              "At the interest rate of 5% you will need to add $50 per month to achieve a $2 "
              "Million Dollar Nest Egg");
    EXPECT_EQ(result.scenarioText,
              "At the rate of 20% you only need to add $0 per month to achieve a million dollar "
              "nest egg.");
}

TEST(ProjectNestEgg, NeverHangsOnARateThatContributionsCannotUse) {
    // 1 + 1e-19 is 1 in binary64: nothing grows and no contribution counts.
    const NestEggResult flat = ProjectNestEgg({"0.00000000000000001%", "40", "67", "200", "0"});
    EXPECT_EQ(flat.goalText,
              "No monthly contribution can reach a $2 Million Dollar Nest Egg at this interest "
              "rate.");
    EXPECT_TRUE(flat.hasScenario);
    EXPECT_NO_THROW(ProjectNestEgg({"-100%", "40", "67", "200", "40,000"}));
    EXPECT_NO_THROW(ProjectNestEgg({"-250%", "40", "42", "200", "40,000"}));
    EXPECT_NO_THROW(ProjectNestEgg({"0%", "40", "67", "200", "40,000"}));
}

// ---- ProjectNestEgg: failures name the box to fix --------------------------------------------

enum class Kind { Conversion, Overflow, Horizon };

TEST(ProjectNestEgg, FailuresNameTheInputAndItsText) {
    const struct {
        NestEggInputs inputs;
        Kind kind;
        Input input;
        const char* text;
    } cases[] = {
        {{"5%", "abc", "67", "200", "40,000"}, Kind::Conversion, Input::CurrentAge, "abc"},
        {{"5%", "40", "", "200", "40,000"}, Kind::Conversion, Input::RetireAge, ""},
        {{"5%", "40", "sixty", "200", "x"}, Kind::Conversion, Input::RetireAge, "sixty"},
        {{"5%", "40", "67", "2OO", "40,000"}, Kind::Conversion, Input::Monthly, "2OO"},
        {{"5%", "40", "67", "200", "40 000"}, Kind::Conversion, Input::StartBal, "40 000"},
        {{"x%", "40", "67", "200", "40,000"}, Kind::Conversion, Input::Rate, "x%"},
        {{"5%", "40", "67", "200", "1e400"}, Kind::Overflow, Input::StartBal, "1e400"},
        {{"5%", "40", "3000000000", "200", "40,000"},
         Kind::Overflow,
         Input::RetireAge,
         "3000000000"},
        {{"5%", "-3000000000", "67", "200", "40,000"},
         Kind::Overflow,
         Input::CurrentAge,
         "-3000000000"},
        // 1.05^5000 overflows binary64; 1.2^200 * 40,000 overflows Currency.
        {{"5%", "40", "5040", "0", "1"}, Kind::Overflow, Input::RetireAge, "5040"},
        {{"20%", "40", "240", "0", "40,000"}, Kind::Overflow, Input::RetireAge, "240"},
        // Over spans longer than anyone saves, amounts that fit over a century are not to blame.
        {{"5%", "40", "600", "200", "40,000"}, Kind::Horizon, Input::RetireAge, "600"},
        {{"5%", "40", "600", "200", "0"}, Kind::Horizon, Input::RetireAge, "600"},
        {{"20%", "40", "190", "200", "1e9"}, Kind::Overflow, Input::StartBal, "1e9"},
        // Two bad boxes: retirement age before current age, the years before the amounts, the
        // monthly contribution before the starting balance.
        {{"5%", "x", "y", "200", "40,000"}, Kind::Conversion, Input::RetireAge, "y"},
        {{"5%", "x", "67", "y", "40,000"}, Kind::Conversion, Input::CurrentAge, "x"},
        {{"5%", "40", "3e9", "y", "40,000"}, Kind::Overflow, Input::RetireAge, "3e9"},
        {{"5%", "-3e9", "67", "200", "y"}, Kind::Overflow, Input::CurrentAge, "-3e9"},
        {{"5%", "40", "67", "x", "y"}, Kind::Conversion, Input::Monthly, "x"},
        {{"5%", "40", "67", "200", "1e20"}, Kind::Overflow, Input::StartBal, "1e20"},
        {{"5%", "40", "67", "1e300", "0"}, Kind::Overflow, Input::Monthly, "1e300"},
        // The projection fits, but the search's first step falls below the Currency range.
        {{"5%", "64", "65", "1e13", "-9e14"}, Kind::Overflow, Input::StartBal, "-9e14"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ProjectNestEgg(c.inputs);
            ADD_FAILURE() << "no failure";
        } catch (const ProjectionError& error) {
            EXPECT_EQ(error.failure() == Failure::NotANumber, c.kind == Kind::Conversion);
            EXPECT_TRUE(c.kind != Kind::Horizon || error.spanYears() == 560);
            EXPECT_EQ(error.input(), c.input);
            EXPECT_EQ(error.text(), c.text);
        }
    }
}

}  // namespace
}  // namespace engine
