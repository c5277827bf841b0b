// The full load of a Pages folder at the library's limits, against the floor of reading the same page files
// once: 100 active pages holding 5,242,880 bytes of text, and 1,000 pages of which 900 are archived.
#include "library/load/FullLoad.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t libraryTextBytes = 5'242'880;

/// A page's Markdown: headings, paragraphs and task lists, about `bytes` long.
std::string pageBody(std::size_t bytes, int pageNumber) {
    std::string body = "# Page " + std::to_string(pageNumber) + "\n\n";
    int line = 0;
    while (body.size() < bytes) {
        switch (line++ % 4) {
        case 0:
            body += "Notes on the meeting: agree the plan, write it down, and share it with everyone involved.\n";
            break;
        case 1:
            body += "- [ ] follow up with the team about item " + std::to_string(line) + "\n";
            break;
        case 2:
            body += "- [x] done: **bold** and _emphasis_ and `code` and a [link](https://example.com)\n";
            break;
        default:
            body += "\n";
        }
    }
    body.resize(bytes);
    return body;
}

/// A library folder made by a first load, so that the measured loads find their metadata.
struct Library {
    velto::testing::TemporaryFolder folder;
    std::vector<std::filesystem::path> pageFiles;

    Library(int pageCount, int archivedCount, std::size_t bytesPerPage) {
        for (int index = 0; index < pageCount; ++index) {
            bool archived = index < archivedCount;
            std::string text = "---\nvelto:\n  id: " + velto::Uuid::random().lowercaseText() + "\n" +
                               (archived ? "  archived: true\n" : "") + "---\n" + pageBody(bytesPerPage, index);
            char name[32];
            std::snprintf(name, sizeof name, "page-%04d.md", index);
            pageFiles.push_back(folder.writeFile(name, text));
        }
        if (VeltoPageLibrary::load(folder.path()).asLoaded() == nullptr) {
            throw std::runtime_error("the benchmark library does not load");
        }
    }
};

void loadEveryIteration(benchmark::State &state, const Library &library) {
    for (auto _ : state) {
        auto result = VeltoPageLibrary::load(library.folder.path());
        if (result.asLoaded() == nullptr) {
            state.SkipWithError("the load failed");
            break;
        }
        benchmark::DoNotOptimize(result);
    }
}

/// The floor: every page file read once, nothing else.
void readEveryIteration(benchmark::State &state, const Library &library) {
    auto &fileSystem = velto::defaultFileSystem();
    for (auto _ : state) {
        std::size_t bytes = 0;
        for (const auto &file : library.pageFiles) {
            bytes += fileSystem.readFile(file).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}

const Library &hundredActivePages() {
    static const Library library(100, 0, libraryTextBytes / 100);
    return library;
}

const Library &thousandPagesMostlyArchived() {
    static const Library library(1'000, 900, libraryTextBytes / 1'000);
    return library;
}

void BM_FullLoad_100Pages_5MiB(benchmark::State &state) {
    loadEveryIteration(state, hundredActivePages());
}
BENCHMARK(BM_FullLoad_100Pages_5MiB)->Unit(benchmark::kMillisecond);

void BM_ReadFilesOnce_100Pages_5MiB(benchmark::State &state) {
    readEveryIteration(state, hundredActivePages());
}
BENCHMARK(BM_ReadFilesOnce_100Pages_5MiB)->Unit(benchmark::kMillisecond);

void BM_FullLoad_1000Pages_900Archived(benchmark::State &state) {
    loadEveryIteration(state, thousandPagesMostlyArchived());
}
BENCHMARK(BM_FullLoad_1000Pages_900Archived)->Unit(benchmark::kMillisecond);

void BM_ReadFilesOnce_1000Pages(benchmark::State &state) {
    readEveryIteration(state, thousandPagesMostlyArchived());
}
BENCHMARK(BM_ReadFilesOnce_1000Pages)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
