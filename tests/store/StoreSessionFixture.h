#pragma once

#include "StoreTestSupport.h"
#include "library/save/ProcessWriter.h"
#include "library/save/WriteTransaction.h"
#include "store/Store.h"
#include "support/ManualClock.h"
#include "support/PageFiles.h"
#include "support/StoreHarness.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// A store on a real Pages folder with the production library operations and a clock the test moves.

namespace velto::testing {

template <typename T> T awaitTask(QCoro::Task<T> task) {
    auto completion = observe(std::move(task));
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, std::chrono::seconds(20)));
    EXPECT_FALSE(completion->error) << completion->errorText();
    if (!completion->value.has_value()) {
        throw std::runtime_error("the task did not finish: " + completion->errorText());
    }
    return std::move(*completion->value);
}

inline void awaitTask(QCoro::Task<void> task) {
    auto completion = observe(std::move(task));
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, std::chrono::seconds(20)));
    EXPECT_FALSE(completion->error) << completion->errorText();
}

/// The error text of a task expected to fail.
template <typename T> std::string awaitFailure(QCoro::Task<T> task) {
    auto completion = observe(std::move(task));
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, std::chrono::seconds(20)));
    EXPECT_TRUE(completion->error) << "the task succeeded";
    return completion->errorText();
}

inline Date day(int dayNumber) {
    return dateFromSecondsSince1970(1'767'225'600 + static_cast<std::int64_t>(dayNumber) * 86'400); // 2026-01-01
}

struct DiskStore : StoreHarness {
    ManualClock clock{day(40)};
    VeltoStore::SaveOperation saveOperation; // empty: the production write
    int fullLoads = 0;                       // the store's full loads: the refreshes of the whole library

    /// Loads the folder as the application does and builds the store on it, then waits for the reload that
    /// the folder monitor's first rescan asks for: a test that begins while it is still due would see the
    /// library reloaded at an unknown point (a reload clears the conflict notice, for one).
    VeltoStore &open(std::int64_t pageCountLimit = maximumPageCount, std::int64_t pageBytesLimit = maximumPageBytes) {
        VeltoLibraryLoadResult loaded = awaitTask(productionLoadOperation(folder));
        VeltoStore::Environment environment;
        environment.clock = &clock;
        environment.saveOperation = saveOperation;
        environment.loadOperation = [this](std::filesystem::path folderURL) {
            fullLoads += 1;
            return productionLoadOperation(std::move(folderURL));
        };
        openStore(std::move(environment), loaded, pageCountLimit, pageBytesLimit);
        EXPECT_TRUE(processEventsUntil(
            [&] { return (fullLoads >= 1 || !store->isMonitoringFolder()) && !store->isRefreshingFromDisk(); },
            std::chrono::seconds(30)));
        return *store;
    }

    /// Waits for a refresh that a change of the folder may have started.
    void settle() {
        processEventsFor(std::chrono::milliseconds(30));
        EXPECT_TRUE(processEventsUntil([&] { return !store->isRefreshingFromDisk(); }, std::chrono::seconds(30)));
    }

    void flush() {
        awaitTask(store->flush());
        settle();
    }

    /// What a fresh load of the folder finds: the library as it is on disk.
    VeltoDocument reloadedFromDisk() const {
        VeltoLibraryLoadResult loaded = awaitTask(productionLoadOperation(folder));
        EXPECT_NE(loaded.asLoaded(), nullptr);
        return loaded.asLoaded() != nullptr ? loaded.asLoaded()->document : VeltoDocument{};
    }

    ~DiskStore() {
        store.reset();
        processEventsFor(std::chrono::milliseconds(50));
    }
};

/// The page of the document with that identifier; fails the test when there is none.
inline const VeltoPage &pageIn(const VeltoDocument &document, const Uuid &pageID) {
    if (document.currentPage.id == pageID) {
        return document.currentPage;
    }
    for (const VeltoPage &page : document.pages) {
        if (page.id == pageID) {
            return page;
        }
    }
    ADD_FAILURE() << "no page " << pageID.uppercaseText();
    static VeltoPage none;
    return none;
}

inline bool hasPage(const VeltoDocument &document, const Uuid &pageID) {
    if (document.currentPage.id == pageID) {
        return true;
    }
    for (const VeltoPage &page : document.pages) {
        if (page.id == pageID) {
            return true;
        }
    }
    return false;
}

} // namespace velto::testing

