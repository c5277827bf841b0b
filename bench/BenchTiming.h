#pragma once

// How the benchmarks time a figure and report it: each run is measured on the wall clock and, where a busy
// machine's preemptions matter, on the thread's processor time too (the wall clock also counts other
// programs), and a figure is reported as the median and the worst single run in milliseconds.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <utility>
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

/// How long `work` took on the wall clock.
template <typename Work> double millisecondsTaken(Work &&work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return milliseconds(std::chrono::steady_clock::now() - start);
}

/// Runs `work`, gives its wall-clock time to the iteration as its manual time and returns it.
template <typename Work> double timeIteration(benchmark::State &state, Work &&work) {
    const double elapsed = millisecondsTaken(work);
    state.SetIterationTime(elapsed / 1000.0);
    return elapsed;
}

/// The sample at that rank of the sorted samples: 50 gives the median, 100 the worst. `samples` is not empty.
inline double percentile(std::vector<double> samples, std::size_t percent) {
    std::sort(samples.begin(), samples.end());
    return samples[std::min(samples.size() - 1, samples.size() * percent / 100)];
}

inline double median(std::vector<double> samples) {
    return percentile(std::move(samples), 50);
}

/// The largest sample; `samples` is not empty.
inline double worst(const std::vector<double> &samples) {
    return *std::max_element(samples.begin(), samples.end());
}

/// Reports "<prefix>median_ms" and "<prefix>worst_ms" (nothing without samples); with VELTO_BENCH_SAMPLES
/// set, every sample goes to standard error too.
inline void reportSamples(benchmark::State &state, const std::vector<double> &samples, const std::string &prefix = "") {
    if (samples.empty()) {
        return;
    }
    if (std::getenv("VELTO_BENCH_SAMPLES") != nullptr) {
        for (double sample : samples) {
            std::fprintf(stderr, "%.2f ", sample);
        }
        std::fprintf(stderr, "\n");
    }
    state.counters[prefix + "median_ms"] = median(samples);
    state.counters[prefix + "worst_ms"] = worst(samples);
}

/// Reports the worst sample after the first two as `name`, when there are more: the first keystrokes at a
/// place also pay for moving the text's gaps and indexes there, the rest show the steady cost.
inline void reportWorstAfterFirstTwo(benchmark::State &state, const std::string &name,
                                     const std::vector<double> &samples) {
    if (samples.size() > 2) {
        state.counters[name] = *std::max_element(samples.begin() + 2, samples.end());
    }
}

/// The runs of one figure, each timed on both clocks; its wall-clock time is the iteration's manual time.
class TimedRuns {
public:
    explicit TimedRuns(benchmark::State &state)
        : state_(state) {}

    /// The processor clock is read outside the wall clock's interval, so that reading it is not timed.
    template <typename Work> void time(Work work) {
        const double processorStart = threadProcessorMilliseconds();
        const double elapsed = millisecondsTaken(work);
        processorSamples_.push_back(threadProcessorMilliseconds() - processorStart);
        wallClockSamples_.push_back(elapsed);
        state_.SetIterationTime(elapsed / 1000.0);
    }

    /// The wall clock's figures, then the processor time's as "cpu_median_ms" and "cpu_worst_ms".
    void report() {
        reportSamples(state_, wallClockSamples_);
        reportSamples(state_, processorSamples_, "cpu_");
    }

    const std::vector<double> &wallClockSamples() const { return wallClockSamples_; }
    const std::vector<double> &processorSamples() const { return processorSamples_; }

private:
    benchmark::State &state_;
    std::vector<double> wallClockSamples_;
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
