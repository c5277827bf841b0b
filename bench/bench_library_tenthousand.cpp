// A library of 10,000 pages: the first load of a folder that has no metadata yet, a load of the library once it
// has its metadata (the next launch), and one save of one edited page. A save's cost should follow what it
// changed, not the size of the library.
#include "BenchTiming.h"

#include "library/load/FullLoad.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "model/ContentChecksum.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

using namespace velto;

constexpr int pageCount = 10'000;

/// A folder of 10,000 short notes, as a user's years of pages might be.
void writePageFiles(const testing::TemporaryFolder &folder) {
    for (int index = 0; index < pageCount; ++index) {
        char name[32];
        std::snprintf(name, sizeof name, "note-%05d.md", index);
        folder.writeFile(name, "# Note " + std::to_string(index) +
                                   "\n\nA few lines about the day, a list of things to do:\n\n- [ ] one\n- [x] two\n");
    }
}

const VeltoDocument &loadedDocument(const VeltoLibraryLoadResult &result) {
    const auto *loaded = result.asLoaded();
    if (loaded == nullptr) {
        throw std::runtime_error("the library does not load");
    }
    return loaded->document;
}

void FirstLoadOf10000Pages(benchmark::State &state) {
    bench::TimedRuns runs(state);
    for (auto _ : state) {
        state.PauseTiming();
        testing::TemporaryFolder folder;
        writePageFiles(folder);
        state.ResumeTiming();
        runs.time([&] { benchmark::DoNotOptimize(loadedDocument(VeltoPageLibrary::load(folder.path()))); });
    }
    runs.report();
}
BENCHMARK(FirstLoadOf10000Pages)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void LoadOf10000PagesWithTheirMetadata(benchmark::State &state) {
    testing::TemporaryFolder folder;
    writePageFiles(folder);
    loadedDocument(VeltoPageLibrary::load(folder.path()));
    bench::TimedRuns runs(state);
    for (auto _ : state) {
        runs.time([&] { benchmark::DoNotOptimize(loadedDocument(VeltoPageLibrary::load(folder.path()))); });
    }
    runs.report();
}
BENCHMARK(LoadOf10000PagesWithTheirMetadata)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void SaveOfOnePageOf10000(benchmark::State &state) {
    testing::TemporaryFolder folder;
    writePageFiles(folder);
    VeltoDocument document = loadedDocument(VeltoPageLibrary::load(folder.path()));
    std::uint64_t revision = 0;
    bench::TimedRuns runs(state);
    for (auto _ : state) {
        VeltoPage &page = document.currentPage;
        VeltoPageBaseline baseline = VeltoPageBaseline::fromPage(page);
        page.content.asLoaded()->body.edit() += "edited " + std::to_string(++revision) + "\n";
        VeltoSaveRequest request;
        request.writerID = *Uuid::parse("5A5A5A5A-0000-4000-8000-000000000001");
        request.operationID = Uuid::random();
        request.recordedAt = std::chrono::system_clock::now();
        request.generation = revision;
        request.mutationRevision = revision;
        request.document = document;
        request.changedPageRevisions[page.id] = revision;
        request.expectedPageBaselines[page.id] = baseline;
        runs.time([&] { benchmark::DoNotOptimize(VeltoPageLibrary::write(request, folder.path())); });
    }
    runs.report();
}
BENCHMARK(SaveOfOnePageOf10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
