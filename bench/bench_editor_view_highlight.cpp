// Highlighting a whole long page with the production highlighter and highlight.js: how long until the
// code on a screen near the page's end is coloured, how long and how much processor time (all threads)
// until every block is, and how many threads the process has meanwhile (sampled from /proc every 100 ms;
// "threads_started" counts thread ids that appeared, so threads that come and go show even when the
// count stays flat).
#include "BenchTiming.h"
#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor/markdown/MarkdownStyler.h"
#include "page_editor/CodeHighlightRequests.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

using namespace velto;
using namespace velto::editor;
using velto::bench::milliseconds;
using Clock = std::chrono::steady_clock;

const std::filesystem::path scriptsFolder = VELTO_SOURCE_DIR "/resources/SyntaxHighlighting";

/// A page of about `bytes`: sections of a heading, tasks with inline code and a link, prose, and a
/// Python block whose names differ from section to section (so no two blocks are alike).
std::u16string longPage(std::size_t bytes) {
    std::u16string page;
    for (int section = 0; page.size() < bytes; ++section) {
        const std::u16string n = QString::number(section).toStdU16String();
        page += u"## Section " + n + u"\n\n- [ ] check `value_" + n + u"` against [the notes](https://example.com/" +
                n + u")\n- [x] done with `retries=" + n + u"`\n\n";
        for (int sentence = 0; sentence < 8; ++sentence) {
            page += u"Prose that explains what the code below does and why it retries a request before it gives up. ";
        }
        page += u"\n\n```python\n"
                u"def handle_" +
                n +
                u"(request, retries=3):\n"
                u"    \"\"\"Answer request " +
                n +
                u".\"\"\"\n"
                u"    for attempt in range(retries):  # try again on failure\n"
                u"        if request.ok and attempt < 2:\n"
                u"            return {'status': 200, 'body': request.text, 'id': " +
                n +
                u"}\n"
                u"    raise ValueError(f\"failed after {retries} attempts\")\n"
                u"```\n\n";
    }
    return page;
}

double processProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(entry.path().filename().string());
    }
    return ids;
}

/// The process's resident memory in MB, from /proc ("VmRSS").
double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return 0;
}

void ensureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "velto_bench";
        static char *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
}

bool meets(TextRange a, TextRange b) {
    return a.location <= b.end() && b.location <= a.end();
}

/// The page highlighted from scratch (a new highlighter: no cache, no worker yet), with the screen
/// showing the page's last 3,000 units.
void BM_LongPageHighlighted(benchmark::State &state) {
    ensureApplication();
    const std::u16string page = longPage(static_cast<std::size_t>(state.range(0)) * 1024);
    TextStorage styled{page};
    MarkdownStyler::apply(styled);
    const TextRange screen{page.size() - 3'000, 3'000};

    std::vector<double> visibleSamples, allSamples, processorSamples, residentGrowth;
    std::size_t blocks = 0, mostThreads = 0, threadsStarted = 0;
    for (auto _ : state) {
        TextStorage storage = styled;
        const std::vector<MarkdownStyler::CodeHighlightRequest> requests =
            MarkdownStyler::codeHighlightRequests(MarkdownStyler::fencedBlocks(storage), storage);
        blocks = requests.size();
        std::size_t onScreen = 0;
        for (const auto &request : requests) {
            onScreen += meets(request.contentRange, screen) ? 1 : 0;
        }
        auto highlighter = std::make_shared<HighlightJSSyntaxHighlighter>(HighlightJSSyntaxHighlighter::Configuration{
            std::nullopt, nullptr, scriptsFolder, HighlightTokenCache::defaultCostLimit, 2});

        const std::set<std::string> threadsBefore = threadIds();
        std::set<std::string> threadsSeen = threadsBefore;
        QTimer sampler;
        sampler.setInterval(100);
        QObject::connect(&sampler, &QTimer::timeout, [&] {
            const std::set<std::string> now = threadIds();
            mostThreads = std::max(mostThreads, now.size());
            threadsSeen.insert(now.begin(), now.end());
        });
        sampler.start();

        const double residentBefore = residentMegabytes();
        const auto start = Clock::now();
        const double processorStart = processProcessorMilliseconds();
        std::size_t shown = 0;
        double visibleAt = -1;
        QEventLoop loop;
        bool finished = false;
        const CodeHighlightTarget target{
            [&]() -> TextStorage * { return &storage; },
            [] { return std::uint64_t{1}; },
            [] { return MarkdownStyler::textColor(); },
            [] {},
            [] {},
            [] {},
            [&](const MarkdownStyler::CodeHighlightRequest &request) {
                if (meets(request.contentRange, screen) && ++shown == onScreen) {
                    visibleAt = milliseconds(Clock::now() - start);
                }
            },
            [&] { return std::optional{screen}; },
            {}, // every block, as a page whose reader scrolls through all of it
        };
        auto highlighting = [&]() -> QCoro::Task<> {
            co_await highlightCodeBlocks(requests, highlighter, {1, storage.identity(), storage.characterVersion()},
                                         target, {});
            finished = true;
            loop.quit();
        }();
        if (!finished) {
            loop.exec();
        }
        allSamples.push_back(milliseconds(Clock::now() - start));
        processorSamples.push_back(processProcessorMilliseconds() - processorStart);
        visibleSamples.push_back(visibleAt);
        state.SetIterationTime(allSamples.back() / 1000.0);
        sampler.stop();
        residentGrowth.push_back(residentMegabytes() - residentBefore);
        highlighter.reset();
        threadsStarted = threadsSeen.size() - threadsBefore.size();
    }
    velto::bench::reportSamples(state, visibleSamples, "screen_coloured_");
    velto::bench::reportSamples(state, allSamples, "all_coloured_");
    velto::bench::reportSamples(state, processorSamples, "all_cpu_");
    state.counters["resident_growth_mb"] = velto::bench::worst(residentGrowth);
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["threads_most"] = static_cast<double>(mostThreads);
    state.counters["threads_started"] = static_cast<double>(threadsStarted);
}
BENCHMARK(BM_LongPageHighlighted)->Arg(1024)->Arg(5120)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
