// Metadata records at the library's limits: 100 pages holding 5,242,880 bytes of text in all.
#include "model/LibraryManifest.h"
#include "model/MutationTracker.h"
#include "model/WriterState.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace velto;

namespace {

constexpr int pageCount = 100;
constexpr std::size_t totalTextBytes = 5'242'880;

std::string pageText(int index) {
    std::string line = "- [ ] item " + std::to_string(index) + " with some ordinary Markdown text\n";
    std::string text = "---\ntitle: Page " + std::to_string(index) + "\n---\n";
    while (text.size() + line.size() <= totalTextBytes / pageCount) {
        text += line;
    }
    return text;
}

VeltoDocument fullDocument() {
    std::vector<VeltoPage> pages;
    for (int index = 0; index < pageCount; ++index) {
        VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = dateFromSecondsSince1970(1'767'600'000 + index);
        page.fileSlug = "calm-cove";
        page.updatedAt = page.createdAt;
        page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(pageText(index)));
        pages.push_back(std::move(page));
    }
    VeltoDocument document{pages.front(), {pages.begin() + 1, pages.end()}};
    return document;
}

VeltoWriterState fullWriterState(const VeltoLibraryManifest &manifest) {
    VeltoWriterState state{Uuid::random(), {}, {}, std::nullopt, std::nullopt};
    VeltoWriterVersion version{state.writerID, 7, dateFromSecondsSince1970(1'767'600'000), Uuid::random(),
                               std::vector<VeltoWriterHead>{{Uuid::random(), 3}, {state.writerID, 6}}};
    state.pageMutations.push_back({manifest.currentPage, version});
    for (const VeltoLibraryPageRecord &record : manifest.pages) {
        state.pageMutations.push_back({record, version});
    }
    return state;
}

void ManifestFromFullDocument(benchmark::State &state) {
    const VeltoDocument document = fullDocument();
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoLibraryManifest::fromDocument(document));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(totalTextBytes));
}
BENCHMARK(ManifestFromFullDocument)->Unit(benchmark::kMillisecond);

void ManifestEncodeDecode(benchmark::State &state) {
    const VeltoLibraryManifest manifest = VeltoLibraryManifest::fromDocument(fullDocument());
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoLibraryManifest::decode(manifest.encode()));
    }
}
BENCHMARK(ManifestEncodeDecode)->Unit(benchmark::kMicrosecond);

void WriterStateEncodeDecode(benchmark::State &state) {
    const VeltoWriterState writerState = fullWriterState(VeltoLibraryManifest::fromDocument(fullDocument()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoWriterState::decode(writerState.encode()));
    }
}
BENCHMARK(WriterStateEncodeDecode)->Unit(benchmark::kMicrosecond);

// One keystroke in the current page: the tracker compares every page of both documents.
void TrackerRecordsOneEdit(benchmark::State &state) {
    const VeltoDocument before = fullDocument();
    VeltoDocument after = before;
    after.currentPage.content.asLoaded()->body.edit() += "x";
    VeltoMutationTracker tracker;
    for (auto _ : state) {
        tracker.record(before, after);
    }
}
BENCHMARK(TrackerRecordsOneEdit)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
