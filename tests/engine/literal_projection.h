// The nest-egg projection with its contribution searches read literally: add one step,
// project, compare, again. Kept beside the tests as the reference the fast searches must
// match, and as the baseline of the benchmarks.
#pragma once

#include <cstdint>
#include <string>

#include "engine/projection.h"

namespace engine::literal {

constexpr std::int64_t kStepBound = 20'000;
inline const Currency kTwoMillion = ToCurrency(2'000'000);
inline const Currency kOneMillion = ToCurrency(1'000'000);

enum class Kind { Result, Conversion, Overflow, GaveUp };

struct Outcome {
    Kind kind = Kind::Result;
    NestEggResult result;
    std::int64_t steps = 0;  // taken by the literal searches
};

// Every step of the projection written out, the searches as plain loops. The one departure
// from the loops is the agreed one: a horizon that is not positive stops after the first step.
inline Outcome Literal(const NestEggInputs& in, const NumberFormat& format,
                       std::int64_t stepBound = kStepBound) {
    try {
        std::string rateItem = in.rateItem;
        const std::string rateText = Strip(rateItem, "%");
        const double rate = TextToDouble(rateText, format) / 100;
        const double retireAge = TextToDouble(in.retireAge, format);
        const std::int32_t years = RoundToLong(retireAge - TextToDouble(in.currentAge, format));
        const double monthly = TextToDouble(in.monthly, format);
        const double start = TextToDouble(in.startBal, format);
        const auto balance = [&](double atRate, double contribution) {
            return ToCurrency(FV(atRate, years, -(contribution * 12), -start, 0));
        };
        const Currency projected = balance(rate, monthly);

        Outcome out;
        NestEggResult& r = out.result;
        r.projectionText = "Your $" + in.startBal + " will grow to $" +
                           FormatAmount(projected, format) +
                           " if left in a tax deferred account for " + LongToText(years, format) +
                           " years while growing at consistent " + rateText + "% per year.";
        if (projected >= kTwoMillion) {
            r.goalText = "Congratulations, you are on the path to a Million Dollar Nest Egg";
            return out;
        }
        r.headingText = "Getting to that 2 Million Dollar Nest Egg";

        enum class End { Reached, Unreachable, GaveUp };
        const auto search = [&](double atRate, Currency goal, double step, double& need) {
            need = 0;
            Currency reached = projected;
            for (std::int64_t steps = 0; reached < goal; ++steps) {
                if (steps == stepBound) {
                    return End::GaveUp;
                }
                if (years <= 0 && steps == 1) {
                    return End::Unreachable;
                }
                need = need + step;
                reached = balance(atRate, need);
                ++out.steps;
            }
            return End::Reached;
        };

        double need = 0;
        switch (search(rate, kTwoMillion, 50.0, need)) {
            case End::GaveUp:
                return {Kind::GaveUp, {}};
            case End::Unreachable:
                r.goalText =
                    "No monthly contribution can reach a $2 Million Dollar Nest Egg unless "
                    "retirement is at least a year away.";
                break;
            case End::Reached:
                r.goalText = "At the interest rate of " + DoubleToText(rate * 100, format) +
                             "% you will need to add $" + FormatWholeAmount(need, format) +
                             " per month to achieve a $2 Million Dollar Nest Egg";
        }
        double need20 = 0;
        switch (search(0.2, kOneMillion, 10.0, need20)) {
            case End::GaveUp:
                return {Kind::GaveUp, {}};
            case End::Unreachable:
                r.scenarioText =
                    "At the rate of 20% no monthly contribution can reach a million dollar nest "
                    "egg unless retirement is at least a year away.";
                break;
            case End::Reached:
                r.scenarioText =
                    need20 != 10
                        ? "At the rate of 20% you only need to add $" +
                              DoubleToText(need20, format) +
                              " per month to achieve a million dollar nest egg."
                        : "At the rate of 20% annual interest your money will grow to over 2 "
                          "million in those " +
                              LongToText(years, format) + " years.";
        }
        r.hasScenario = true;
        return out;
    } catch (const NumberError& error) {
        return {error.failure() == Failure::NotANumber ? Kind::Conversion : Kind::Overflow, {}};
    }
}

}  // namespace engine::literal
