// The editing rules on a 5 MB page that the styler has styled: a typed character in prose and in a fenced
// block (the rule decision and the edit it makes, timed together; the plain edit alone for comparison),
// Return on a list item, Tab over 10,000 selected lines, a paste of 1 MB of plain text before styling,
// and the text cleaner on 5 MB of Markdown and on a 1 MB run of blanks.
// Each reports the median and the worst single operation in milliseconds, and the worst in processor time
// of this thread (what the operation cost without the preemptions of a busy machine).
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/TestEditingTarget.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/rules/Indentation.h"
#include "editor/rules/NewlineRules.h"
#include "editor/rules/PasteRules.h"
#include "editor/rules/TextCleaner.h"
#include "editor/rules/TypingRules.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace velto::editor;
using velto::bench::TimedRuns;
using velto::editor::testing::TestEditingTarget;

namespace {

constexpr std::size_t pageSize = 5 * 1024 * 1024;

/// The wall clock's median and worst, and the worst in processor time: over all runs and after the first two.
void report(benchmark::State &state, const TimedRuns &runs) {
    if (runs.wallClockSamples().empty()) {
        return;
    }
    velto::bench::reportSamples(state, runs.wallClockSamples());
    state.counters["worst_cpu_ms"] = velto::bench::worst(runs.processorSamples());
    velto::bench::reportWorstAfterFirstTwo(state, "worst_cpu_after_two_ms", runs.processorSamples());
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

/// Takes out what an edit inserted at the caret, the text having been `length` long before it, and puts the
/// caret back: the next run meets the same text at the same place.
void takeOutInsertion(TestEditingTarget &target, TextRange caret, std::size_t length) {
    target.mutableStorage().replaceCharacters(TextRange{caret.location, target.storage().length() - length}, u"");
    target.setSelectedRange(caret);
    target.steps.clear();
}

/// Types a character at the caret and takes it out again (outside the timing), so that every keystroke
/// meets the same text.
void TypedCharacter(benchmark::State &state, std::u16string_view marker, std::u16string_view typed, bool rules) {
    TestEditingTarget target = styledPage(middle, marker);
    const TextRange caret = target.selectedRange();
    const std::size_t length = target.storage().length();
    TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] {
            if (rules) {
                TypingRules::insertText(target, typed, TextRange{TextRange::notFound, 0});
            } else {
                target.insertTypedText(caret, typed);
            }
        });
        takeOutInsertion(target, caret, length);
    }
    report(state, runs);
}

void ReturnOnListItem(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"- an item");
    const TextRange caret = target.selectedRange();
    const std::size_t length = target.storage().length();
    TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] { NewlineRules::insertNewline(target); });
        takeOutInsertion(target, caret, length);
    }
    report(state, runs);
}

void TabOverSelectedLines(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"Some prose here");
    const std::size_t start = target.selectedRange().location;
    std::size_t end = start;
    for (int line = 0; line < 10'000; ++line) {
        end = target.storage().string().find(u'\n', end) + 1;
    }
    TimedRuns runs(state);
    bool outdent = false;
    for (auto _ : state) {
        target.setSelectedRange(rangeBetween(start, end));
        runs.time([&] { Indentation::changeIndentation(target, outdent); });
        end = target.selectedRange().end();
        outdent = !outdent;
        target.steps.clear();
    }
    report(state, runs);
}

void PasteOfPlainText(benchmark::State &state) {
    TestEditingTarget target = styledPage(middle, u"Some prose here");
    const TextRange caret = target.selectedRange();
    const std::size_t length = target.storage().length();
    const std::u16string pasted = samples::generatedMarkdown(1024 * 1024, 3);
    const PasteRules::ClipboardTexts clipboard{std::nullopt, pasted, pasted};
    TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] { PasteRules::paste(target, clipboard); });
        takeOutInsertion(target, caret, length);
    }
    report(state, runs);
}

void Cleaner(benchmark::State &state, bool blankRun) {
    const std::u16string text =
        blankRun ? u"a" + std::u16string(1024 * 1024, u' ') + u"\nb" : samples::generatedMarkdown(pageSize);
    TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] { benchmark::DoNotOptimize(TextCleaner::clean(text)); });
    }
    report(state, runs);
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
