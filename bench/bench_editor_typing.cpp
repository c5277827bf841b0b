// The editing rules on a 5 MB page that the styler has styled: a typed character in prose and in a fenced
// block (the rule decision and the edit it makes, timed together; the plain edit alone for comparison),
// Return on a list item, Tab over 10,000 selected lines, a paste of 1 MB of plain text before styling,
// and the text cleaner on 5 MB of Markdown and on a 1 MB run of blanks.
// Each reports the median and the worst single operation in milliseconds, and the worst in processor time
// of this thread (what the operation cost without the preemptions of a busy machine).
#include "editor/MarkdownSamples.h"
#include "editor/TestEditingTarget.h"

#include "editor/Indentation.h"
#include "editor/MarkdownStyler.h"
#include "editor/NewlineRules.h"
#include "editor/PasteRules.h"
#include "editor/TextCleaner.h"
#include "editor/TypingRules.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

using namespace velto::editor;
using velto::editor::testing::TestEditingTarget;

namespace {

constexpr std::size_t pageSize = 5 * 1024 * 1024;

double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

/// The processor time this thread spent, which a busy machine's preemptions do not inflate.
double threadMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// Processor times of the work, for the worst figure without the machine's other load.
std::vector<double> processorSamples;

double timed(const std::function<void()> &work) {
    const double processorStart = threadMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
    processorSamples.push_back(threadMilliseconds() - processorStart);
    return elapsed;
}

void report(benchmark::State &state, std::vector<double> samples) {
    // The first keystrokes at a new place also move the code index's gaps there; the rest show the steady cost.
    if (processorSamples.size() > 2) {
        state.counters["worst_cpu_after_two_ms"] =
            *std::max_element(processorSamples.begin() + 2, processorSamples.end());
    }
    std::sort(samples.begin(), samples.end());
    std::sort(processorSamples.begin(), processorSamples.end());
    if (!samples.empty()) {
        state.counters["median_ms"] = samples[samples.size() / 2];
        state.counters["worst_ms"] = samples.back();
    }
    if (!processorSamples.empty()) {
        state.counters["worst_cpu_ms"] = processorSamples.back();
    }
    processorSamples.clear();
}

/// A styled 5 MB page with a fenced block and a list item in its middle; the caret at the given marker.
TestEditingTarget styledPage(std::u16string_view middle, std::u16string_view marker) {
    std::u16string text = samples::generatedMarkdown(pageSize / 2);
    text += middle;
    text += samples::generatedMarkdown(pageSize / 2, 2);
    TestEditingTarget target(text);
    MarkdownStyler::apply(target.mutableStorage());
    const std::size_t caret = text.find(marker, pageSize / 2 - 16) + marker.size();
    target.setSelectedRange(TextRange{caret, 0});
    return target;
}

const std::u16string_view middle = u"\n\nSome prose here\n\n```js\nlet x = 1\n```\n\n- an item\n\n";

/// Types a character at the caret and takes it out again (outside the timing), so that every keystroke
/// meets the same text.
void TypedCharacter(benchmark::State &state, std::u16string_view marker, std::u16string_view typed, bool rules) {
    TestEditingTarget target = styledPage(middle, marker);
    const TextRange caret = target.selectedRange();
    std::vector<double> samples;
    for (auto _ : state) {
        const double elapsed = timed([&] {
            if (rules) {
                TypingRules::insertText(target, typed, TextRange{TextRange::notFound, 0});
            } else {
                target.insertTypedText(caret, typed);
            }
        });
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
        const std::size_t inserted = target.storage().length() - (pageSize / 2 + middle.size() + pageSize / 2);
        target.mutableStorage().replaceCharacters(TextRange{caret.location, inserted}, u"");
        target.setSelectedRange(caret);
        target.steps.clear();
    }
    report(state, samples);
}

void ReturnOnListItem(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"- an item");
    const TextRange caret = target.selectedRange();
    const std::size_t length = target.storage().length();
    std::vector<double> samples;
    for (auto _ : state) {
        const double elapsed = timed([&] { NewlineRules::insertNewline(target); });
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
        target.mutableStorage().replaceCharacters(TextRange{caret.location, target.storage().length() - length}, u"");
        target.setSelectedRange(caret);
        target.steps.clear();
    }
    report(state, samples);
}

void TabOverSelectedLines(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"Some prose here");
    const std::size_t start = target.selectedRange().location;
    std::size_t end = start;
    for (int line = 0; line < 10'000; ++line) {
        end = target.storage().string().find(u'\n', end) + 1;
    }
    std::vector<double> samples;
    bool outdent = false;
    for (auto _ : state) {
        target.setSelectedRange(rangeBetween(start, end));
        const double elapsed = timed([&] { Indentation::changeIndentation(target, outdent); });
        end = target.selectedRange().end();
        outdent = !outdent;
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
        target.steps.clear();
    }
    report(state, samples);
}

void PasteOfPlainText(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"Some prose here");
    const TextRange caret = target.selectedRange();
    const std::u16string pasted = samples::generatedMarkdown(1024 * 1024, 3);
    const PasteRules::ClipboardTexts clipboard{std::nullopt, pasted, pasted};
    std::vector<double> samples;
    for (auto _ : state) {
        const double elapsed = timed([&] { PasteRules::paste(target, clipboard); });
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
        target.mutableStorage().replaceCharacters(TextRange{caret.location, pasted.size()}, u"");
        target.setSelectedRange(caret);
        target.steps.clear();
    }
    report(state, samples);
}

void Cleaner(benchmark::State &state, bool blankRun) {
    const std::u16string text =
        blankRun ? u"a" + std::u16string(1024 * 1024, u' ') + u"\nb" : samples::generatedMarkdown(pageSize);
    std::vector<double> samples;
    for (auto _ : state) {
        const double elapsed = timed([&] { benchmark::DoNotOptimize(TextCleaner::clean(text)); });
        samples.push_back(elapsed);
        state.SetIterationTime(elapsed / 1000);
    }
    report(state, samples);
}

} // namespace

BENCHMARK_CAPTURE(TypedCharacter, ProseLetter, u"Some prose", u"e", true)->UseManualTime()->Iterations(300);
BENCHMARK_CAPTURE(TypedCharacter, ProseLetterPlainEdit, u"Some prose", u"e", false)->UseManualTime()->Iterations(300);
BENCHMARK_CAPTURE(TypedCharacter, ProseBracket, u"Some prose", u"(", true)->UseManualTime()->Iterations(300);
BENCHMARK_CAPTURE(TypedCharacter, CodeBracket, u"let x", u"(", true)->UseManualTime()->Iterations(300);
BENCHMARK_CAPTURE(TypedCharacter, CodeLetter, u"let x", u"y", true)->UseManualTime()->Iterations(300);
BENCHMARK_CAPTURE(TypedCharacter, Backtick, u"Some prose", u"`", true)->UseManualTime()->Iterations(300);
BENCHMARK(ReturnOnListItem)->UseManualTime()->Iterations(100);
BENCHMARK(TabOverSelectedLines)->UseManualTime()->Iterations(20);
BENCHMARK(PasteOfPlainText)->UseManualTime()->Iterations(20);
BENCHMARK_CAPTURE(Cleaner, FiveMegabytes, false)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(Cleaner, OneMegabyteBlankRun, true)->UseManualTime()->Iterations(10);

BENCHMARK_MAIN();
