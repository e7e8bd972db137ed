// Time from starting the calculator's process to its window painted (offscreen), and the
// process's peak resident memory, over repeated starts of startup_probe.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

extern char** environ;

namespace {

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

struct Start {
    double seconds;
    double peakMegabytes;
};

Start StartOnce() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    char program[] = STARTUP_PROBE;
    char* arguments[] = {program, nullptr};
    const long long started = MonotonicNanoseconds();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + std::string(program));
    }
    FILE* output = fdopen(pipeEnds[0], "r");
    long long painted = 0;
    long peakKilobytes = 0;
    const bool read = std::fscanf(output, "%lld %ld", &painted, &peakKilobytes) == 2;
    std::fclose(output);
    int status = 0;
    waitpid(child, &status, 0);
    if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("the probe did not report a painted window");
    }
    return {double(painted - started) / 1e9, double(peakKilobytes) / 1024.0};
}

void WindowShown(benchmark::State& state) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    double peak = 0;
    for (auto _ : state) {
        const Start start = StartOnce();
        state.SetIterationTime(start.seconds);
        peak = std::max(peak, start.peakMegabytes);
    }
    state.counters["peak_rss_MB"] = peak;
}

BENCHMARK(WindowShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace

BENCHMARK_MAIN();
