// How long one press of Calculate takes in the engine, against the literal searches.
#include <benchmark/benchmark.h>

#include "engine/projection.h"
#include "literal_projection.h"

namespace {

const engine::NestEggInputs kDefaults{"5%", "40", "67", "200", "40,000"};
const engine::NestEggInputs kOneYear{"5%", "64", "65", "200", "40,000"};  // 3,264 steps of $50
const engine::NestEggInputs kLargeBalance{"5%", "64", "65", "0", "-1,000,000,000,000"};

void ProjectNestEgg(benchmark::State& state, const engine::NestEggInputs& inputs) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine::ProjectNestEgg(inputs));
    }
}

void LiteralSearches(benchmark::State& state, const engine::NestEggInputs& inputs) {
    std::int64_t steps = 0;
    for (auto _ : state) {
        const auto outcome = engine::literal::Literal(inputs, {}, INT64_MAX);
        steps = outcome.steps;
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["steps"] = double(steps);
}

BENCHMARK_CAPTURE(ProjectNestEgg, Defaults, kDefaults);
BENCHMARK_CAPTURE(ProjectNestEgg, OneYear, kOneYear);
BENCHMARK_CAPTURE(ProjectNestEgg, LargeNegativeBalance, kLargeBalance);
BENCHMARK_CAPTURE(LiteralSearches, OneYear, kOneYear);

}  // namespace

BENCHMARK_MAIN();
