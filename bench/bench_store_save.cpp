// Edit to durable save through the store, with a 100-page library on disk. Wall time is the time from
// an edit until its save is durable; CPU time is the main thread's own share (the write runs on the
// library pool), which must stay well under a millisecond per edit.
#include "store/Store.h"
#include "support/TemporaryFolder.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDeadlineTimer>
#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <stdexcept>

namespace {

using namespace velto;

constexpr int pageCount = 100;

/// About `kilobytes` of Markdown: a heading and list lines of about 50 bytes each.
std::string pageText(int index, int revision, int kilobytes) {
    std::string text = "# Page " + std::to_string(index) + "\n\n";
    for (int line = 0; line < kilobytes * 20; ++line) {
        text += "- item " + std::to_string(line) + " of a list that fills the page\n";
    }
    text += "revision " + std::to_string(revision) + "\n";
    return text;
}

VeltoDocument hundredPages(int kilobytesPerPage) {
    VeltoDocument document;
    Date created = dateFromSecondsSince1970(1'760'000'000);
    for (int index = 0; index < pageCount; ++index) {
        VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = created;
        page.fileSlug = "bench-page";
        page.updatedAt = created;
        page.content =
            VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, pageText(index, 0, kilobytesPerPage), "\n"});
        if (index == 0) {
            document.currentPage = page;
        } else {
            document.pages.push_back(page);
        }
    }
    return document;
}

/// Runs the event loop until the task ends (sleeping while nothing happens); rethrows its error.
void awaitFlush(QCoro::Task<void> task) {
    QEventLoop loop;
    bool finished = false;
    std::exception_ptr error;
    [](QCoro::Task<void> awaited, bool &done, std::exception_ptr &failure, QEventLoop &waiting) -> QCoro::Task<void> {
        try {
            co_await awaited;
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
        waiting.quit();
    }(std::move(task), finished, error, loop);
    if (!finished) {
        loop.exec();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

/// A store on a fresh folder whose 100 pages are all on disk, with its folder monitor's first rescan over.
std::unique_ptr<VeltoStore> storeWithHundredSavedPages(const testing::TemporaryFolder &folder, int kilobytesPerPage) {
    VeltoDocument document = hundredPages(kilobytesPerPage);
    VeltoLibraryStructureRepair everyPageNew;
    everyPageNew.externallyChangedPageIDs.insert(document.currentPage.id);
    for (const VeltoPage &page : document.pages) {
        everyPageNew.externallyChangedPageIDs.insert(page.id);
    }
    auto store = std::make_unique<VeltoStore>(folder / "Pages", 100, 5'242'880, VeltoStore::Environment{},
                                              VeltoLibraryLoadResult::loaded(document, everyPageNew));
    awaitFlush(store->flush());
    QTimer wake;
    wake.start(20);
    QDeadlineTimer settle(1'000);
    while (!settle.hasExpired() || store->isRefreshingFromDisk()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return store;
}

void BM_EditToDurableSave(benchmark::State &state) {
    testing::TemporaryFolder folder;
    std::unique_ptr<VeltoStore> store = storeWithHundredSavedPages(folder, static_cast<int>(state.range(0)));
    int revision = 1;
    for (auto _ : state) {
        store->setText(pageText(0, revision++, static_cast<int>(state.range(0))), systemClock().now());
        awaitFlush(store->flush());
    }
    state.counters["pages"] = static_cast<double>(store->document().pages.size() + 1);
}
// 2 KB pages, and pages that fill the 5,242,880 bytes of active text.
BENCHMARK(BM_EditToDurableSave)->Arg(2)->Arg(51)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_MainThreadTimePerEdit(benchmark::State &state) {
    testing::TemporaryFolder folder;
    std::unique_ptr<VeltoStore> store = storeWithHundredSavedPages(folder, static_cast<int>(state.range(0)));
    int revision = 1;
    for (auto _ : state) {
        // The edit as the editor makes it; the write it starts runs on the library pool meanwhile.
        store->setText(pageText(0, revision++, static_cast<int>(state.range(0))), systemClock().now());
        state.PauseTiming();
        awaitFlush(store->flush());
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MainThreadTimePerEdit)->Arg(2)->Arg(51)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
