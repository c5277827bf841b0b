// How fast the text helpers are on the sizes the page library and the merge meet: lines of a page compared
// many times over, and whole pages up to the 5,242,880-byte limit.
#include "platform/Text.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

using namespace velto;

std::vector<std::string> pageLines(std::size_t count, const std::string &decoration) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i) {
        lines.push_back("- [ ] item " + std::to_string(i) + decoration + " with some ordinary words after it");
    }
    return lines;
}

std::string pageText(std::size_t bytes, const std::string &decoration) {
    std::string text;
    std::size_t i = 0;
    while (text.size() < bytes) {
        text += "Line " + std::to_string(i++) + decoration + " of a page that someone typed into the panel.\n";
    }
    return text;
}

// Every line against every other line of a 1,000-line page: the merge's inner comparison.
void compareLines(benchmark::State &state, const std::string &decoration, const std::string &otherDecoration) {
    std::vector<std::string> left = pageLines(1000, decoration);
    std::vector<std::string> right = pageLines(1000, otherDecoration);
    for (auto _ : state) {
        std::size_t equal = 0;
        for (const std::string &a : left) {
            for (std::size_t j = 0; j < 64; ++j) {
                equal += text::canonicallyEqual(a, right[j]);
            }
        }
        benchmark::DoNotOptimize(equal);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 1000 * 64);
}

void BM_CanonicallyEqualAsciiLines(benchmark::State &state) {
    compareLines(state, "", "");
}
void BM_CanonicallyEqualComposedLines(benchmark::State &state) {
    compareLines(state, " caf\xC3\xA9", " caf\xC3\xA9");
}
void BM_CanonicallyEqualDecomposedLines(benchmark::State &state) {
    compareLines(state, " cafe\xCC\x81", " caf\xC3\xA9");
}
BENCHMARK(BM_CanonicallyEqualAsciiLines);
BENCHMARK(BM_CanonicallyEqualComposedLines);
BENCHMARK(BM_CanonicallyEqualDecomposedLines);

void BM_CanonicallyEqualWholePage(benchmark::State &state) {
    std::string a = pageText(5242880, " caf\xC3\xA9");
    std::string b = a;
    b.back() = '!';
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::canonicallyEqual(a, b));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(a.size()));
}
BENCHMARK(BM_CanonicallyEqualWholePage)->Unit(benchmark::kMillisecond);

void BM_GraphemeCountWholePage(benchmark::State &state) {
    std::string page = pageText(5242880, state.range(0) ? " \xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD" : "");
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::graphemeCount(page));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_GraphemeCountWholePage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_GraphemePrefixOfTitle(benchmark::State &state) {
    std::string page = pageText(65536, " \xC3\xA9t\xC3\xA9");
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::graphemePrefix(page, 80));
    }
}
BENCHMARK(BM_GraphemePrefixOfTitle);

void BM_LowercasedLine(benchmark::State &state) {
    std::string line = state.range(0) ? "Caf\xC3\x89 NOTES \xC3\x80 FAIRE" : "Plain ASCII Notes To Do";
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::lowercased(line));
    }
}
BENCHMARK(BM_LowercasedLine)->Arg(0)->Arg(1);

void BM_DecodingUTF8LossyWholePage(benchmark::State &state) {
    std::string page = pageText(5242880, " caf\xC3\xA9");
    if (state.range(0)) {
        page[page.size() / 2] = '\xff';
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(text::decodingUTF8Lossy(page));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_DecodingUTF8LossyWholePage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
