// Code highlighting: what a cold highlight.js run costs part by part, what a cache hit costs, how many
// distinct blocks the two execution slots get through, and how fast highlight.js markup is read back.
#include "BenchTiming.h"
#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor/highlight/HighlightMarkupParser.h"
#include "editor/highlight/HighlightScripts.h"
#include "platform/desktop/JavaScriptEngine.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

using namespace velto;
using namespace velto::editor;
using velto::bench::milliseconds;
using Clock = std::chrono::steady_clock;

const std::filesystem::path scriptsFolder = VELTO_SOURCE_DIR "/resources/SyntaxHighlighting";

/// Python code of about `size` UTF-16 units; `variant` makes distinct blocks.
std::u16string pythonBlock(std::size_t size, int variant = 0) {
    const std::u16string unit = u"def handle_" + std::u16string(1, char16_t(u'a' + variant % 26)) +
                                u"(request, retries=3):\n"
                                u"    \"\"\"Answer one request.\"\"\"\n"
                                u"    for attempt in range(retries):  # try again on failure\n"
                                u"        if request.ok and attempt < 2:\n"
                                u"            return {'status': 200, 'body': request.text}\n"
                                u"    raise ValueError(f\"failed after {retries} attempts\")\n\n";
    std::u16string block;
    while (block.size() < size) {
        block += unit;
    }
    block.resize(size);
    return block;
}

void ensureApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "velto_bench";
        static char *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
}

/// One cold run split into its parts: a new context, the five scripts, the highlight call, the parse.
void BM_ColdRunParts(benchmark::State &state) {
    const std::vector<std::u16string> scripts = loadScripts(scriptsFolder);
    const std::u16string source = pythonBlock(static_cast<std::size_t>(state.range(0)));
    double context = 0, evaluation = 0, highlight = 0, parse = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        JavaScriptContext javaScript;
        const auto created = Clock::now();
        for (const std::u16string &script : scripts) {
            javaScript.evaluate(script);
        }
        javaScript.evaluate(highlightGlueScript);
        const auto evaluated = Clock::now();
        const std::optional<std::u16string> markup =
            javaScript.callGlobalFunction("veltoHighlight", {source, u"python"});
        const auto highlighted = Clock::now();
        benchmark::DoNotOptimize(HighlightMarkupParser::parse(*markup, source));
        const auto parsed = Clock::now();
        context += milliseconds(created - start);
        evaluation += milliseconds(evaluated - created);
        highlight += milliseconds(highlighted - evaluated);
        parse += milliseconds(parsed - highlighted);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["context_ms"] = context / runs;
    state.counters["scripts_ms"] = evaluation / runs;
    state.counters["highlight_ms"] = highlight / runs;
    state.counters["parse_ms"] = parse / runs;
}
BENCHMARK(BM_ColdRunParts)->Arg(100)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

