// A typed character through the text view on a styled 5 MiB page, offscreen: the key event alone (its
// shortcut override and key routing, typing rules, the edit, and what the view does when the text
// changed), without the style pass and the repaint that follow it, in prose and inside a fenced block.
// Each character is taken out again with Backspace and the posted layout and painting are let run
// outside the timing, so every keystroke meets the same text at the same place. Reports median and worst
// on the wall clock and in processor time, and the worst after the first two keystrokes at the place.
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor_view/view/VeltoTextView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>

#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

using namespace velto::editor;
using namespace velto::bench;

namespace {

constexpr std::size_t pageSize = 5 * 1024 * 1024;

const std::u16string_view middle = u"\n\nSome prose here\n\n```js\nlet x = 1\n```\n\n- an item\n\n";

struct ContextSwitches {
    long voluntary = 0;
    long involuntary = 0;
};

ContextSwitches contextSwitches() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {usage.ru_nvcsw, usage.ru_nivcsw};
}

/// A key press as the application delivers it: the focus widget first gets the shortcut override (where
/// the view runs its key equivalents), then the press.
void sendKey(VeltoTextView &view, Qt::Key key, const QString &text) {
    QKeyEvent shortcutOverride(QEvent::ShortcutOverride, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&view, &shortcutOverride);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&view, &press);
}

/// The text styled in full in a shown, focused view.
std::unique_ptr<VeltoTextView> styledView(const std::u16string &text) {
    auto view = std::make_unique<VeltoTextView>();
    view->resize(610, 400);
    view->editingCore().loadText(text, MarkdownStyler::baseAttributes(MarkdownStyler::textColor()));
    MarkdownStyler::apply(view->textStorage());
    view->show();
    view->setFocus();
    return view;
}

/// The generated page with the known lines of `middle` in its middle.
const std::u16string &pageWithKnownMiddle() {
    static const std::u16string text =
        samples::generatedMarkdown(pageSize / 2) + std::u16string(middle) + samples::generatedMarkdown(pageSize / 2, 2);
    return text;
}

/// One paragraph of 1 MiB of prose.
const std::u16string &longParagraph() {
    static const std::u16string text = samples::singleParagraph(1024 * 1024);
    return text;
}

/// Just after the marker in the page's middle.
std::size_t afterMarker(std::u16string_view marker) {
    return pageWithKnownMiddle().find(marker, pageSize / 2 - 16) + marker.size();
}

void TypedKey(benchmark::State &state, const std::u16string &text, std::size_t caret, QString typed) {
    auto view = styledView(text);
    view->setSelectedRange(TextRange{caret, 0});
    view->scrollRangeToVisible(TextRange{caret, 0});
    view->viewport()->repaint();
    QCoreApplication::processEvents();

    TimedRuns runs(state);
    // Keystrokes that waited more than a millisecond beyond their processor time, by why the thread
    // was off the processor meanwhile: taken off by the scheduler (a busy machine) or waiting by itself.
    int preempted = 0;
    int waited = 0;
    for (auto _ : state) {
        const ContextSwitches switchesBefore = contextSwitches();
        runs.time([&] { sendKey(*view, Qt::Key_E, typed); });
        const ContextSwitches switchesAfter = contextSwitches();
        if (runs.wallClockSamples().back() - runs.processorSamples().back() > 1.0) {
            preempted += switchesAfter.involuntary > switchesBefore.involuntary ? 1 : 0;
            waited += switchesAfter.voluntary > switchesBefore.voluntary ? 1 : 0;
        }
        sendKey(*view, Qt::Key_Backspace, QStringLiteral("\b"));
        view->viewport()->repaint();
        QCoreApplication::processEvents();
    }
    reportWorstAfterFirstTwo(state, "cpu_worst_after_two_ms", runs.processorSamples());
    reportWorstAfterFirstTwo(state, "worst_after_two_ms", runs.wallClockSamples());
    state.counters["slow_preempted"] = preempted;
    state.counters["slow_waited"] = waited;
    runs.report();
}

/// The first keystroke at a place far from the previous one: each iteration types at the other end of
/// the page (the work that follows the caret, such as the storage's gap, moves across the page).
void FirstKeystrokeAtAPlace(benchmark::State &state) {
    std::u16string text = samples::generatedMarkdown(pageSize);
    auto view = styledView(text);
    QCoreApplication::processEvents();
    const std::size_t places[] = {text.find(u'\n', 1000) + 1, text.find(u'\n', text.size() - 1000) + 1};
    TimedRuns runs(state);
    int round = 0;
    for (auto _ : state) {
        const std::size_t caret = places[round++ % 2];
        view->setSelectedRange(TextRange{caret, 0});
        view->scrollRangeToVisible(TextRange{caret, 0});
        view->viewport()->repaint();
        QCoreApplication::processEvents();
        runs.time([&] { sendKey(*view, Qt::Key_E, QStringLiteral("e")); });
        sendKey(*view, Qt::Key_Backspace, QStringLiteral("\b"));
        QCoreApplication::processEvents();
    }
    runs.report();
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    struct Case {
        const char *name;
        const std::u16string &text;
        std::size_t caret;
        QString typed;
    };
    const Case cases[] = {
        {"TypedKey/5MiB/proseLetter", pageWithKnownMiddle(), afterMarker(u"Some prose"), QStringLiteral("e")},
        {"TypedKey/5MiB/proseBracket", pageWithKnownMiddle(), afterMarker(u"Some prose"), QStringLiteral("(")},
        {"TypedKey/5MiB/codeLetter", pageWithKnownMiddle(), afterMarker(u"let x"), QStringLiteral("y")},
        {"TypedKey/1MiB_paragraph/middle", longParagraph(), longParagraph().size() / 2, QStringLiteral("e")},
    };
    for (const Case &c : cases) {
        benchmark::RegisterBenchmark(c.name, TypedKey, c.text, c.caret, c.typed)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(300);
    }
    benchmark::RegisterBenchmark("FirstKeystrokeAtAPlace/5MiB", FirstKeystrokeAtAPlace)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(40);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
