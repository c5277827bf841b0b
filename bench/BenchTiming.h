#pragma once

// How the benchmarks time a figure and report it: each run is measured on the wall clock and on the thread's
// processor time (on a busy machine the wall clock also counts other programs), and a figure is reported as
// the median and the worst single run in milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace velto::bench {

inline double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

/// The processor time of the calling thread.
inline double threadProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Reports "<prefix>median_ms" and "<prefix>worst_ms"; with VELTO_BENCH_SAMPLES set, every sample goes to
/// standard error too.
inline void reportSamples(benchmark::State &state, std::vector<double> samples, const std::string &prefix = "") {
    if (std::getenv("VELTO_BENCH_SAMPLES") != nullptr) {
        for (double sample : samples) {
            std::fprintf(stderr, "%.2f ", sample);
        }
        std::fprintf(stderr, "\n");
    }
    std::sort(samples.begin(), samples.end());
    state.counters[prefix + "median_ms"] = samples[samples.size() / 2];
    state.counters[prefix + "worst_ms"] = samples.back();
}

/// The runs of one figure, each timed on both clocks; its wall-clock time is the iteration's manual time.
class TimedRuns {
public:
    explicit TimedRuns(benchmark::State &state)
        : state_(state) {}

    template <typename Work> void time(Work work) {
        auto start = std::chrono::steady_clock::now();
        double processorStart = threadProcessorMilliseconds();
        work();
        double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        processorSamples_.push_back(threadProcessorMilliseconds() - processorStart);
        samples_.push_back(elapsed);
        state_.SetIterationTime(elapsed / 1000.0);
    }

    /// The wall clock's figures, then the processor time's as "cpu_median_ms" and "cpu_worst_ms".
    void report() {
        reportSamples(state_, samples_);
        reportSamples(state_, processorSamples_, "cpu_");
    }

private:
    benchmark::State &state_;
    std::vector<double> samples_;
    std::vector<double> processorSamples_;
};

/// Runs `work` once per iteration, timed with what `settle` finishes after it (posted layout and painting).
template <typename Work, typename Settle> void timeEach(benchmark::State &state, Work work, Settle settle) {
    TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] {
            work();
            settle();
        });
    }
    runs.report();
}

} // namespace velto::bench
