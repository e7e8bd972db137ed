#include "engine/projection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace engine {

namespace {

constexpr Currency kGoal = Currency::FromUnits(2'000'000 * Currency::kUnitsPerDollar);
constexpr double kGoalStep = 50;
constexpr double kScenarioRate = 0.2;
constexpr Currency kScenarioGoal = Currency::FromUnits(1'000'000 * Currency::kUnitsPerDollar);
constexpr double kScenarioStep = 10;
constexpr double kMonthsPerYear = 12;
constexpr double kPercent = 100;
constexpr int kPaymentAtEnd = 0;
constexpr std::int32_t kLastPosition = 32'767;
// No one saves for longer. A projection that outgrows the range over a longer span, while the
// same amounts fit over this one, does so because of the span.
constexpr std::int32_t kLongestSaving = 100;

// Beyond this many steps of at most $50, need * 12 would no longer be held exactly.
constexpr std::int64_t kMaxExactSteps = (std::int64_t{1} << std::numeric_limits<double>::digits) /
                                        static_cast<std::int64_t>(kGoalStep * kMonthsPerYear);

constexpr const char* kHeading = "Getting to that 2 Million Dollar Nest Egg";
constexpr const char* kOnThePath =
    "Congratulations, you are on the path to a Million Dollar Nest Egg";
// Only whole years count, so "later" is not enough: 64.5 and 65 round to no year at all.
constexpr const char* kGoalNeedsLaterRetirement =
    "No monthly contribution can reach a $2 Million Dollar Nest Egg unless retirement is at "
    "least a year away.";
constexpr const char* kGoalOutOfReachAtRate =
    "No monthly contribution can reach a $2 Million Dollar Nest Egg at this interest rate.";
constexpr const char* kScenarioNeedsLaterRetirement =
    "At the rate of 20% no monthly contribution can reach a million dollar nest egg unless "
    "retirement is at least a year away.";

// Each input and the text it is read from.
struct InputText {
    Input input;
    std::string NestEggInputs::*text;
};
constexpr InputText kInputTexts[] = {
    {.input = Input::Rate, .text = &NestEggInputs::rateItem},
    {.input = Input::CurrentAge, .text = &NestEggInputs::currentAge},
    {.input = Input::RetireAge, .text = &NestEggInputs::retireAge},
    {.input = Input::Monthly, .text = &NestEggInputs::monthly},
    {.input = Input::StartBal, .text = &NestEggInputs::startBal},
};

const std::string& TextOf(const NestEggInputs& inputs, Input input) {
    return inputs.*std::ranges::find(kInputTexts, input, &InputText::input)->text;
}

// Runs `step`, turning its failure into one that names the input to fix.
template <class Step>
auto Blaming(const NestEggInputs& inputs, Input input, Step&& step) {
    try {
        return step();
    } catch (const NumberError& error) {
        throw ProjectionError(error.failure(), input, TextOf(inputs, input));
    }
}

bool FitsCurrency(std::optional<double> value) {
    return value && TryToCurrency(*value);
}

int Sign(double value) {
    return (value > 0) - (value < 0);
}

// One contribution's projected balance at a fixed rate, horizon and starting balance.
struct Projection {
    double rate;
    std::int32_t years;
    double startAmount;

