// The page library at its limits: 100 pages holding 5,242,880 bytes of text in all, five writers whose
// journals each record every page, and a deletion index of 1,000 tombstones.
#include "library/folder/PageFileNaming.h"
#include "library/load/PageAvailability.h"
#include "library/load/PageLoading.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/WriterStates.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace velto;

namespace {

constexpr int pageCount = 100;
constexpr int writerCount = 5;
constexpr int tombstoneCount = 1'000;
constexpr std::size_t totalTextBytes = 5'242'880;

std::string pageBody(int index) {
    std::string line = "- [ ] item " + std::to_string(index) + " with some ordinary Markdown text\n";
    std::string text;
    while (text.size() + line.size() <= totalTextBytes / pageCount) {
        text += line;
    }
    return text;
}

/// A Pages folder with every page's file and the records that describe them.
struct FullLibrary {
    testing::TemporaryFolder folder;
    std::vector<VeltoPage> pages;
    std::vector<VeltoLibraryPageRecord> records;

    FullLibrary() {
        folder.createFolder(".velto");
        for (int index = 0; index < pageCount; ++index) {
            VeltoPage page;
            page.id = Uuid::random();
            page.createdAt = dateFromSecondsSince1970(1'767'600'000 + index);
            page.fileSlug = "calm-cove";
            page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(pageBody(index)));
            page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(page.persistedFileContents()));
            auto record = VeltoLibraryPageRecord::fromPage(page);
            folder.writeFile(VeltoPageLibrary::pageFileName(record), page.persistedFileContents());
            pages.push_back(std::move(page));
            records.push_back(std::move(record));
        }
    }
};

void LoadEveryPageWhole(benchmark::State &state) {
    FullLibrary library;
    for (auto _ : state) {
        for (const auto &record : library.records) {
            benchmark::DoNotOptimize(VeltoPageLibrary::loadPage(record, library.folder.path(), defaultFileSystem(),
                                                                true, nullptr, true,
                                                                VeltoPageLibrary::productionAvailability()));
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(totalTextBytes));
}
BENCHMARK(LoadEveryPageWhole)->Unit(benchmark::kMillisecond);

void LoadEveryPageReusingMemory(benchmark::State &state) {
    FullLibrary library;
    for (auto _ : state) {
        for (std::size_t index = 0; index < library.records.size(); ++index) {
            benchmark::DoNotOptimize(VeltoPageLibrary::loadPage(library.records[index], library.folder.path(),
                                                                defaultFileSystem(), true, &library.pages[index], true,
                                                                VeltoPageLibrary::productionAvailability()));
        }
    }
}
BENCHMARK(LoadEveryPageReusingMemory)->Unit(benchmark::kMillisecond);

std::vector<VeltoWriterState> concurrentJournals(const std::vector<VeltoLibraryPageRecord> &records) {
    std::vector<VeltoWriterState> journals;
    for (int writer = 0; writer < writerCount; ++writer) {
        VeltoWriterState journal;
        journal.writerID = Uuid::random();
        VeltoWriterVersion version{journal.writerID, 3, dateFromSecondsSince1970(1'767'600'000), Uuid::random(),
                                   std::nullopt};
        for (const auto &record : records) {
            journal.pageMutations.push_back({record, version});
        }
        journals.push_back(std::move(journal));
    }
    return journals;
}

void LoadUnchangedJournals(benchmark::State &state) {
    FullLibrary library;
    for (const auto &journal : concurrentJournals(library.records)) {
        library.folder.writeFile(".velto/writers/" + journal.writerID.lowercaseText() + ".json", journal.encode());
    }
    VeltoPageLibrary::loadWriterStates(library.folder.path()); // sorts every journal once
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPageLibrary::loadWriterStates(library.folder.path()));
    }
}
BENCHMARK(LoadUnchangedJournals)->Unit(benchmark::kMillisecond);

void CompactConcurrentJournals(benchmark::State &state) {
    FullLibrary library;
    auto journals =
        VeltoPageLibrary::compactWriterStates(concurrentJournals(library.records), {}, library.folder.path());
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPageLibrary::compactWriterStates(journals, {}, library.folder.path()));
    }
}
BENCHMARK(CompactConcurrentJournals)->Unit(benchmark::kMillisecond);

/// A deletion index of `tombstoneCount` deleted pages.
std::map<Uuid, VeltoDeletionTombstone> deletionIndex() {
    std::map<Uuid, VeltoDeletionTombstone> index;
    for (int number = 0; number < tombstoneCount; ++number) {
        auto pageID = Uuid::random();
        VeltoWriterVersion version{Uuid::random(), 1, dateFromSecondsSince1970(1'767'600'000), Uuid::random(),
                                   std::nullopt};
        index.emplace(pageID, VeltoDeletionTombstone{pageID, pageID.lowercaseText() + ".md", version});
    }
    return index;
}

void PersistUnchangedDeletionIndex(benchmark::State &state) {
    testing::TemporaryFolder folder;
    const std::map<Uuid, VeltoDeletionTombstone> index = deletionIndex();
    VeltoPageLibrary::persistCanonicalDeletionIndex(index, folder.path());
    for (auto _ : state) {
        VeltoPageLibrary::persistCanonicalDeletionIndex(index, folder.path());
    }
}
BENCHMARK(PersistUnchangedDeletionIndex)->Unit(benchmark::kMillisecond);

void LoadDeletionIndex(benchmark::State &state) {
    testing::TemporaryFolder folder;
    const std::map<Uuid, VeltoDeletionTombstone> index = deletionIndex();
    VeltoPageLibrary::persistCanonicalDeletionIndex(index, folder.path());
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPageLibrary::loadCanonicalDeletionTombstones(folder.path()));
    }
}
BENCHMARK(LoadDeletionIndex)->Unit(benchmark::kMillisecond);

void ContentChecksumOfAllText(benchmark::State &state) {
    std::string text(totalTextBytes, 'x');
    for (auto _ : state) {
        benchmark::DoNotOptimize(VeltoPageLibrary::contentChecksum(text));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(totalTextBytes));
}
BENCHMARK(ContentChecksumOfAllText)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
