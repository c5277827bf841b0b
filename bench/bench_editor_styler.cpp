// Styling figures for generated Markdown of 1 MB and 5 MB: the full pass (reported per MB); a keystroke
// (the edit, the heading fast path and the incremental pass after it, timed together as the editor
// calls them) at the start, middle and end, also as the first keystroke after the page is loaded and
// styled; and the heading fast path.
// Keystroke benchmarks report the median and the worst single keystroke in milliseconds, as wall time
// and as the thread's processor time: on a loaded machine the worst wall time is mostly the time the
// thread waited for a processor, which the processor time leaves out.
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/markdown/MarkdownStyler.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace velto::editor;

namespace {

constexpr std::size_t megabyte = 1024 * 1024;

enum class Variant { mixed, largeFence, unclosedFence, unclosedFenceNearTop, singleLine, singleLineProse };

std::u16string sampleText(std::size_t megabytes, Variant variant) {
    const std::size_t units = megabytes * megabyte;
    switch (variant) {
    case Variant::mixed:
        return samples::generatedMarkdown(units);
    case Variant::largeFence: {
        // Ordinary Markdown around one fenced block of 4 MB.
        std::u16string code = u"```swift\n";
        while (code.size() < 4 * megabyte) {
            code += u"let value = compute(\"text\", 42) // *not emphasis* and `not code`\n";
        }
        code += u"```\n\n";
        const std::u16string around = samples::generatedMarkdown(units > code.size() ? units - code.size() : 0);
        return around.substr(0, around.size() / 2) + u"\n" + code + around.substr(around.size() / 2);
    }
    case Variant::unclosedFence:
        // Four backticks: the three-backtick fences after it are content and never close it.
        return samples::generatedMarkdown(units / 2) + u"\n````unclosed\n" + samples::generatedMarkdown(units / 2, 2);
    case Variant::unclosedFenceNearTop:
        // A few paragraphs, then a fence that nothing closes: the rest of the page is its content.
        return samples::generatedMarkdown(2000) + u"\n````unclosed\n" + samples::generatedMarkdown(units, 2);
    case Variant::singleLine:
        return samples::singleParagraph(units);
    case Variant::singleLineProse: {
        // A pasted paragraph of plain words: no delimiter, bracket or colon anywhere on the line.
        static const char16_t *const words[] = {u"the", u"quiet", u"river", u"carries", u"a", u"thought", u"onward"};
        std::u16string line;
        std::mt19937 random(5);
        while (line.size() < units) {
            line += words[random() % std::size(words)];
            line += u' ';
        }
        return line;
    }
    }
    return {};
}

using velto::bench::milliseconds;

/// Reports the median and worst wall time, and the worst processor time as "worst_cpu_ms".
void reportSamples(benchmark::State &state, const std::vector<double> &samples,
                   const std::vector<double> &processorSamples = {}) {
    velto::bench::reportSamples(state, samples);
    if (!processorSamples.empty()) {
        state.counters["worst_cpu_ms"] = velto::bench::worst(processorSamples);
    }
}

void FullPass(benchmark::State &state, std::size_t megabytes, Variant variant) {
    TextStorage storage(sampleText(megabytes, variant));
    std::vector<double> samples;
    std::vector<double> processorSamples;
    for (auto _ : state) {
        const double processorStart = velto::bench::threadProcessorMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        MarkdownStyler::apply(storage);
        const double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        samples.push_back(elapsed);
        processorSamples.push_back(velto::bench::threadProcessorMilliseconds() - processorStart);
        state.SetIterationTime(elapsed / 1000);
    }
    const double perMegabyte = static_cast<double>(storage.length()) / megabyte;
    reportSamples(state, samples);
    state.counters["median_ms_per_MB"] = state.counters["median_ms"] / perMegabyte;
    // The processor time the pass takes, which the machine's load does not stretch.
    state.counters["median_cpu_ms_per_MB"] = velto::bench::median(processorSamples) / perMegabyte;
}

/// Where a keystroke lands: the start of the text, the start of a line near the middle, or the end.
std::size_t keystrokePosition(const std::u16string &text, int where) {
    if (where == 0) {
        return 0;
    }
    if (where == 2) {
        return text.size();
    }
    const std::size_t lineBreak = text.find(u'\n', text.size() / 2);
    return lineBreak == std::u16string::npos ? text.size() / 2 : lineBreak + 1;
}

/// The wall time and the processor time of one keystroke.
struct KeystrokeTime {
    double wall = 0;
    double processor = 0;
};

/// One keystroke as the editor makes it: the edit, the heading fast path the editor tries at once,
/// then (when that declines) the incremental pass over the edited range.
KeystrokeTime timedKeystroke(TextStorage &storage, TextRange replaced, std::u16string_view replacement) {
    const double processorStart = velto::bench::threadProcessorMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    storage.replaceCharacters(replaced, replacement);
    const TextRange edited{replaced.location, replacement.size()};
    if (!MarkdownStyler::applyImmediateHeadingChange(storage, edited)) {
        MarkdownStyler::apply(storage, edited);
    }
    return KeystrokeTime{milliseconds(std::chrono::steady_clock::now() - start),
                         velto::bench::threadProcessorMilliseconds() - processorStart};
}

/// Where the keystrokes of a text land: inside the unclosed fence for the text that has one near the top.
std::size_t keystrokePosition(const std::u16string &text, Variant variant, int where) {
    if (variant == Variant::unclosedFenceNearTop && where == 0) {
        return text.find(u"````unclosed\n") + 13;
    }
    return keystrokePosition(text, where);
}

/// A sample text styled in full, and where its keystrokes land.
struct StyledSample {
    TextStorage storage;
    std::size_t position = 0;
};

StyledSample styledSample(std::size_t megabytes, Variant variant, int where) {
    StyledSample sample{TextStorage(sampleText(megabytes, variant))};
    MarkdownStyler::apply(sample.storage);
    sample.position = keystrokePosition(sample.storage.string(), variant, where);
    return sample;
}

/// Types a unit and deletes it again, each a keystroke of its own.
void Keystroke(benchmark::State &state, std::size_t megabytes, Variant variant, int where, std::u16string_view typed) {
    auto [storage, position] = styledSample(megabytes, variant, where);
    std::vector<double> samples;
    std::vector<double> processorSamples;
    for (auto _ : state) {
        const KeystrokeTime typing = timedKeystroke(storage, TextRange{position, 0}, typed);
        const KeystrokeTime deleting = timedKeystroke(storage, TextRange{position, typed.size()}, u"");
        samples.push_back(typing.wall);
        samples.push_back(deleting.wall);
        processorSamples.push_back(typing.processor);
        processorSamples.push_back(deleting.processor);
        state.SetIterationTime((typing.wall + deleting.wall) / 2000);
    }
    reportSamples(state, samples, processorSamples);
}

/// Keys typed faster than the editor's style pass runs, as the editor handles them: each key is
/// edited and offered to the heading fast path at once; one pass then styles all of them. Timed per key.
void KeystrokesBeforeAPass(benchmark::State &state, std::size_t megabytes, Variant variant, int where) {
    constexpr std::size_t keys = 3;
    auto [storage, position] = styledSample(megabytes, variant, where);
    std::vector<double> samples;
    std::vector<double> processorSamples;
    for (auto _ : state) {
        const double processorStart = velto::bench::threadProcessorMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t key = 0; key < keys; ++key) {
            storage.replaceCharacters(TextRange{position + key, 0}, u"x");
            MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{position + key, 1});
        }
        MarkdownStyler::apply(storage, TextRange{position, keys});
        const double wall = milliseconds(std::chrono::steady_clock::now() - start) / keys;
        samples.push_back(wall);
        processorSamples.push_back((velto::bench::threadProcessorMilliseconds() - processorStart) / keys);
        state.SetIterationTime(wall / 1000);
        state.PauseTiming();
        storage.replaceCharacters(TextRange{position, keys}, u"");
        MarkdownStyler::apply(storage, TextRange{position, 0});
        state.ResumeTiming();
    }
    reportSamples(state, samples, processorSamples);
}