/// A whole cold request through the highlighter (a new highlighter each time: scripts read from disk,
/// nothing cached).
void BM_ColdRequest(benchmark::State &state) {
    ensureApplication();
    const std::u16string source = pythonBlock(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        HighlightJSSyntaxHighlighter highlighter(HighlightJSSyntaxHighlighter::Configuration{
            std::nullopt, nullptr, scriptsFolder, HighlightTokenCache::defaultCostLimit, 2});
        QEventLoop loop;
        // The closure outlives the request: the coroutine reaches its captures through it after resuming.
        auto requesting = [&]() -> QCoro::Task<> {
            benchmark::DoNotOptimize(co_await highlighter.tokens(source, "python", {}));
            loop.quit();
        };
        auto request = requesting();
        loop.exec();
    }
}
BENCHMARK(BM_ColdRequest)->Arg(100)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Distinct blocks asked for one after another through one highlighter, as the highlighting of a page
/// does: each request timed on its own (the first one also makes its worker's context).
void BM_BlockAfterBlock(benchmark::State &state) {
    ensureApplication();
    std::vector<double> samples;
    int round = 0;
    for (auto _ : state) {
        HighlightJSSyntaxHighlighter highlighter(HighlightJSSyntaxHighlighter::Configuration{
            std::nullopt, nullptr, scriptsFolder, HighlightTokenCache::defaultCostLimit, 2});
        const auto start = Clock::now();
        for (int block = 0; block < 100; ++block) {
            const std::u16string source = pythonBlock(static_cast<std::size_t>(state.range(0)), block) + u"# " +
                                          QString::number(round * 100 + block).toStdU16String();
            const auto requestStart = Clock::now();
            QEventLoop loop;
            auto request = [](HighlightJSSyntaxHighlighter &highlighter, std::u16string source,
                              QEventLoop &loop) -> QCoro::Task<> {
                benchmark::DoNotOptimize(co_await highlighter.tokens(source, "python", {}));
                loop.quit();
            }(highlighter, source, loop);
            if (!request.isReady()) {
                loop.exec();
            }
            samples.push_back(milliseconds(Clock::now() - requestStart));
        }
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        ++round;
    }
    velto::bench::reportSamples(state, samples, "per_block_");
}
BENCHMARK(BM_BlockAfterBlock)->Arg(500)->Arg(5'000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

/// A request answered from the cache: the cost of restyling an unchanged block.
void BM_CacheHit(benchmark::State &state) {
    ensureApplication();
    HighlightJSSyntaxHighlighter highlighter(HighlightJSSyntaxHighlighter::Configuration{
        std::nullopt, nullptr, scriptsFolder, HighlightTokenCache::defaultCostLimit, 2});
    const std::u16string source = pythonBlock(static_cast<std::size_t>(state.range(0)));
    {
        QEventLoop loop;
        auto warming = [&]() -> QCoro::Task<> {
            co_await highlighter.tokens(source, "python", {});
            loop.quit();
        };
        auto warm = warming();
        loop.exec();
    }
    std::size_t tokenCount = 0;
    for (auto _ : state) {
        // A hit never suspends, so the request has finished when the call returns.
        auto request = [&]() -> QCoro::Task<> {
            tokenCount = (co_await highlighter.tokens(source, "python", {})).size();
        }();
        benchmark::DoNotOptimize(tokenCount);
    }
    state.counters["tokens"] = static_cast<double>(tokenCount);
}
BENCHMARK(BM_CacheHit)->Arg(100)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

/// 50 distinct 1 KB blocks requested at once, run through the two execution slots.
void BM_FiftyDistinctBlocks(benchmark::State &state) {
    ensureApplication();
    int round = 0;
    for (auto _ : state) {
        HighlightJSSyntaxHighlighter highlighter(HighlightJSSyntaxHighlighter::Configuration{
            std::nullopt, nullptr, scriptsFolder, HighlightTokenCache::defaultCostLimit, 2});
        QEventLoop loop;
        int remaining = 50;
        // The coroutine takes what it uses as parameters, which live in its frame across suspensions.
        auto request = [](HighlightJSSyntaxHighlighter &highlighter, std::u16string source, int &remaining,
                          QEventLoop &loop) -> QCoro::Task<> {
            co_await highlighter.tokens(source, "python", {});
            if (--remaining == 0) {
                loop.quit();
            }
        };
        std::vector<QCoro::Task<>> requests;
        for (int block = 0; block < 50; ++block) {
            const std::u16string source =
                pythonBlock(1'000, block) + u"# " + std::u16string(1, char16_t(u'A' + round % 26));
            requests.push_back(request(highlighter, source, remaining, loop));
        }
        loop.exec();
        ++round;
    }
    state.counters["blocks_per_s"] =
        benchmark::Counter(50.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FiftyDistinctBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();

/// Reading highlight.js markup back into tokens, in bytes of markup (UTF-16) per second.
void BM_MarkupParser(benchmark::State &state) {
    const std::vector<std::u16string> scripts = loadScripts(scriptsFolder);
    const std::u16string source = pythonBlock(static_cast<std::size_t>(state.range(0)));
    JavaScriptContext javaScript;
    for (const std::u16string &script : scripts) {
        javaScript.evaluate(script);
    }
    javaScript.evaluate(highlightGlueScript);
    const std::u16string markup = *javaScript.callGlobalFunction("veltoHighlight", {source, u"python"});
    for (auto _ : state) {
        benchmark::DoNotOptimize(HighlightMarkupParser::parse(markup, source));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * markup.size() * sizeof(char16_t)));
    state.counters["markup_units"] = static_cast<double>(markup.size());
}
BENCHMARK(BM_MarkupParser)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
