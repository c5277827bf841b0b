// The cost of the file-system steps a save is made of: an atomic write (with its two syncs) of page-sized
// files, and the enumeration of a Pages folder of 100 pages.
#include "platform/FileSystem.h"

#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

namespace {

using namespace velto;

void BM_WriteAtomically(benchmark::State &state) {
    testing::TemporaryFolder folder;
    PosixFileSystem fileSystem;
    std::string bytes(static_cast<std::size_t>(state.range(0)), 'x');
    for (auto _ : state) {
        fileSystem.writeAtomically(folder / "page.md", bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_WriteAtomically)->Arg(4096)->Arg(5242880)->Unit(benchmark::kMillisecond);

void BM_EnumeratePagesFolder(benchmark::State &state) {
    testing::TemporaryFolder folder;
    for (int i = 0; i < 100; ++i) {
        folder.writeFile("2026-01-05-page-" + std::to_string(i) + ".md", "text");
    }
    for (int i = 0; i < 20; ++i) {
        folder.writeFile(".velto/writers/" + std::to_string(i) + ".json", "{}");
    }
    PosixFileSystem fileSystem;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fileSystem.enumerateRecursively(folder.path()));
    }
}
BENCHMARK(BM_EnumeratePagesFolder);

} // namespace

BENCHMARK_MAIN();