/// The first keystroke after a page is loaded and styled in full: nothing is warm yet.
void FirstKeystroke(benchmark::State &state, std::size_t megabytes, Variant variant, int where) {
    const std::u16string text = sampleText(megabytes, variant);
    const std::size_t position = keystrokePosition(text, variant, where);
    std::vector<double> samples;
    std::vector<double> processorSamples;
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = std::make_unique<TextStorage>(text);
        MarkdownStyler::apply(*storage);
        state.ResumeTiming();
        const KeystrokeTime typing = timedKeystroke(*storage, TextRange{position, 0}, u"x");
        samples.push_back(typing.wall);
        processorSamples.push_back(typing.processor);
        state.SetIterationTime(typing.wall / 1000);
        state.PauseTiming();
        storage.reset();
        state.ResumeTiming();
    }
    reportSamples(state, samples, processorSamples);
}

/// Types and removes the blank after a "#" in the middle of the text, through the heading fast path.
void HeadingFastPath(benchmark::State &state, std::size_t megabytes) {
    std::u16string text = sampleText(megabytes, Variant::mixed);
    const std::size_t position = keystrokePosition(text, 1);
    text.insert(position, u"#Heading in the middle\n");
    TextStorage storage(text);
    MarkdownStyler::apply(storage);
    std::vector<double> samples;
    for (auto _ : state) {
        storage.replaceCharacters(TextRange{position + 1, 0}, u" ");
        auto start = std::chrono::steady_clock::now();
        const bool madeHeading = MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{position + 1, 1});
        const double making = milliseconds(std::chrono::steady_clock::now() - start);
        storage.replaceCharacters(TextRange{position + 1, 1}, u"");
        start = std::chrono::steady_clock::now();
        const bool unmadeHeading = MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{position + 1, 0});
        const double unmaking = milliseconds(std::chrono::steady_clock::now() - start);
        if (!madeHeading || !unmadeHeading) {
            state.SkipWithError("the fast path declined a heading change");
            return;
        }
        samples.push_back(making);
        samples.push_back(unmaking);
        state.SetIterationTime((making + unmaking) / 2000);
    }
    reportSamples(state, samples);
}

