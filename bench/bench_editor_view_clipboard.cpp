// Reading HTML from the clipboard: how long the main thread is blocked (the longest gap between the
// ticks of a 1 ms timer while the clipboard is read and the HTML converted on a worker thread), and the
// whole read, for 256 KB and 1 MB of HTML. Each reports the median and the worst in milliseconds.
#include "BenchTiming.h"
#include "editor_view/clipboard/ClipboardTextReader.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QMimeData>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace velto::editor;

namespace {

QByteArray generatedHtml(std::size_t bytes) {
    QByteArray html = "<html><head><style>p { margin: 0 }</style></head><body>";
    int row = 0;
    while (static_cast<std::size_t>(html.size()) < bytes) {
        html += "<h2>Section " + QByteArray::number(row) +
                "</h2><p>Some <b>bold</b>, <i>italic</i> and "
                "<a href=\"https://example.com/" +
                QByteArray::number(row) +
                "\">linked</a> words.</p>"
                "<ul><li>one</li><li>two <code>code</code></li></ul><table><tr><td>a</td><td>b</td></tr></table>";
        ++row;
    }
    return html + "</body></html>";
}

void HtmlRead(benchmark::State &state, std::size_t bytes) {
    QMimeData data;
    data.setHtml(QString::fromUtf8(generatedHtml(bytes)));
    std::vector<double> blocked;
    std::vector<double> whole;
    for (auto _ : state) {
        QEventLoop loop;
        QElapsedTimer sinceTick;
        double longestGap = 0;
        QTimer ticks;
        ticks.setInterval(1);
        QObject::connect(&ticks, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        ticks.start();
        QElapsedTimer elapsed;
        elapsed.start();
        sinceTick.start();
        bool done = false;
        // The coroutine's closure lives as long as the loop: its captures are read after each suspension.
        const auto reading = [&]() -> QCoro::Task<> {
            const auto text = co_await ClipboardTextReader::read(ClipboardSnapshot::take(&data));
            benchmark::DoNotOptimize(text);
            done = true;
            loop.quit();
        };
        std::optional<QCoro::Task<>> task;
        QTimer::singleShot(0, [&] { task.emplace(reading()); });
        loop.exec();
        longestGap = std::max(longestGap, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6);
        const double total = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
        blocked.push_back(longestGap);
        whole.push_back(total);
        state.SetIterationTime(total / 1000);
        if (!done) {
            state.SkipWithError("the read did not finish");
        }
    }
    velto::bench::reportSamples(state, blocked, "blocked_");
    velto::bench::reportSamples(state, whole, "read_");
}

} // namespace

BENCHMARK_CAPTURE(HtmlRead, QuarterMegabyte, 256 * 1024)->UseManualTime()->Iterations(10);
BENCHMARK_CAPTURE(HtmlRead, OneMegabyte, 1024 * 1024)->UseManualTime()->Iterations(5);

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
