// What the editing core costs per keystroke on a generated 5 MiB page and in one 1 MiB paragraph: typing a
// character in the middle, Backspace, caret steps by character, word and line, and undoing a typing step.
// Each reports the median and the worst single operation in milliseconds.
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/editing/EditingCore.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

using namespace velto::editor;
using Movement = EditingCore::Movement;

namespace {

constexpr std::size_t mebibyte = 1024 * 1024;

std::u16string pageText(bool singleParagraph) {
    return singleParagraph ? samples::singleParagraph(mebibyte) : samples::generatedMarkdown(5 * mebibyte);
}

/// Times `operation` once per iteration after `prepare` (untimed) and reports median and worst.
void measure(benchmark::State &state, EditingCore &core, const std::function<void()> &prepare,
             const std::function<void()> &operation) {
    std::vector<double> samples;
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        state.ResumeTiming();
        samples.push_back(velto::bench::millisecondsTaken(operation));
    }
    velto::bench::reportSamples(state, samples);
    benchmark::DoNotOptimize(core.length());
}

struct Page {
    TextStorage storage;
    EditingCore core{storage};
    std::size_t middle;

    explicit Page(bool singleParagraph)
        : storage(pageText(singleParagraph))
        , middle(storage.length() / 2) {
        core.setSelectedRange({middle, 0});
    }
};

void TypeInTheMiddle(benchmark::State &state, bool singleParagraph) {
    Page page(singleParagraph);
    measure(
        state, page.core, [] {}, [&] { page.core.insertText(u"x"); });
}

void BackspaceInTheMiddle(benchmark::State &state, bool singleParagraph) {
    Page page(singleParagraph);
    measure(
        state, page.core, [&] { page.core.insertText(u"x"); }, [&] { page.core.deleteBackward(); });
}

void CaretStep(benchmark::State &state, Movement movement, bool singleParagraph) {
    Page page(singleParagraph);
    std::size_t caret = page.middle;
    measure(
        state, page.core,
        [&] {
            // A fresh position each time, near the middle, after an edit (as when the user types and moves).
            caret = caret + 7 < page.core.length() ? caret + 7 : page.middle;
            page.core.setSelectedRange({caret, 0});
            page.core.insertText(u"y");
        },
        [&] { page.core.move(movement, false); });
}

void UndoTypingStep(benchmark::State &state, bool singleParagraph) {
    Page page(singleParagraph);
    measure(
        state, page.core,
        [&] {
            page.core.breakUndoCoalescing();
            for (char16_t unit : std::u16string(u"a typed phrase")) {
                page.core.insertText(std::u16string(1, unit));
            }
        },
        [&] { page.core.undoManager()->undo(); });
}

} // namespace

BENCHMARK_CAPTURE(TypeInTheMiddle, page5MiB, false)->Iterations(500)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TypeInTheMiddle, paragraph1MiB, true)->Iterations(500)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BackspaceInTheMiddle, page5MiB, false)->Iterations(500)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BackspaceInTheMiddle, paragraph1MiB, true)->Iterations(500)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CaretStep, characterPage5MiB, Movement::forwardCharacter, false)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CaretStep, wordPage5MiB, Movement::forwardWord, false)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CaretStep, lineEndPage5MiB, Movement::endOfLine, false)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(CaretStep, characterParagraph1MiB, Movement::forwardCharacter, true)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(UndoTypingStep, page5MiB, false)->Iterations(200)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