    std::optional<double> TryValue(double monthly) const {
        return TryFV(rate, years, -(monthly * kMonthsPerYear), -startAmount, kPaymentAtEnd);
    }
    Currency Balance(double monthly) const {
        return ToCurrency(
            FV(rate, years, -(monthly * kMonthsPerYear), -startAmount, kPaymentAtEnd));
    }
    bool ReachesOrFails(double monthly, Currency goal) const {
        const std::optional<double> value = TryValue(monthly);
        const std::optional<Currency> balance = value ? TryToCurrency(*value) : std::nullopt;
        return !balance || *balance >= goal;
    }
    // Which way FV moves as the contribution grows (pmt = -12 * need): the sign of
    // (g - 1) / rate, or of nper when the rate is 0.
    int ContributionDirection() const {
        if (rate == 0) {
            return Sign(years);
        }
        return Sign(std::pow(1.0 + rate, years) - 1.0) * Sign(rate);
    }
};

// The contribution search: the smallest multiple of `step`, from one step up, whose balance
// reaches `goal`, failing where adding `step` at a time would first fail. Nothing when no
// contribution can raise the balance and the first step falls short.
//
// Only pmt changes between steps, and each operation of FV(...) = -(pv * g + pmt * (g - 1) /
// rate), like the rounding to Currency, is a correctly rounded IEEE operation and so monotone
// in each operand. When (g - 1) / rate > 0 the rounded balance therefore never falls as the
// contribution grows: once a step reaches the goal or leaves the Currency range upwards, every
// later step does too, and the first such step is found by doubling, then halving. A first
// step that passes also rules out a later failure below the range.
std::optional<double> SmallestContribution(const Projection& projection, Currency goal,
                                           double step) {
    if (projection.Balance(step) >= goal) {
        return step;
    }
    if (projection.ContributionDirection() <= 0) {
        return std::nullopt;
    }
    std::int64_t below = 1;  // this many steps fall short
    std::int64_t above = 2;  // this many reach the goal or fail: not yet known
    while (!projection.ReachesOrFails(double(above) * step, goal)) {
        below = above;
        above *= 2;
        if (above > kMaxExactSteps) {
            // Unreachable while growth (g - 1) / rate is at least 1/2, as it is for every
            // positive horizon: the balance leaves the Currency range long before.
            throw NumberError(Failure::TooLarge);
        }
    }
    while (above - below > 1) {
        const std::int64_t middle = below + (above - below) / 2;
        (projection.ReachesOrFails(double(middle) * step, goal) ? above : below) = middle;
    }
    const double need = double(above) * step;
    projection.Balance(need);  // fails here exactly where the step-by-step search would
    return need;
}

// Positions count UTF-16 code units: one per UTF-8 lead byte, two for a four-byte sequence's.
int Utf16Units(char c) {
    constexpr unsigned kTailMask = 0xC0;
    constexpr unsigned kTailBits = 0x80;  // 10xxxxxx continues a sequence
    constexpr unsigned kFourByteLead = 0xF0;
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & kTailMask) == kTailBits) {
        return 0;
    }
    return byte >= kFourByteLead ? 2 : 1;
}

// The age to blame for a horizon too long to calculate with: the one further from zero.
Input AgeToFix(double retireAge, double currentAge) {
    return std::fabs(retireAge) >= std::fabs(currentAge) ? Input::RetireAge : Input::CurrentAge;
}

// The window's texts as numbers.
struct Numbers {
    std::string rateText;  // the rate item without its "%", as the projection sentence shows it
    double rate = 0;
    double retireAge = 0;
    double currentAge = 0;
    std::int32_t years = 0;
    double monthly = 0;
    double start = 0;
};

// Reads the texts in the order the calculator always has, so that the first bad one is blamed.
Numbers ReadNumbers(const NestEggInputs& inputs, const NumberFormat& format) {
    const auto read = [&](Input input) {
        return Blaming(inputs, input, [&] { return TextToDouble(TextOf(inputs, input), format); });
    };
    Numbers numbers;
    std::string rateItem = inputs.rateItem;  // Strip rewrites the text it is given
    numbers.rateText = Blaming(inputs, Input::Rate, [&] { return Strip(rateItem, "%"); });
    numbers.rate =
        Blaming(inputs, Input::Rate, [&] { return TextToDouble(numbers.rateText, format); }) /
        kPercent;
    numbers.retireAge = read(Input::RetireAge);
    numbers.currentAge = read(Input::CurrentAge);
    numbers.years = Blaming(inputs, AgeToFix(numbers.retireAge, numbers.currentAge),
                            [&] { return RoundToLong(numbers.retireAge - numbers.currentAge); });
    numbers.monthly = read(Input::Monthly);
    numbers.start = read(Input::StartBal);
    return numbers;
}

// One press of Calculate: the projection, the two searches and their sentences.
class Calculation {
  public:
    Calculation(const NestEggInputs& inputs, const NumberFormat& format)
        : inputs_(inputs),
          format_(format),
          numbers_(ReadNumbers(inputs, format)),
          atRate_{numbers_.rate, numbers_.years, numbers_.start} {}

    Currency Projected() const {
        return BlamingOverflow(atRate_, Input::Monthly,
                               [&] { return atRate_.Balance(numbers_.monthly); });
    }

    // The monthly contribution that takes the user's rate to the goal.
    std::optional<double> GoalContribution() const {
        return BlamingOverflow(atRate_, Input::StartBal,
                               [&] { return SmallestContribution(atRate_, kGoal, kGoalStep); });
    }

    // The search at the scenario rate starts from the balance at the user's rate, so a balance
    // already at the scenario goal needs nothing.
    std::optional<double> ScenarioContribution(Currency projected) const {
        if (projected >= kScenarioGoal) {
            return 0.0;
        }
        const Projection atScenarioRate{kScenarioRate, numbers_.years, numbers_.start};
        return BlamingOverflow(atScenarioRate, Input::StartBal, [&] {
            return SmallestContribution(atScenarioRate, kScenarioGoal, kScenarioStep);
        });
    }