/// A keystroke in ordinary text, where the fast path must decline at once.
void HeadingFastPathDeclines(benchmark::State &state, std::size_t megabytes) {
    TextStorage storage(sampleText(megabytes, Variant::mixed));
    MarkdownStyler::apply(storage);
    const std::size_t position = keystrokePosition(storage.string(), 1) + 2;
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(MarkdownStyler::applyImmediateHeadingChange(storage, TextRange{position, 1}));
        const double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
    }
    reportSamples(state, samples);
}

/// Every benchmark here times its own samples, in milliseconds, a fixed number of times.
void timedInMilliseconds(benchmark::internal::Benchmark *benchmark, benchmark::IterationCount iterations) {
    benchmark->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(iterations);
}

void registerAll() {
    struct Named {
        const char *name;
        std::size_t megabytes;
        Variant variant;
    };
    const Named texts[] = {
        {"mixed_1MB", 1, Variant::mixed},
        {"mixed_5MB", 5, Variant::mixed},
        {"fence_4MB_in_5MB", 5, Variant::largeFence},
        {"unclosed_fence_5MB", 5, Variant::unclosedFence},
        {"inside_unclosed_fence_near_top_5MB", 5, Variant::unclosedFenceNearTop},
        {"single_line_1MB", 1, Variant::singleLine},
        {"single_line_prose_1MB", 1, Variant::singleLineProse},
    };
    const char *places[] = {"start", "middle", "end"};
    for (const Named &text : texts) {
        timedInMilliseconds(benchmark::RegisterBenchmark((std::string("FullPass/") + text.name).c_str(), FullPass,
                                                         text.megabytes, text.variant),
                            text.megabytes == 1 ? 10 : 5);
        for (int where = 0; where < 3; ++where) {
            timedInMilliseconds(
                benchmark::RegisterBenchmark((std::string("Keystroke/") + text.name + "/" + places[where]).c_str(),
                                             Keystroke, text.megabytes, text.variant, where, std::u16string_view(u"x")),
                text.variant == Variant::singleLine || text.variant == Variant::singleLineProse ? 10 : 200);
        }
    }
    // In the middle of the single long line, units that change what the patterns see around them.
    const struct {
        const char *name;
        const char16_t *typed;
    } units[] = {{"blank", u" "}, {"star", u"*"}, {"underscore", u"_"}, {"digit", u"7"}, {"bracket", u"["}};
    for (const auto &unit : units) {
        timedInMilliseconds(
            benchmark::RegisterBenchmark((std::string("Keystroke/single_line_1MB/middle/") + unit.name).c_str(),
                                         Keystroke, 1, Variant::singleLine, 1, std::u16string_view(unit.typed)),
            20);
    }
    for (const Named &text : {texts[5], texts[6]}) {
        for (int where = 1; where < 3; ++where) {
            timedInMilliseconds(benchmark::RegisterBenchmark(
                                    (std::string("KeystrokesBeforeAPass/") + text.name + "/" + places[where]).c_str(),
                                    KeystrokesBeforeAPass, text.megabytes, text.variant, where),
                                20);
        }
    }
    for (const Named &text : {texts[0], texts[1]}) {
        for (int where = 0; where < 3; ++where) {
            timedInMilliseconds(
                benchmark::RegisterBenchmark((std::string("FirstKeystroke/") + text.name + "/" + places[where]).c_str(),
                                             FirstKeystroke, text.megabytes, text.variant, where),
                5);
        }
    }
    for (std::size_t megabytes : {1, 5}) {
        const std::string size = std::to_string(megabytes) + "MB";
        timedInMilliseconds(
            benchmark::RegisterBenchmark(("HeadingFastPath/mixed_" + size).c_str(), HeadingFastPath, megabytes), 200);
        timedInMilliseconds(benchmark::RegisterBenchmark(("HeadingFastPathDeclines/mixed_" + size).c_str(),
                                                         HeadingFastPathDeclines, megabytes),
                            1000);
    }
}

} // namespace

int main(int argc, char **argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
