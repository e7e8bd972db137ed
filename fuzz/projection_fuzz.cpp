// A whole press of Calculate on arbitrary texts: no crash, no sanitizer report, no failure
// other than a named conversion or overflow, and an answer within a millisecond of CPU time.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/projection.h"
#include "fuzz_common.h"

namespace {

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The five texts, separated by line feeds, in the order rate, current age, retirement age,
// monthly contribution, starting balance.
engine::NestEggInputs Split(std::string_view bytes) {
    std::string fields[5];
    for (std::string& field : fields) {
        const std::size_t end = bytes.find('\n');
        field = std::string(bytes.substr(0, end));
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
    }
    return {fields[0], fields[1], fields[2], fields[3], fields[4]};
}

// CPU milliseconds of one projection. A failure must point at a box; any other escapes.
double TimedProjection(const engine::NestEggInputs& inputs, const engine::NumberFormat& format) {
    const double start = ThreadCpuMilliseconds();
    try {
        const engine::NestEggResult result = engine::ProjectNestEgg(inputs, format);
        if (result.projectionText.empty() || result.goalText.empty()) {
            std::abort();
        }
    } catch (const engine::ProjectionError&) {
    }
    return ThreadCpuMilliseconds() - start;
}

// A measure of how fast this machine reads just now: a rate as long as the longest input the
// fuzzer makes, in the locale digits that take the most reading.
constexpr std::uint8_t kArabic = 4;
engine::NestEggInputs ReferenceInputs() {
    std::string digits;
    while (digits.size() < 4000) {
        digits += "\u0664";
    }
    return {digits + "%", "40", "67", "200", "40,000"};
}

double FastestOf(int runs, const engine::NestEggInputs& inputs, const engine::NumberFormat& format,
                 double enough = 0) {
    double fastest = TimedProjection(inputs, format);
    for (int run = 1; run < runs && fastest > enough; ++run) {
        fastest = std::min(fastest, TimedProjection(inputs, format));
    }
    return fastest;
}

const engine::NestEggInputs kReference = ReferenceInputs();
double gReferenceAtStart = 0;  // milliseconds

// A quiet machine's millisecond, stretched as much as the reference reading is slower now than it
// was at start: programs beside this one on a shared machine stretch its CPU time too (caches,
// memory bandwidth).
struct Round {
    double fastest;
    double allowed;
};
Round Measured(const engine::NestEggInputs& inputs, const engine::NumberFormat& format) {
    constexpr double kBudget = 1.0;
    // A page fault or the sanitizer's own housekeeping can stall one run: the best of five.
    const double fastest = FastestOf(5, inputs, format, kBudget);
    if (fastest <= kBudget) {
        return {fastest, kBudget};
    }
    const double now = FastestOf(5, kReference, fuzz::FormatFor(kArabic));
    return {fastest, kBudget * std::max(1.0, now / gReferenceAtStart)};
}

}  // namespace

// The first failure thrown pays for loading the unwinder's tables; pay it before timing.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TimedProjection({"5%", "x", "67", "200", "40,000"}, {});
    gReferenceAtStart = FastestOf(20, kReference, fuzz::FormatFor(kArabic));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const engine::NumberFormat& format = fuzz::FormatFor(data[0]);
    const engine::NestEggInputs inputs =
        Split(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    // The load beside this program comes in bursts that can stretch one round several times
    // over, so a slow input is one over its budget in every round of half a second's worth, or
    // so far over it in one that no burst explains it.
    constexpr int kRounds = 20;
    constexpr timespec kPause{0, 25'000'000};
    Round round{};
    for (int tried = 0; tried < kRounds; ++tried) {
        round = Measured(inputs, format);
        if (round.fastest <= round.allowed) {
            return 0;
        }
        if (round.fastest > 10 * round.allowed) {
            break;
        }
        nanosleep(&kPause, nullptr);
    }
    std::fprintf(stderr, "a projection took %.3f ms of CPU time at best (%.3f ms allowed now)\n",
                 round.fastest, round.allowed);
    std::abort();
}
