// Parsing a 5 MB page file and rewriting its metadata block: the work of every load and save of the largest
// page the panel keeps active.

#include "model/PageFileContent.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using velto::Uuid;
using velto::VeltoPageFileContent;

constexpr std::size_t pageBytes = 5'242'880;

std::string largePage(const std::string &lineEnding) {
    std::string text = "---" + lineEnding + "title: Notes" + lineEnding + "tags: [work, plans]" + lineEnding +
                       "velto-id: 1a2b3c4d-0000-4000-8000-00000000000a" + lineEnding + "---" + lineEnding;
    for (std::size_t line = 0; text.size() < pageBytes; ++line) {
        text += line % 7 == 0 ? "" : "- [ ] an item of a long list of things to do, number " + std::to_string(line);
        text += lineEnding;
    }
    return text;
}

const std::string &page(bool crlf) {
    static const std::string lf = largePage("\n");
    static const std::string withCRLF = largePage("\r\n");
    return crlf ? withCRLF : lf;
}

void BM_ParsePageFile(benchmark::State &state) {
    const std::string &text = page(state.range(0) != 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPageFileContent::parse(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_ReadMetadata(benchmark::State &state) {
    VeltoPageFileContent content = VeltoPageFileContent::parse(page(false));
    for (auto _ : state) {
        benchmark::DoNotOptimize(content.veltoPageID());
        benchmark::DoNotOptimize(content.isArchived());
        benchmark::DoNotOptimize(content.conflictOriginalPageID());
    }
}

/// Parse, write the metadata and produce the file text: one page of a save.
void BM_RewriteFrontMatter(benchmark::State &state) {
    const std::string &text = page(state.range(0) != 0);
    Uuid pageID = *Uuid::parse("1a2b3c4d-0000-4000-8000-00000000000a");
    for (auto _ : state) {
        VeltoPageFileContent content = VeltoPageFileContent::parse(text);
        content.writeVeltoMetadata(pageID, true, std::nullopt);
        benchmark::DoNotOptimize(content.fileContents());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

} // namespace

BENCHMARK(BM_ParsePageFile)->ArgName("crlf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadMetadata)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RewriteFrontMatter)->ArgName("crlf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