    std::string ProjectionSentence(Currency projected) const {
        return "Your $" + inputs_.startBal + " will grow to $" + FormatAmount(projected, format_) +
               " if left in a tax deferred account for " + LongToText(numbers_.years, format_) +
               " years while growing at consistent " + numbers_.rateText + "% per year.";
    }

    std::string GoalSentence(std::optional<double> need) const {
        if (!need) {
            return numbers_.years > 0 ? kGoalOutOfReachAtRate : kGoalNeedsLaterRetirement;
        }
        return "At the interest rate of " + DoubleToText(numbers_.rate * kPercent, format_) +
               "% you will need to add $" + FormatWholeAmount(*need, format_) +
               " per month to achieve a $2 Million Dollar Nest Egg";
    }

    std::string ScenarioSentence(std::optional<double> need20) const {
        if (!need20) {
            return kScenarioNeedsLaterRetirement;
        }
        if (*need20 != kScenarioStep) {
            return "At the rate of 20% you only need to add $" + DoubleToText(*need20, format_) +
                   " per month to achieve a million dollar nest egg.";
        }
        return "At the rate of 20% annual interest your money will grow to over 2 million "
               "in those " +
               LongToText(numbers_.years, format_) + " years.";
    }

  private:
    // Runs `step`, turning an overflow into one that names what to fix: the span between the
    // ages when it is to blame, else the starting balance when it alone leaves the Currency
    // range over this span, else `otherwise`.
    template <class Step>
    std::invoke_result_t<Step> BlamingOverflow(const Projection& projection, Input otherwise,
                                               Step&& step) const {
        try {
            return step();
        } catch (const NumberError&) {
            if (SpanToBlame(projection)) {
                throw ProjectionError(Failure::TooLarge, Input::RetireAge, inputs_.retireAge,
                                      numbers_.years);
            }
            const Input culprit =
                FitsCurrency(projection.TryValue(0.0)) ? otherwise : Input::StartBal;
            throw ProjectionError(Failure::TooLarge, culprit, TextOf(inputs_, culprit));
        }
    }

    // A span is to blame when a dollar a year already outgrows the range over it, or when it is
    // longer than anyone saves and the user's own amounts would fit over the longest saving.
    // A retirement age of 600 for 60 is then the mistake, not a balance of 40,000.
    bool SpanToBlame(const Projection& projection) const {
        if (!FitsCurrency(TryFV(projection.rate, projection.years, -1.0, -1.0, kPaymentAtEnd))) {
            return true;
        }
        const Projection longestSaving{projection.rate, kLongestSaving, projection.startAmount};
        return projection.years > kLongestSaving &&
               FitsCurrency(longestSaving.TryValue(numbers_.monthly));
    }

    const NestEggInputs& inputs_;
    const NumberFormat& format_;
    const Numbers numbers_;
    const Projection atRate_;
};

}  // namespace

std::string Strip(std::string& psLine, std::string_view psRemoveStr) {
    if (psRemoveStr.empty()) {
        throw std::invalid_argument("Strip needs a text to remove");
    }
    std::int64_t removedUnits = 0;
    for (const char c : psRemoveStr) {
        removedUnits += Utf16Units(c);
    }
    // Restarting the search from the first character after each removal finds the match that
    // ends first, since all matches have one length; `kept` never holds a whole match, so the
    // next one ends at the character being added. One pass thus does the restarting search.
    std::string kept;
    kept.reserve(psLine.size());
    std::int64_t keptUnits = 0;
    for (const char c : psLine) {
        kept.push_back(c);
        keptUnits += Utf16Units(c);
        // The last character first: a whole comparison at every character of a long paste
        // would cost more than the rest of the calculation.
        if (c == psRemoveStr.back() && kept.ends_with(psRemoveStr)) {
            if (keptUnits - removedUnits + 1 > kLastPosition) {
                throw NumberError(Failure::TooLarge);
            }
            kept.resize(kept.size() - psRemoveStr.size());
            keptUnits -= removedUnits;
        }
    }
    psLine = kept;
    return kept;
}

NestEggResult ProjectNestEgg(const NestEggInputs& inputs, const NumberFormat& format) {
    const Calculation calculation(inputs, format);
    const Currency projected = calculation.Projected();
    NestEggResult result;
    result.projectionText = calculation.ProjectionSentence(projected);
    if (projected >= kGoal) {
        result.goalText = kOnThePath;
        return result;
    }
    result.headingText = kHeading;
    result.goalText = calculation.GoalSentence(calculation.GoalContribution());
    result.scenarioText = calculation.ScenarioSentence(calculation.ScenarioContribution(projected));
    result.hasScenario = true;
    return result;
}

}  // namespace engine