namespace velto::testing {

/// A store whose library calls the test answers: saves are recorded (and held on request), each page's
/// latest file is what `latestPages` says (no entry: no file), and a page in `unreadablePages` fails to read.
/// The folder does not exist, so no folder monitor runs.
struct MemoryStore : StoreHarness {
    ManualClock clock{day(40)};
    std::vector<VeltoSaveRequest> saves;
    bool holdSaves = false;
    std::vector<std::shared_ptr<Gate<VeltoSaveResult>>> heldSaves;
    std::function<VeltoSaveResult(const VeltoSaveRequest &)> saveResult; // empty: nothing to report
    std::map<Uuid, VeltoPage> latestPages;
    std::set<Uuid> unreadablePages;
    int latestPageReads = 0;
    /// What a reload of the library finds; empty: the production load of a folder that does not exist.
    std::function<VeltoLibraryLoadResult()> reloadResult;

    MemoryStore() { folder = temporary / "absent"; }

    VeltoStore::Environment environment() {
        VeltoStore::Environment environment;
        environment.clock = &clock;
        environment.saveOperation = [this](VeltoSaveRequest request,
                                           std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
            saves.push_back(request);
            if (holdSaves) {
                heldSaves.push_back(std::make_shared<Gate<VeltoSaveResult>>());
                return heldSaves.back()->wait();
            }
            VeltoSaveResult result = saveResult ? saveResult(request) : VeltoSaveResult{};
            return [](VeltoSaveResult value) -> QCoro::Task<VeltoSaveResult> { co_return value; }(result);
        };
        environment.loadOperation = [this](std::filesystem::path folderURL) -> QCoro::Task<VeltoLibraryLoadResult> {
            if (reloadResult) {
                co_return reloadResult();
            }
            QCoro::Task<VeltoLibraryLoadResult> loading = productionLoadOperation(std::move(folderURL));
            co_return co_await loading;
        };
        environment.latestPageLoadOperation = [this](VeltoPage page,
                                                     std::filesystem::path) -> QCoro::Task<std::optional<VeltoPage>> {
            latestPageReads += 1;
            std::optional<VeltoPage> latest;
            bool unreadable = unreadablePages.count(page.id) != 0;
            if (auto found = latestPages.find(page.id); found != latestPages.end()) {
                latest = found->second;
            }
            return [](std::optional<VeltoPage> value, bool fails) -> QCoro::Task<std::optional<VeltoPage>> {
                if (fails) {
                    throw std::runtime_error("The page file “page.md” could not be read. Permission denied");
                }
                co_return value;
            }(latest, unreadable);
        };
        return environment;
    }

    VeltoStore &open(const VeltoDocument &document, std::int64_t pageCountLimit = maximumPageCount,
                     std::int64_t pageBytesLimit = maximumPageBytes) {
        return open(VeltoLibraryLoadResult::loaded(document, std::nullopt), pageCountLimit, pageBytesLimit);
    }

    VeltoStore &open(const VeltoLibraryLoadResult &loadResult, std::int64_t pageCountLimit = maximumPageCount,
                     std::int64_t pageBytesLimit = maximumPageBytes) {
        return openStore(environment(), loadResult, pageCountLimit, pageBytesLimit);
    }

    ~MemoryStore() {
        store.reset();
        // Ends every waiting save; failing one starts the next, which holds a new gate.
        for (std::size_t index = 0; index < heldSaves.size(); ++index) {
            std::shared_ptr<Gate<VeltoSaveResult>> gate = heldSaves[index];
            if (gate->isWaiting()) {
                gate->fail(std::make_exception_ptr(std::runtime_error("the test ended")));
            }
        }
        processEventsFor(std::chrono::milliseconds(20));
    }
};

/// The page marked archived in its text at `date`, as another writer or the store would mark it.
inline VeltoPage archivedVersion(VeltoPage page, Date date) {
    VeltoPageFileContent *content = page.content.asLoaded();
    content->writeVeltoMetadata(page.id, true, std::nullopt);
    page.archivedAt = date;
    return page;
}

inline VeltoPage archivedSummaryPage(const std::string &preview, Date createdAt) {
    VeltoPage page = textPage("", createdAt);
    page.content = VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{preview, 100, true, "abc", "def"});
    return page;
}

inline VeltoPage unavailablePage(std::optional<bool> isArchived, Date createdAt) {
    VeltoPage page = textPage("", createdAt);
    page.content = VeltoPageContent::unavailable(VeltoUnavailablePageSummary{10, true, "abc", "def", isArchived});
    return page;
}

} // namespace velto::testing
