// Figures of the panel's surfaces, drawn offscreen: building and showing the shortcut hints and a feedback
// banner (each from nothing, painted once), and the panel view's relayout after a resize with a 5 MB page
// (the resize, the width fit and the repaint of what is visible). Each reports the median and the worst
// single run in milliseconds, of the wall clock and of the thread's processor time. Also: the find bar's
// first search through a 5 MB page (folding it), and a search as the reader types (the folded copy kept).
#include "BenchTiming.h"
#include "editor/MarkdownSamples.h"
#include "editor_view/view/VeltoTextView.h"
#include "panel/feedback/PanelFeedbackController.h"
#include "panel/hints/ShortcutHintsPanelController.h"
#include "panel/view/TextSearch.h"
#include "panel/view/VeltoPanelView.h"

#include <QtWidgets/QApplication>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace velto;

namespace {

constexpr std::size_t pageUnits = 5'242'880;

/// Runs `work` once per iteration, timed with the events it posts (layout and painting) delivered.
template <typename Work> void timeEach(benchmark::State &state, Work work) {
    bench::timeEach(state, work, [] { QApplication::processEvents(); });
}

void BuildAndShowShortcutHints(benchmark::State &state) {
    QWidget window;
    window.resize(500, 325);
    window.show();
    timeEach(state, [&window] {
        auto hints = std::make_unique<ShortcutHintsPanelController>(qtScheduler(), true);
        hints->show(&window, QRect(100, 100, 500, 325));
        QApplication::processEvents();
        hints->hide(true);
    });
}

void BuildAndShowBanner(benchmark::State &state) {
    QWidget window;
    window.resize(500, 325);
    window.show();
    timeEach(state, [&window] {
        auto banner = std::make_unique<PanelFeedbackController>(qtScheduler(), true);
        banner->show({"Page archived", PanelFeedback::Emphasis::confirmation, 2.2}, &window, QRect(100, 100, 500, 325));
        QApplication::processEvents();
        banner->hide(true);
    });
}

void RelayoutAfterResizeWithFiveMegabytes(benchmark::State &state) {
    VeltoPanelView view(QSize(500, 325), editor::TextViewCommandHost::unconfigured());
    view.textView()->editingCore().loadText(editor::samples::generatedMarkdown(pageUnits));
    view.show();
    view.pinEditorToBottom();
    view.textView()->scrollToPoint(QPointF(0, view.textView()->documentHeight() / 2));
    QApplication::processEvents();
    bool wide = false;
    timeEach(state, [&view, &wide] {
        wide = !wide;
        view.resize(wide ? QSize(720, 480) : QSize(500, 325));
        view.normalizeEditorWidth();
        view.repaint();
    });
}

void FindAsTheReaderTypesInFiveMegabytes(benchmark::State &state) {
    std::u16string page = editor::samples::generatedMarkdown(pageUnits);
    TextSearch search;
    search.search(page, QStringLiteral("t"), pageUnits / 2, 1);
    bench::timeEach(
        state,
        [&] {
            search.search(page, QStringLiteral("the"), pageUnits / 2, 1);
            benchmark::DoNotOptimize(search.matches().size());
        },
        [] {});
}

void FindInFiveMegabytes(benchmark::State &state) {
    std::u16string page = editor::samples::generatedMarkdown(pageUnits);
    bench::timeEach(
        state,
        [&] {
            // The first search folds the page; the keystrokes after it only scan the folded copy.
            TextSearch search;
            search.search(page, QStringLiteral("th"), pageUnits / 2, 1);
            search.search(page, QStringLiteral("the"), pageUnits / 2, 1);
            benchmark::DoNotOptimize(search.matches().size());
        },
        [] {});
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::RegisterBenchmark("BuildAndShowShortcutHints", BuildAndShowShortcutHints)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RegisterBenchmark("BuildAndShowBanner", BuildAndShowBanner)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RegisterBenchmark("RelayoutAfterResizeWithFiveMegabytes", RelayoutAfterResizeWithFiveMegabytes)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100);
    benchmark::RegisterBenchmark("FindInFiveMegabytes", FindInFiveMegabytes)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20);
    benchmark::RegisterBenchmark("FindAsTheReaderTypesInFiveMegabytes", FindAsTheReaderTypesInFiveMegabytes)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(50);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
