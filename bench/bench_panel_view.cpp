// Figures of the panel's surfaces, drawn offscreen: building and showing the shortcut hints and a feedback
// banner (each from nothing, painted once), and the panel view's relayout after a resize with a 5 MB page
// (the resize, the width fit and the repaint of what is visible). Each reports the median and the worst
// single run in milliseconds, of the wall clock and of the thread's processor time. Also: the find bar's
// first search through a 5 MB page (folding it), and a search as the reader types (the folded copy kept).
#include "editor/MarkdownSamples.h"
#include "editor_view/VeltoTextView.h"
#include "panel/PanelFeedbackController.h"
#include "panel/ShortcutHintsPanelController.h"
#include "panel/TextSearch.h"
#include "panel/VeltoPanelView.h"

#include <QtWidgets/QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace velto;

namespace {

constexpr std::size_t pageUnits = 5'242'880;

double milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

/// The processor time of the calling thread: on a busy machine the wall clock also counts other programs.
double threadProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void reportSamples(benchmark::State &state, std::vector<double> samples, const char *prefix = "") {
    if (qEnvironmentVariableIsSet("VELTO_BENCH_SAMPLES")) {
        for (double sample : samples) {
            std::fprintf(stderr, "%.2f ", sample);
        }
        std::fprintf(stderr, "\n");
    }
    std::sort(samples.begin(), samples.end());
    state.counters[std::string(prefix) + "median_ms"] = samples[samples.size() / 2];
    state.counters[std::string(prefix) + "worst_ms"] = samples.back();
}

/// Runs `work` once per iteration, timed with the events it posts (layout and painting) delivered.
template <typename Work> void timeEach(benchmark::State &state, Work work) {
    std::vector<double> samples;
    std::vector<double> processorSamples;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        double processorStart = threadProcessorMilliseconds();
        work();
        QApplication::processEvents();
        double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        processorSamples.push_back(threadProcessorMilliseconds() - processorStart);
        state.SetIterationTime(elapsed / 1000.0);
        samples.push_back(elapsed);
    }
    reportSamples(state, samples);
    reportSamples(state, processorSamples, "cpu_");
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
    VeltoPanelView view(QSize(500, 325));
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
    std::vector<double> samples;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        search.search(page, QStringLiteral("the"), pageUnits / 2, 1);
        benchmark::DoNotOptimize(search.matches().size());
        double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        state.SetIterationTime(elapsed / 1000.0);
        samples.push_back(elapsed);
    }
    reportSamples(state, samples);
}

void FindInFiveMegabytes(benchmark::State &state) {
    std::u16string page = editor::samples::generatedMarkdown(pageUnits);
    std::vector<double> samples;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        // The first search folds the page; the keystrokes after it only scan the folded copy.
        TextSearch search;
        search.search(page, QStringLiteral("th"), pageUnits / 2, 1);
        search.search(page, QStringLiteral("the"), pageUnits / 2, 1);
        benchmark::DoNotOptimize(search.matches().size());
        double elapsed = milliseconds(std::chrono::steady_clock::now() - start);
        state.SetIterationTime(elapsed / 1000.0);
        samples.push_back(elapsed);
    }
    reportSamples(state, samples);
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
