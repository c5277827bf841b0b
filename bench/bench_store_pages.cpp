// The page lists and page operations of the store on a library at the active limits: 100 active pages of
// about 50 KB (5 MiB in all) and 400 archived pages. Every figure is main-thread time: these run on each
// keystroke of page navigation or menu opening, so they must stay far below a frame (16 ms).
#include "store/PageLists.h"
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace velto;

constexpr int activePageCount = 100;
constexpr int archivedPageCount = 400;

VeltoPage benchPage(int index, int bytes, bool archived) {
    Date created = dateFromSecondsSince1970(1'760'000'000);
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = created;
    page.updatedAt = created + std::chrono::seconds(index);
    page.fileSlug = "bench-page";
    VeltoPageFileContent content{std::nullopt, std::string(static_cast<std::size_t>(bytes), 'x'), "\n"};
    if (archived) {
        content.writeVeltoMetadata(page.id, true, std::nullopt);
        page.archivedAt = created;
    }
    page.content = VeltoPageContent::loaded(std::move(content));
    return page;
}

VeltoDocument libraryAtTheLimits() {
    VeltoDocument document;
    const int activeBytes = 5'242'880 / activePageCount - 64;
    document.currentPage = benchPage(activePageCount, activeBytes, false);
    for (int index = 0; index < activePageCount - 1; ++index) {
        document.pages.push_back(benchPage(index, activeBytes, false));
    }
    for (int index = 0; index < archivedPageCount; ++index) {
        document.pages.push_back(benchPage(index, 2'000, true));
    }
    return document;
}

/// A store whose saves finish at once without touching the disk, so that only the store's own work is timed.
std::unique_ptr<VeltoStore> benchStore(const testing::TemporaryFolder &temporary) {
    VeltoStore::Environment environment;
    environment.saveOperation = [](const VeltoSaveRequest &, std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
        co_return VeltoSaveResult{};
    };
    return std::make_unique<VeltoStore>(temporary / "absent", 100, 5'242'880, std::move(environment),
                                        VeltoLibraryLoadResult::loaded(libraryAtTheLimits(), std::nullopt));
}

void BM_PageListsForMenus(benchmark::State &state) {
    testing::TemporaryFolder temporary;
    std::unique_ptr<VeltoStore> store = benchStore(temporary);
    for (auto _ : state) {
        benchmark::DoNotOptimize(activePagesSortedByActivity(store->document()));
        benchmark::DoNotOptimize(archivedPagesSortedByArchiveDate(store->document()));
    }
}
BENCHMARK(BM_PageListsForMenus)->Unit(benchmark::kMillisecond);

void BM_ArchiveSnapshot(benchmark::State &state) {
    testing::TemporaryFolder temporary;
    std::unique_ptr<VeltoStore> store = benchStore(temporary);
    for (auto _ : state) {
        benchmark::DoNotOptimize(store->archiveSnapshot());
    }
}
BENCHMARK(BM_ArchiveSnapshot)->Unit(benchmark::kMillisecond);

/// A new page at the limits (the active-limit walk archives one page) and the undo of it.
void BM_NewPageAtTheLimitsAndItsUndo(benchmark::State &state) {
    testing::TemporaryFolder temporary;
    std::unique_ptr<VeltoStore> store = benchStore(temporary);
    Date now = dateFromSecondsSince1970(1'770'000'000);
    for (auto _ : state) {
        std::optional<VeltoPageOperation> created = store->createNewPage(now);
        if (!created.has_value() || !store->apply(*created, VeltoPageOperationDirection::undo)) {
            state.SkipWithError("the new page could not be undone");
            break;
        }
    }
}
BENCHMARK(BM_NewPageAtTheLimitsAndItsUndo)->Unit(benchmark::kMillisecond);

void BM_SelectPage(benchmark::State &state) {
    testing::TemporaryFolder temporary;
    std::unique_ptr<VeltoStore> store = benchStore(temporary);
    for (auto _ : state) {
        std::vector<VeltoPage> navigation = activePagesInNavigationOrder(store->document());
        benchmark::DoNotOptimize(store->selectPageOperation(navigation[1].id));
    }
}
BENCHMARK(BM_SelectPage)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
