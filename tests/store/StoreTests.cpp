#include "StoreTestSupport.h"
#include "library/folder/LibraryFolder.h"
#include "library/save/PageFileWrites.h"
#include "model/PageIndex.h"
#include "model/ReloadError.h"
#include "store/ArchivePolicy.h"
#include "store/LibraryPool.h"
#include "store/PageLists.h"
#include "store/Store.h"
#include "support/ManualClock.h"
#include "support/StoreHarness.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::documentOf;
using testing::Gate;
using testing::ManualScheduler;
using testing::observe;
using testing::textPage;

/// Library operations that the test answers by hand, with a manual clock and scheduler, on a folder that
/// does not exist (so that no folder monitor runs).
struct GatedStore : testing::StoreHarness {
    testing::ManualClock clock;
    ManualScheduler scheduler;
    std::vector<VeltoSaveRequest> saves;
    std::vector<std::shared_ptr<Gate<VeltoSaveResult>>> saveGates;
    std::vector<std::optional<std::set<std::string>>> loads;           // nothing: a full load
    std::vector<std::shared_ptr<const VeltoDocument>> reusedDocuments; // of the loads of changed paths
    std::vector<std::shared_ptr<Gate<VeltoLibraryLoadResult>>> loadGates;
    std::map<Uuid, std::optional<VeltoPage>> latestPages;
    std::map<Uuid, std::shared_ptr<Gate<std::optional<VeltoPage>>>> heldPageReads; // reads the test finishes

    GatedStore() { folder = temporary / "absent"; }

    VeltoStore::Environment environment() {
        VeltoStore::Environment environment;
        environment.fileManager = &defaultFileSystem();
        environment.clock = &clock;
        environment.scheduler = &scheduler;
        environment.saveOperation = [this](const VeltoSaveRequest &request, std::filesystem::path) {
            saves.push_back(request);
            saveGates.push_back(std::make_shared<Gate<VeltoSaveResult>>());
            return saveGates.back()->wait();
        };
        environment.loadOperation = [this](std::filesystem::path) {
            loads.emplace_back(std::nullopt);
            loadGates.push_back(std::make_shared<Gate<VeltoLibraryLoadResult>>());
            return loadGates.back()->wait();
        };
        environment.incrementalLoadOperation =
            [this](std::filesystem::path, std::shared_ptr<const VeltoDocument> reusing, std::set<std::string> paths) {
                loads.emplace_back(std::move(paths));
                reusedDocuments.push_back(std::move(reusing));
                loadGates.push_back(std::make_shared<Gate<VeltoLibraryLoadResult>>());
                return loadGates.back()->wait();
            };
        environment.latestPageLoadOperation = [this](VeltoPage page,
                                                     std::filesystem::path) -> QCoro::Task<std::optional<VeltoPage>> {
            if (auto held = heldPageReads.find(page.id); held != heldPageReads.end()) {
                return held->second->wait();
            }
            return [](std::optional<VeltoPage> latest) -> QCoro::Task<std::optional<VeltoPage>> {
                co_return latest;
            }(latestPages.at(page.id));
        };
        return environment;
    }

    void build(const VeltoLibraryLoadResult &loadResult) { openStore(environment(), loadResult); }

    /// Finishes the running save as the library would: every changed page written as it is in the request.
    void succeedSave() {
        ASSERT_TRUE(saveGates.back()->isWaiting());
        const VeltoSaveRequest &request = saves.back();
        VeltoSaveResult result;
        for (const auto &[pageID, revision] : request.changedPageRevisions) {
            if (const VeltoPage *page = findIn(request.document, pageID)) {
                result.persistedPageBaselines[pageID] = VeltoPageBaseline::fromPage(*page);
            }
        }
        saveGates.back()->open(result);
    }
    void failSave(const std::string &message) {
        saveGates.back()->fail(std::make_exception_ptr(std::runtime_error(message)));
    }

    static const VeltoPage *findIn(const VeltoDocument &document, const Uuid &pageID) {
        if (document.currentPage.id == pageID) {
            return &document.currentPage;
        }
        for (const VeltoPage &page : document.pages) {
            if (page.id == pageID) {
                return &page;
            }
        }
        return nullptr;
    }

    ~GatedStore() {
        // Let nothing wait past the test: finish open saves and loads, then drop the store.
        while (!saveGates.empty() && saveGates.back()->isWaiting()) {
            succeedSave();
        }
        for (auto &gate : loadGates) {
            if (gate->isWaiting()) {
                gate->open(VeltoLibraryLoadResult::missing());
            }
        }
        for (auto &[pageID, gate] : heldPageReads) {
            if (gate->isWaiting()) {
                gate->open(std::nullopt);
            }
        }
        store.reset();
        testing::processEventsFor(10ms);
    }
};

TEST(Store, FailedLoadRequiresRecoveryAndKeepsEditsInMemoryOnly) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::corrupt, "The manifest is damaged."}));
    VeltoStore &store = *harness.store;
    ASSERT_NE(store.loadState().recoveryIssue(), nullptr);
    EXPECT_EQ(store.loadState().recoveryIssue()->kind, VeltoStoreRecoveryIssue::Kind::corrupt);
    EXPECT_TRUE(store.document().pages.empty());
    EXPECT_EQ(store.document().currentPage.visibleText(), "");

    store.setText("kept in memory", harness.clock.now());
    EXPECT_EQ(store.document().currentPage.visibleText(), "kept in memory");
    EXPECT_EQ(store.document().currentPage.updatedAt, harness.clock.now());
    auto flush = observe(store.flush());
    EXPECT_TRUE(flush->finished);
    EXPECT_FALSE(flush->error);
    EXPECT_TRUE(harness.saves.empty());
    EXPECT_TRUE(harness.loads.empty());
}

TEST(Store, LoadWithAStructureRepairSavesItAtOnce) {
    GatedStore harness;
    VeltoLibraryStructureRepair repair = VeltoLibraryStructureRepair::promotedExistingPageRepair();
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("a")), repair));
    ASSERT_EQ(harness.saves.size(), 1u);
    EXPECT_EQ(harness.saves[0].generation, 1u);
    EXPECT_TRUE(harness.saves[0].structureRevision.has_value());
}

TEST(Store, QuickEditsDuringASaveBecomeOneSaveOfTheNewestText) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start"))));
    VeltoStore &store = *harness.store;
    store.setText("first", harness.clock.now());
    store.setText("first s", harness.clock.now());
    store.setText("first se", harness.clock.now());
    store.setText("first sec", harness.clock.now());
    harness.succeedSave();
    harness.succeedSave();
    ASSERT_EQ(harness.saves.size(), 2u);
    EXPECT_EQ(harness.saves[1].generation, 4u);
    EXPECT_EQ(harness.saves[1].document.currentPage.visibleText(), "first sec");
    EXPECT_EQ(store.latestCompletedGeneration(), 4u);
    EXPECT_TRUE(store.mutations().changedPageRevisions.empty());
}

TEST(Store, FlushWaitsForTheSaveAndFailsWithItsError) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start"))));
    VeltoStore &store = *harness.store;
    store.setText("edited", harness.clock.now());
    auto flush = observe(store.flush());
    EXPECT_EQ(harness.saves.size(), 1u) << "an unchanged document is not scheduled again";
    EXPECT_FALSE(flush->finished);

    harness.failSave("The disk is full.");
    ASSERT_TRUE(flush->finished);
    EXPECT_EQ(flush->errorText(), "The disk is full.");
    EXPECT_EQ(store.lastSaveErrorDescription(), "The disk is full.");
    EXPECT_EQ(store.latestFailedGeneration(), 1u);
    EXPECT_FALSE(store.mutations().changedPageRevisions.empty()) << "the edit stays pending";

    store.setText("edited", harness.clock.now()); // unchanged text retries after a failure
    ASSERT_EQ(harness.saves.size(), 2u);
    auto retriedFlush = observe(store.flush());
    harness.succeedSave();
    EXPECT_TRUE(retriedFlush->finished);
    EXPECT_FALSE(retriedFlush->error);
    EXPECT_FALSE(store.lastSaveErrorDescription().has_value());
    EXPECT_FALSE(store.latestFailedGeneration().has_value());
}

// A page that a save left out (its file refused the text) stays pending alone: the flush fails with the sentence that
// names its file, the failure is told once, and the save is tried again after the delay, as a failed one is, until
// the page is written.
TEST(Store, APageASaveLeftOutStaysPendingAndIsSavedAgainByTheRetry) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start"))));
    VeltoStore &store = *harness.store;
    int failuresTold = 0;
    QObject::connect(&store, &VeltoStoreSignals::saveFailed, [&] { ++failuresTold; });
    const Uuid pageID = store.document().currentPage.id;
    store.setText("edited", harness.clock.now());
    auto flush = observe(store.flush());

    const std::string refused = "The page file “start.md” could not be saved: Permission denied.";
    VeltoSaveResult result;
    result.pagesNotSaved.push_back({pageID, "start.md", refused, VeltoPageNotSavedKind::fileRefuses});
    harness.saveGates.back()->open(result);

    ASSERT_TRUE(flush->finished);
    EXPECT_EQ(flush->errorText(), refused);
    EXPECT_EQ(store.lastSaveErrorDescription(), refused);
    EXPECT_TRUE(store.hasUnsavedChanges(pageID));
    EXPECT_EQ(failuresTold, 1);
    harness.scheduler.advance(VeltoStore::failedSaveRetryDelay);
    ASSERT_EQ(harness.saves.size(), 2u) << "the retry is due";
    EXPECT_TRUE(harness.saves[1].changedPageRevisions.contains(pageID));
    EXPECT_EQ(harness.saves[1].document.currentPage.visibleText(), "edited");

    harness.succeedSave();
    EXPECT_FALSE(store.lastSaveErrorDescription().has_value());
    EXPECT_FALSE(store.hasUnsavedChanges(pageID));
    EXPECT_EQ(failuresTold, 1);
}

// A folder change does not try a failed save again at once: the attempt changes the folder itself, which would
// report a change again, several times a second. It waits for the retry, as for a library another program holds;
// only a save that met another program's change is tried again by the refresh that takes that change in.
TEST(Store, FolderChangesWaitForTheRetryOfAFailedSaveUnlessItMetAChange) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start"))));
    VeltoStore &store = *harness.store;
    store.setText("edited", harness.clock.now());
    harness.failSave("The page file “big.md” could not be read. Input/output error");
    for (int change = 0; change < 3; ++change) {
        store.requestExternalRefresh(std::set<std::string>{"big.md"});
        harness.scheduler.advance(1s);
    }
    EXPECT_EQ(harness.saves.size(), 1u) << "a folder change tried the failed save again";
    EXPECT_TRUE(harness.loads.empty());
    EXPECT_EQ(store.lastSaveErrorDescription(), "The page file “big.md” could not be read. Input/output error");
    harness.scheduler.advance(VeltoStore::failedSaveRetryDelay - 3s);
    ASSERT_EQ(harness.saves.size(), 2u) << "the retry is due";

    harness.saveGates.back()->fail(
        std::make_exception_ptr(VeltoPageLibrary::PageFileChangedDuringSaveError(harness.folder / "big.md", true)));
    store.requestExternalRefresh(std::set<std::string>{"big.md"});
    EXPECT_EQ(harness.saves.size(), 3u) << "another program's change is taken in at once";
}

TEST(Store, PageMergedByTheWriteIsFoldedIntoEditsMadeMeanwhile) {
    GatedStore harness;
    VeltoPage page = textPage("alpha\nbeta\ngamma\n");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    store.setText("alpha\nbeta\ngamma\ndelta\n", harness.clock.now());
    VeltoPage saved = harness.saves[0].document.currentPage;
    store.setText("ALPHA\nbeta\ngamma\ndelta\n", harness.clock.now()); // edited while the write runs

    VeltoPage merged = saved;
    merged.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "alpha\nbeta\nGAMMA\ndelta\n", "\n"});
    VeltoSaveResult result;
    result.mergedPages[page.id] = merged;
    result.persistedPageBaselines[page.id] = VeltoPageBaseline::fromPage(merged);
    harness.saveGates[0]->open(result);

    EXPECT_EQ(store.document().currentPage.visibleText(), "ALPHA\nbeta\nGAMMA\ndelta\n");
    ASSERT_EQ(harness.saves.size(), 2u);
    EXPECT_EQ(harness.saves[1].document.currentPage.visibleText(), "ALPHA\nbeta\nGAMMA\ndelta\n");
}

TEST(Store, FlushSavesAgainExactlyWhenTheSaveOutcomeChangedTheDocument) {
    struct Case {
        const char *outcome;
        std::function<void(VeltoSaveResult &, const VeltoPage &saved)> shape;
        bool savesAgain;
    };
    const std::vector<Case> cases = {
        {"written as asked", [](VeltoSaveResult &, const VeltoPage &) {}, false},
        {"merged into the same text",
         [](VeltoSaveResult &result, const VeltoPage &saved) { result.mergedPages[saved.id] = saved; }, false},
        {"identifier replaced",
         [](VeltoSaveResult &result, const VeltoPage &saved) { result.pageIDReplacements[saved.id] = Uuid::random(); },
         false},
        {"merged with another writer's line",
         [](VeltoSaveResult &result, const VeltoPage &saved) {
             VeltoPage merged = saved;
             merged.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "mine\ntheirs\n", "\n"});
             result.mergedPages[saved.id] = merged;
         },
         true},
        {"kept a conflict copy",
         [](VeltoSaveResult &result, const VeltoPage &saved) {
             result.conflicts.push_back({saved.id, textPage("their text")});
         },
         true},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.outcome);
        GatedStore harness;
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start\n"))));
        VeltoStore &store = *harness.store;
        store.setText("mine\n", harness.clock.now());
        VeltoSaveResult result;
        testCase.shape(result, harness.saves[0].document.currentPage);
        harness.saveGates[0]->open(result);

        auto flush = observe(store.flush());
        if (!testCase.savesAgain) {
            EXPECT_EQ(harness.saves.size(), 1u);
            EXPECT_TRUE(flush->finished) << "the saved generation is already durable";
            continue;
        }
        ASSERT_EQ(harness.saves.size(), 2u);
        EXPECT_EQ(harness.saves[1].document, store.document());
        EXPECT_FALSE(flush->finished);
        harness.succeedSave();
        EXPECT_TRUE(flush->finished);
    }
}

TEST(Store, ConflictCopyIsAddedOnceAndIdentifierReplacementsReachTheTracker) {
    GatedStore harness;
    VeltoPage page = textPage("text");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    store.setText("new text", harness.clock.now());
    store.setText("newer text", harness.clock.now()); // pending while the first write runs

    Uuid replacement = Uuid::random();
    VeltoPage conflictCopy = textPage("their text");
    VeltoSaveResult result;
    result.pageIDReplacements[page.id] = replacement;
    result.conflicts = {{page.id, conflictCopy}, {page.id, conflictCopy}};
    harness.saveGates[0]->open(result);

    EXPECT_EQ(store.document().currentPage.id, replacement);
    ASSERT_EQ(store.document().pages.size(), 1u);
    EXPECT_EQ(store.document().pages[0].id, conflictCopy.id);
    EXPECT_EQ(store.mutations().changedPageRevisions.count(page.id), 0u);
    EXPECT_EQ(store.mutations().changedPageRevisions.count(replacement), 1u);
    EXPECT_EQ(store.pageBaselines().count(page.id), 0u);
}

TEST(Store, EditOfAPageHeldOnlyAsASummaryIsRefusedAndReported) {
    GatedStore harness;
    VeltoPage archived = textPage("");
    archived.content = VeltoPageContent::archivedSummary(
        VeltoArchivedPageSummary{"The opening line", 4096, true, std::string("abc"), std::string("def")});
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(archived)));
    VeltoStore &store = *harness.store;

    store.setText("The opening line, edited", harness.clock.now());

    EXPECT_TRUE(harness.saves.empty());
    EXPECT_EQ(store.document().currentPage, archived);
    EXPECT_TRUE(store.lastSaveErrorDescription().has_value());
    EXPECT_FALSE(store.currentPageFileURL().has_value());
}

// The editor hands over only what differs from the store's copy; the store must then behave exactly as if
// the whole text had been handed over.
/// A part of the current page's text replaced, by replaceText in place or by setText of the whole text.
struct PartReplacement {
    const char *name;
    bool summary; // the page is held only as a summary
    std::size_t location, length;
    std::string replacement;
};

/// What an edit leaves that the user or the next save can tell apart.
struct EditOutcome {
    std::optional<std::string> error;
    std::string text;
    std::optional<Date> updatedAt;
    std::size_t saves = 0;
    std::size_t changedPages = 0;
};

EditOutcome outcomeOfReplacing(const PartReplacement &part, bool inPlace) {
    GatedStore harness;
    VeltoPage page = textPage("start");
    if (part.summary) {
        page.content = VeltoPageContent::archivedSummary(
            VeltoArchivedPageSummary{"The opening line", 4096, true, std::string("abc"), std::string("def")});
    }
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    if (inPlace) {
        store.replaceText(part.location, part.length, part.replacement, harness.clock.now());
    } else {
        std::string whole(store.document().currentPage.visibleTextView());
        whole.replace(std::min(part.location, whole.size()), part.length, part.replacement);
        store.setText(whole, harness.clock.now());
    }
    return {store.lastSaveErrorDescription(), store.document().currentPage.visibleText(),
            store.document().currentPage.updatedAt, harness.saves.size(),
            store.mutations().changedPageRevisions.size()};
}

class ReplacingPartOfTheText : public ::testing::TestWithParam<PartReplacement> {};

TEST_P(ReplacingPartOfTheText, ActsAsSettingTheWholeText) {
    const EditOutcome inPlace = outcomeOfReplacing(GetParam(), true);
    const EditOutcome whole = outcomeOfReplacing(GetParam(), false);
    EXPECT_EQ(inPlace.text, whole.text);
    EXPECT_EQ(inPlace.updatedAt, whole.updatedAt);
    EXPECT_EQ(inPlace.changedPages, whole.changedPages);
    EXPECT_EQ(inPlace.saves, whole.saves);
    EXPECT_EQ(inPlace.error, whole.error);
}

INSTANTIATE_TEST_SUITE_P(Store, ReplacingPartOfTheText,
                         ::testing::Values(PartReplacement{"TypedInTheMiddle", false, 2, 0, "and "},
                                           PartReplacement{"ReplacedAtTheStart", false, 0, 5, "begin"},
                                           PartReplacement{"TheSameBytesAgain", false, 1, 3, "tar"},
                                           PartReplacement{"NothingAtAll", false, 5, 0, ""},
                                           PartReplacement{"PastTheEnd", false, 99, 7, "!"},
                                           PartReplacement{"APageHeldAsASummary", true, 0, 3, "Tho"}),
                         [](const ::testing::TestParamInfo<PartReplacement> &info) { return info.param.name; });

TEST(Store, TemporarilyUnavailableLibraryIsLoadedAgainAfterTenSeconds) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::failed(
        {VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable, "“a.md” is still downloading."}));
    VeltoStore &store = *harness.store;
    ASSERT_EQ(harness.loads.size(), 1u) << "the refresh starts at once";
    harness.loadGates[0]->open(VeltoLibraryLoadResult::failed(
        {VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable, "“a.md” is still downloading."}));
    EXPECT_EQ(store.lastSaveErrorDescription(),
              "Velto is waiting for a page file to become available. “a.md” is still downloading.");

    harness.scheduler.advance(9'999ms);
    EXPECT_EQ(harness.loads.size(), 1u);
    harness.scheduler.advance(1ms);
    ASSERT_EQ(harness.loads.size(), 2u);
    EXPECT_FALSE(harness.loads[1].has_value()) << "a full load";

    VeltoDocument arrived = documentOf(textPage("arrived"));
    harness.loadGates[1]->open(VeltoLibraryLoadResult::loaded(arrived));
    EXPECT_TRUE(store.loadState().isLoaded());
    EXPECT_EQ(store.document(), arrived);
    EXPECT_FALSE(store.lastSaveErrorDescription().has_value());
    EXPECT_FALSE(store.isRefreshingFromDisk());
}

TEST(Store, ReportsDuringARefreshAreLoadedTogetherInOneFollowUpPass) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("a"))));
    VeltoStore &store = *harness.store;
    store.requestExternalRefresh(std::set<std::string>{"one.md"});
    harness.succeedSave(); // every pass saves what the store holds before it loads
    ASSERT_EQ(harness.loads.size(), 1u);
    store.requestExternalRefresh(std::set<std::string>{"two.md"});
    store.requestExternalRefresh(std::set<std::string>{"three.md"});
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(store.document()));
    harness.succeedSave();
    ASSERT_EQ(harness.loads.size(), 2u);
    EXPECT_EQ(harness.loads[1], (std::set<std::string>{"three.md", "two.md"}));
    store.requestExternalRefresh(std::set<std::string>{"four.md"});
    store.requestExternalRefresh(std::nullopt); // a full rescan absorbs the paths
    harness.loadGates[1]->open(VeltoLibraryLoadResult::loaded(store.document()));
    harness.succeedSave();
    ASSERT_EQ(harness.loads.size(), 3u);
    EXPECT_FALSE(harness.loads[2].has_value());
}

TEST(Store, UnreadableReloadEndsTheRefreshWithItsMessageAndKeepsTheDocument) {
    GatedStore harness;
    VeltoDocument document = documentOf(textPage("a"));
    harness.build(VeltoLibraryLoadResult::loaded(document));
    VeltoStore &store = *harness.store;
    store.requestExternalRefresh(std::nullopt);
    harness.succeedSave();
    harness.loadGates[0]->open(VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::unreadable, "Denied."}));
    EXPECT_EQ(store.lastSaveErrorDescription(), "Velto couldn’t reload the page library. Denied.");
    EXPECT_EQ(store.document(), document);
    EXPECT_FALSE(store.isRefreshingFromDisk());
    harness.scheduler.advance(20s);
    EXPECT_EQ(harness.loads.size(), 1u);
}

TEST(Store, MissingLibraryOnReloadThrowsAndKeepsTheOpenDocument) {
    GatedStore harness;
    VeltoDocument document = documentOf(textPage("a"));
    harness.build(VeltoLibraryLoadResult::loaded(document));
    VeltoStore &store = *harness.store;
    auto reload = observe(store.reloadFromDisk(true, std::nullopt));
    harness.succeedSave();
    harness.loadGates[0]->open(VeltoLibraryLoadResult::missing());
    ASSERT_TRUE(reload->finished);
    EXPECT_EQ(reload->errorText(), "Velto couldn’t find its page library in the selected folder.");
    EXPECT_EQ(store.document(), document);
    EXPECT_TRUE(store.loadState().isLoaded());
}

TEST(Store, SuccessfulReloadClearsTheSaveErrorAndSavesItsRepair) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("a"))));
    VeltoStore &store = *harness.store;
    store.setText("b", harness.clock.now());
    harness.failSave("offline");
    auto reload = observe(store.reloadFromDisk(false, std::nullopt));
    harness.succeedSave(); // the flush retries the failed save first
    VeltoDocument repaired = documentOf(textPage("b"), {textPage("c")});
    harness.loadGates[0]->open(
        VeltoLibraryLoadResult::loaded(repaired, VeltoLibraryStructureRepair::promotedExistingPageRepair()));
    ASSERT_TRUE(reload->finished);
    EXPECT_FALSE(reload->error);
    EXPECT_FALSE(store.lastSaveErrorDescription().has_value());
    EXPECT_EQ(store.document(), repaired);
    ASSERT_EQ(harness.saves.size(), 3u) << "the repair is written back";
    EXPECT_TRUE(harness.saves[2].structureRevision.has_value());
}

TEST(Store, ReloadThatChangesTheArchivedPagesTellsTheShell) {
    GatedStore harness;
    VeltoPage active = textPage("active");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("current"), {active})));
    VeltoStore &store = *harness.store;
    int archiveChanges = 0;
    QObject::connect(&store, &VeltoStoreSignals::archiveStateChanged, [&] { archiveChanges += 1; });

    VeltoDocument sameArchive = store.document();
    store.requestExternalRefresh(std::nullopt);
    harness.succeedSave();
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(sameArchive));
    EXPECT_EQ(archiveChanges, 0);

    VeltoDocument archivedElsewhere = store.document();
    archivedElsewhere.pages[0].content =
        VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{"active", 6, true, std::nullopt, std::nullopt});
    store.requestExternalRefresh(std::nullopt);
    harness.succeedSave();
    harness.loadGates[1]->open(VeltoLibraryLoadResult::loaded(archivedElsewhere));
    EXPECT_EQ(archiveChanges, 1);
}

// A reload that brings the current page's text back as it was keeps the body the store held, whose version the
// editor goes by to hand over only what it edits next; one that brings another text takes that text. Either way
// the page lies in memory once, in the text read, which its baseline holds.
TEST(Store, ReloadKeepsTheHeldBodyOnlyWhenItBringsTheSameText) {
    struct Case {
        const char *name;
        const char *onDisk;
        bool keepsHeldBody;
    };
    for (const Case &testCase :
         {Case{"the same text", "current\n", true}, Case{"another text", "elsewhere\n", false}}) {
        SCOPED_TRACE(testCase.name);
        GatedStore harness;
        VeltoPage page = textPage("current\n");
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
        VeltoStore &store = *harness.store;
        const std::uint64_t heldVersion = store.document().currentPage.content.asLoaded()->body.version();
        VeltoDocument onDisk = documentOf(page);
        onDisk.currentPage.content = VeltoPageContent::loaded(
            VeltoPageFileContent::parseKeeping(std::make_shared<const std::string>(testCase.onDisk)));
        store.requestExternalRefresh(std::nullopt);
        harness.succeedSave();
        harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(onDisk));
        const CopyOnWriteText &body = store.document().currentPage.content.asLoaded()->body;
        EXPECT_EQ(body, testCase.onDisk);
        EXPECT_EQ(body.version() == heldVersion, testCase.keepsHeldBody);
        EXPECT_EQ(body.fileText()->data(), store.pageBaselines().at(page.id).fileContents->text().data());
    }
}

// A reload pairs every loaded page with the held page of its identifier, twice (for its baseline and for the
// edits it displaces): a walk over the library for each page would look at millions of pages here.
TEST(Store, ReloadLooksUpPagesInProportionToTheLibraryNotItsSquare) {
    constexpr std::size_t pageCount = 3'000;
    std::vector<VeltoPage> others;
    for (std::size_t k = 0; k < pageCount; ++k) {
        others.push_back(textPage("page " + std::to_string(k) + "\n"));
    }
    GatedStore harness;
    harness.openStore(harness.environment(), VeltoLibraryLoadResult::loaded(documentOf(textPage("current"), others)),
                      static_cast<std::int64_t>(pageCount) + 1);
    VeltoStore &store = *harness.store;
    VeltoDocument onDisk = store.document();
    onDisk.pages.back() = textPage("changed by another program\n");
    onDisk.pages.back().id = others.back().id;

    store.requestExternalRefresh(std::nullopt);
    harness.succeedSave();
    const std::size_t visitedBefore = pagesVisitedByLookups();
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(onDisk));
    const std::size_t visited = pagesVisitedByLookups() - visitedBefore;

    EXPECT_EQ(store.document(), onDisk);
    EXPECT_LE(visited, 10 * pageCount) << "pages looked at by the reload's lookups";
}

/// A load's result with the copy of its document that a load off the main thread makes for the store.
VeltoLibraryLoadResult loadedWithCopy(const VeltoDocument &document,
                                      std::optional<VeltoLibraryStructureRepair> repair = std::nullopt) {
    VeltoLibraryLoadResult result = VeltoLibraryLoadResult::loaded(document, repair);
    result.asLoaded()->sharedCopy = std::make_shared<const VeltoDocument>(document);
    if (repair.has_value()) {
        result.asLoaded()->copyToSave = document;
    }
    return result;
}

// A refresh after one changed file must not copy, save or look over the whole library on the main thread: over a
// document as the library holds it (its metadata there), the flush before the load makes no save, and the load
// reuses the copy the last load made; an edit makes both owed again, and the repair's save takes the load's copy.
TEST(Store, RefreshOverTheDocumentAsLoadedSavesNothingAndReusesTheLoadsCopy) {
    GatedStore harness;
    VeltoLibraryLoadResult launch = loadedWithCopy(documentOf(textPage("a"), {textPage("b")}));
    const std::shared_ptr<const VeltoDocument> launchCopy = launch.asLoaded()->sharedCopy;
    harness.build(launch);
    VeltoStore &store = *harness.store;
    // The library's metadata, made once the store watches no folder: a save would otherwise write it anew.
    std::filesystem::create_directories(VeltoPageLibrary::manifestURL(harness.folder).parent_path());
    std::ofstream(VeltoPageLibrary::manifestURL(harness.folder)) << "{}";

    store.requestExternalRefresh(std::set<std::string>{"b.md"});
    EXPECT_TRUE(harness.saves.empty()) << "nothing to save before the load";
    ASSERT_EQ(harness.reusedDocuments.size(), 1u);
    EXPECT_EQ(harness.reusedDocuments[0], launchCopy);

    VeltoDocument changed = store.document();
    changed.pages[0] = textPage("b changed elsewhere");
    changed.pages[0].id = store.document().pages[0].id;
    VeltoLibraryStructureRepair repair;
    repair.externallyChangedPageIDs = {changed.pages[0].id};
    VeltoLibraryLoadResult repaired = loadedWithCopy(changed, repair);
    const std::weak_ptr<const VeltoDocument> repairedCopy = repaired.asLoaded()->sharedCopy;
    harness.loadGates[0]->open(std::move(repaired));
    ASSERT_EQ(harness.saves.size(), 1u) << "the repair is saved";
    EXPECT_EQ(harness.saves[0].document, changed);
    harness.succeedSave();
    EXPECT_FALSE(repairedCopy.expired()) << "kept while it is the document";

    store.setText("typed", harness.clock.now());
    harness.succeedSave();
    libraryThreadPool().waitForDone();
    EXPECT_TRUE(repairedCopy.expired()) << "a stale copy is not held until the next load";
    store.requestExternalRefresh(std::set<std::string>{"b.md"});
    ASSERT_EQ(harness.reusedDocuments.size(), 2u);
    EXPECT_EQ(*harness.reusedDocuments[1], store.document()) << "a copy with the edit, not the load's";
    EXPECT_EQ(harness.reusedDocuments[1]->currentPage.visibleText(), "typed");
    EXPECT_EQ(harness.saves.size(), 2u);
}

TEST(Store, TypingDuringAReloadSavesAgainAndLoadsAgainWithoutLosingTheText) {
    GatedStore harness;
    VeltoPage page = textPage("on disk");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    auto reload = observe(store.reloadFromDisk(false, std::nullopt));
    harness.succeedSave(); // the flush before loading
    ASSERT_EQ(harness.loads.size(), 1u);

    store.setText("typed during the load", harness.clock.now());
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(documentOf(page))); // older than the edit
    EXPECT_EQ(store.document().currentPage.visibleText(), "typed during the load");

    harness.succeedSave(); // the edit is saved before loading again
    ASSERT_EQ(harness.loads.size(), 2u);
    VeltoPage saved = store.document().currentPage;
    harness.loadGates[1]->open(VeltoLibraryLoadResult::loaded(documentOf(saved)));
    EXPECT_TRUE(reload->finished);
    EXPECT_EQ(store.document().currentPage.visibleText(), "typed during the load");
}

TEST(Store, RefreshOfAPageWithUnsavedEditsMergesTheFileInsteadOfReplacingThem) {
    GatedStore harness;
    VeltoPage page = textPage("alpha\nbeta\ngamma\n");
    VeltoPage other = textPage("other");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page, {other})));
    VeltoStore &store = *harness.store;
    store.setText("alpha\nbeta\ngamma\nmine\n", harness.clock.now());
    harness.failSave("offline"); // the edit stays unsaved

    VeltoPage onDisk = page;
    onDisk.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "ALPHA\nbeta\ngamma\n", "\n"});
    harness.latestPages[page.id] = onDisk;
    VeltoPage otherOnDisk = other;
    otherOnDisk.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "theirs", "\n"});
    harness.latestPages[other.id] = otherOnDisk;

    auto refreshed = observe(store.refreshPagesFromDisk({page.id, other.id, Uuid::random()}));
    ASSERT_TRUE(refreshed->finished);
    EXPECT_EQ(*refreshed->value, (std::set<Uuid>{page.id, other.id}));
    EXPECT_EQ(store.document().currentPage.visibleText(), "ALPHA\nbeta\ngamma\nmine\n");
    EXPECT_EQ(store.document().pages[0].visibleText(), "theirs") << "a page without edits takes the file";
    EXPECT_EQ(store.pageBaselines().at(page.id), VeltoPageBaseline::fromPage(onDisk));
}

TEST(Store, RefreshOfAPageWhoseFileConflictsWithUnsavedEditsKeepsTheEdits) {
    GatedStore harness;
    VeltoPage page = textPage("line\n");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    store.setText("mine\n", harness.clock.now());
    harness.failSave("offline");

    VeltoPage onDisk = page;
    onDisk.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "theirs\n", "\n"});
    harness.latestPages[page.id] = onDisk;
    auto refreshed = observe(store.refreshPagesFromDisk({page.id}));
    ASSERT_TRUE(refreshed->finished);
    EXPECT_EQ(store.document().currentPage.visibleText(), "mine\n");
    EXPECT_EQ(store.pageBaselines().at(page.id), VeltoPageBaseline::fromPage(page))
        << "the baseline stays, so that the next save finds the file changed and keeps both versions";
}

TEST(Store, EditMadeWhileAReloadFlushWaitsIsSavedBeforeTheLibraryIsLoaded) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("start"))));
    VeltoStore &store = *harness.store;
    store.setText("first", harness.clock.now());
    auto reload = observe(store.reloadFromDisk(false, std::nullopt));
    store.setText("second", harness.clock.now()); // waits behind the running save of "first"

    harness.succeedSave();
    EXPECT_TRUE(harness.loads.empty()) << "loading now would bring back \"first\" over the unsaved \"second\"";
    ASSERT_EQ(harness.saves.size(), 2u);
    EXPECT_EQ(harness.saves[1].document.currentPage.visibleText(), "second");
    harness.succeedSave();
    ASSERT_EQ(harness.loads.size(), 1u);
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(harness.saves[1].document));
    ASSERT_TRUE(reload->finished);
    EXPECT_FALSE(reload->error);
    EXPECT_EQ(store.document().currentPage.visibleText(), "second");
    EXPECT_EQ(store.pageBaselines().at(store.document().currentPage.id),
              VeltoPageBaseline::fromPage(harness.saves[1].document.currentPage));
}

TEST(Store, EditsHeldWhileTheLibraryCouldNotBeReadSurviveTheReloadThatEndsIt) {
    struct Case {
        const char *road;
        VeltoStoreRecoveryIssue::Kind issue;
        std::function<void(GatedStore &)> reload; // ends with the loaded library's gate open to answer
    };
    const std::vector<Case> cases = {
        {"Try Again after a damaged load", VeltoStoreRecoveryIssue::Kind::corrupt,
         [](GatedStore &harness) { observe(harness.store->reloadFromDisk(true, std::nullopt)); }},
        {"the retry of a library still downloading", VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable,
         [](GatedStore &harness) {
             harness.loadGates[0]->open(
                 VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable, "later"}));
             harness.scheduler.advance(VeltoStore::unavailableRetryDelay);
         }},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.road);
        GatedStore harness;
        harness.build(VeltoLibraryLoadResult::failed({testCase.issue, "not now"}));
        VeltoStore &store = *harness.store;
        Uuid typedPageID = store.document().currentPage.id;
        store.setText("typed while waiting", harness.clock.now());
        testCase.reload(harness);

        VeltoPage onDisk = textPage("on disk");
        harness.loadGates.back()->open(VeltoLibraryLoadResult::loaded(documentOf(onDisk)));
        EXPECT_TRUE(store.loadState().isLoaded());
        EXPECT_EQ(store.document().currentPage.id, typedPageID);
        EXPECT_EQ(store.document().currentPage.visibleText(), "typed while waiting");
        ASSERT_EQ(store.document().pages.size(), 1u);
        EXPECT_EQ(store.document().pages[0], onDisk);
        ASSERT_EQ(harness.saves.size(), 1u) << "the kept text is saved into the library now readable";
        EXPECT_EQ(harness.saves[0].changedPageRevisions.count(typedPageID), 1u);
        EXPECT_TRUE(harness.saves[0].structureRevision.has_value());
    }
}

TEST(Store, PageReadThatASaveOfThePageOvertookIsNotTaken) {
    GatedStore harness;
    VeltoPage page = textPage("old text");
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    store.setText("new text", harness.clock.now());
    harness.heldPageReads[page.id] = std::make_shared<Gate<std::optional<VeltoPage>>>();
    auto refreshed = observe(store.refreshPagesFromDisk({page.id}));

    harness.succeedSave();                      // "new text" is written after the read began
    harness.heldPageReads[page.id]->open(page); // the read found the file as it was before that write
    ASSERT_TRUE(refreshed->finished);
    EXPECT_EQ(store.document().currentPage.visibleText(), "new text");
    EXPECT_TRUE(refreshed->value->empty());
    EXPECT_EQ(store.pageBaselines().at(page.id).fileContents, "new text");
}

TEST(Store, ABaselineHoldsThePagesTextInLittleMoreMemoryThanTheText) {
    GatedStore harness;
    std::string text(200'000, 'a');
    VeltoPage page = textPage(text);
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    // A text that grows by a character, then by many, then shrinks: each save's baseline replaces the last.
    for (const std::size_t newLength : {200'001u, 260'000u, 100'000u}) {
        text.resize(newLength, 'b');
        store.setText(text, harness.clock.now());
        harness.succeedSave();
        const std::optional<SharedText> &held = store.pageBaselines().at(page.id).fileContents;
        ASSERT_TRUE(held.has_value());
        EXPECT_LE(held->capacity(), held->size() + held->size() / 4) << newLength;
    }
}

TEST(Store, APageTextGrownByTypingHoldsLittleMoreMemoryThanTheText) {
    GatedStore harness;
    const std::string text(200'000, 'a');
    VeltoPage page = textPage(text);
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    std::string expected = text;
    // Typed a character at a time in the middle, then a pasted block: each outgrows the text's room.
    for (int typed = 0; typed < 3'000; ++typed) {
        const std::string_view added = typed == 2'000 ? std::string_view("pasted block\n") : std::string_view("x");
        store.replaceText(100'000, 0, added, harness.clock.now());
        expected.insert(100'000, added);
    }
    const CopyOnWriteText &body = store.document().currentPage.content.asLoaded()->body;
    EXPECT_EQ(body, expected);
    EXPECT_LE(body.capacity(), body.size() + body.size() / 4);
}

// A pause in typing on a big page makes a save request: its baseline must not be a copy of the page.
TEST(Store, ASaveRequestSharesTheHeldBaselinesTextInsteadOfCopyingIt) {
    GatedStore harness;
    VeltoPage page = textPage(std::string(200'000, 'a'));
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
    VeltoStore &store = *harness.store;
    store.setText(std::string(200'001, 'a'), harness.clock.now());
    harness.succeedSave();
    store.setText(std::string(200'002, 'a'), harness.clock.now());
    ASSERT_EQ(harness.saves.size(), 2u);
    const std::optional<SharedText> &held = store.pageBaselines().at(page.id).fileContents;
    const std::optional<SharedText> &expected = harness.saves.back().expectedPageBaselines.at(page.id).fileContents;
    ASSERT_TRUE(held.has_value() && expected.has_value());
    EXPECT_EQ(held->text().data(), expected->text().data());
}

/// One edit typed into a page's body, named for the failure message.
struct Typing {
    const char *name;
    std::size_t location, length;
    std::string replacement;
};

// A save request shares the page's text with the store instead of copying it, and the save reads it on
// another thread: typing on while that save runs must change the store's text only, never the save's.
TEST(Store, ASaveRequestSharesThePagesTextAndKeepsItWhileTypingGoesOn) {
    // Each fits the room the first typed word left, where the store changes its text in place.
    const Typing typings[] = {
        {"a character typed", 3, 0, "x"}, {"a character deleted", 3, 1, ""}, {"characters overtyped", 0, 3, "abc"}};
    for (const Typing &typing : typings) {
        GatedStore harness;
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage(std::string(40, 'a')))));
        VeltoStore &store = *harness.store;
        store.replaceText(0, 0, "typed ", harness.clock.now());
        ASSERT_EQ(harness.saves.size(), 1u);
        const CopyOnWriteText savedText = harness.saves[0].document.currentPage.content.asLoaded()->body;
        const std::string savedCopy(savedText.text());
        EXPECT_TRUE(savedText.sharesTextWith(store.document().currentPage.content.asLoaded()->body)) << typing.name;

        store.replaceText(typing.location, typing.length, typing.replacement, harness.clock.now());
        EXPECT_EQ(savedText, savedCopy) << typing.name;
        std::string expected = savedCopy;
        EXPECT_EQ(store.document().currentPage.visibleText(),
                  expected.replace(typing.location, typing.length, typing.replacement))
            << typing.name;
    }
}

// A page read from its file lies in memory once: its baseline is the file's text and its body the end of it.
// Typing must give the body a text of its own and leave the baseline what is on disk, which the save expects.
TEST(Store, TypingIntoAPageReadFromItsFileLeavesItsBaselineTheFilesText) {
    const Typing typings[] = {{"a character typed", 3, 0, "x"},
                              {"a character deleted", 3, 1, ""},
                              {"the whole body overtyped", 0, 40, "new"}};
    const std::string bodyText(40, 'a');
    const std::string fileText = "---\ntitle: t\n---\n" + bodyText;
    for (const Typing &typing : typings) {
        GatedStore harness;
        VeltoPage page = textPage("");
        page.content =
            VeltoPageContent::loaded(VeltoPageFileContent::parseKeeping(std::make_shared<const std::string>(fileText)));
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(page)));
        VeltoStore &store = *harness.store;
        const CopyOnWriteText &body = store.document().currentPage.content.asLoaded()->body;
        ASSERT_EQ(body.fileText()->data(), store.pageBaselines().at(page.id).fileContents->text().data())
            << typing.name;

        store.replaceText(typing.location, typing.length, typing.replacement, harness.clock.now());
        std::string expected = bodyText;
        EXPECT_EQ(store.document().currentPage.visibleText(),
                  expected.replace(typing.location, typing.length, typing.replacement))
            << typing.name;
        EXPECT_EQ(store.pageBaselines().at(page.id).fileContents, fileText) << typing.name;
        ASSERT_EQ(harness.saves.size(), 1u) << typing.name;
        EXPECT_EQ(harness.saves[0].expectedPageBaselines.at(page.id).fileContents, fileText) << typing.name;
    }
}

TEST(Store, ReloadTakesTheEditorsPendingTextFirstAndLoadsAgainWhenThereWasSome) {
    GatedStore harness;
    harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("on disk"))));
    VeltoStore &store = *harness.store;
    // An editor that holds typed text and hands it over whenever the store asks.
    struct Editor final : VeltoPendingTextSource {
        VeltoStore &store;
        Date now;
        std::string text = "typed, not handed over yet";
        int handOvers = 0;
        Editor(VeltoStore &store, Date now)
            : store(store)
            , now(now) {}
        void handOverPendingText() override {
            handOvers += 1;
            store.setText(text, now);
        }
    } editor(store, harness.clock.now());
    store.registerPendingTextSource(editor);
    int &handOvers = editor.handOvers;
    const std::string &editorText = editor.text;
    auto reload = observe(store.reloadFromDisk(false, std::nullopt));
    harness.succeedSave();
    harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(documentOf(textPage("on disk"))));
    EXPECT_EQ(handOvers, 1);
    EXPECT_EQ(store.document().currentPage.visibleText(), editorText);
    EXPECT_FALSE(reload->finished) << "the handed-over text is saved, then the library loaded again";

    harness.succeedSave();
    ASSERT_EQ(harness.loads.size(), 2u);
    harness.loadGates[1]->open(VeltoLibraryLoadResult::loaded(harness.saves.back().document));
    EXPECT_TRUE(reload->finished);
    EXPECT_EQ(handOvers, 2);
    EXPECT_EQ(store.document().currentPage.visibleText(), editorText);
}

TEST(Store, OnlyTheRegisteredEditorIsAskedForItsPendingText) {
    struct CountingEditor final : VeltoPendingTextSource {
        int asked = 0;
        void handOverPendingText() override { asked += 1; }
    };
    struct Case {
        const char *name;
        bool editorUnregisters;
        bool otherUnregisters;
        int expectedAsks;
    };
    for (const Case &c : {Case{"registered", false, false, 1}, Case{"unregistered itself", true, false, 0},
                          Case{"another source unregistered", false, true, 1}}) {
        GatedStore harness;
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("on disk"))));
        CountingEditor editor, other;
        harness.store->registerPendingTextSource(editor);
        if (c.editorUnregisters) {
            harness.store->unregisterPendingTextSource(editor); // an editor that went is never asked again
        }
        if (c.otherUnregisters) {
            harness.store->unregisterPendingTextSource(other);
        }
        auto reload = observe(harness.store->reloadFromDisk(false, std::nullopt));
        if (!harness.saveGates.empty() && harness.saveGates.back()->isWaiting()) {
            harness.succeedSave(); // the flush before every reload
        }
        ASSERT_EQ(harness.loadGates.size(), 1u) << c.name;
        harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(documentOf(textPage("on disk"))));
        EXPECT_TRUE(reload->finished) << c.name;
        EXPECT_EQ(editor.asked, c.expectedAsks) << c.name;
        EXPECT_EQ(other.asked, 0) << c.name;
    }
}

TEST(Store, ChangesOfTheCurrentPageOutsideTheEditorAreAnnouncedOnce) {
    using Change = VeltoStore::CurrentPageChange;
    struct Announcement {
        Uuid pageID;
        Change change;
        bool operator==(const Announcement &) const = default;
    };
    struct Case {
        const char *road;
        std::function<std::vector<Announcement>(GatedStore &)> act; // answers what must be announced
    };
    const std::vector<Case> cases = {
        {"typing",
         [](GatedStore &harness) {
             harness.store->setText("typed", harness.clock.now());
             return std::vector<Announcement>{};
         }},
        {"a reload with another text of the page",
         [](GatedStore &harness) {
             VeltoDocument changed = harness.store->document();
             changed.currentPage.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "theirs", "\n"});
             observe(harness.store->reloadFromDisk(false, std::nullopt));
             harness.succeedSave();
             harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(changed));
             return std::vector<Announcement>{{changed.currentPage.id, Change::text}};
         }},
        {"a reload with another current page",
         [](GatedStore &harness) {
             VeltoDocument switched =
                 documentOf(harness.store->document().pages[0], {harness.store->document().currentPage});
             observe(harness.store->reloadFromDisk(false, std::nullopt));
             harness.succeedSave();
             harness.loadGates[0]->open(VeltoLibraryLoadResult::loaded(switched));
             return std::vector<Announcement>{{switched.currentPage.id, Change::page}};
         }},
        {"a save that merged another writer's line",
         [](GatedStore &harness) {
             harness.store->setText("mine\n", harness.clock.now());
             VeltoPage merged = harness.saves[0].document.currentPage;
             merged.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, "mine\ntheirs\n", "\n"});
             VeltoSaveResult result;
             result.mergedPages[merged.id] = merged;
             harness.saveGates[0]->open(result);
             return std::vector<Announcement>{{merged.id, Change::text}};
         }},
        {"selecting another page",
         [](GatedStore &harness) {
             Uuid other = harness.store->document().pages[0].id;
             harness.store->selectPageOperation(other);
             return std::vector<Announcement>{{other, Change::page}};
         }},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.road);
        GatedStore harness;
        harness.build(VeltoLibraryLoadResult::loaded(documentOf(textPage("current\n"), {textPage("other\n")})));
        std::vector<Announcement> announced;
        QObject::connect(harness.store.get(), &VeltoStore::currentPageChangedOutsideEditor,
                         [&announced](Uuid pageID, Change change) {
                             announced.push_back({pageID, change});
                         });
        std::vector<Announcement> expected = testCase.act(harness);
        EXPECT_EQ(announced, expected);
    }
}

TEST(Store, ActivityOrderRanksLaterActivityThenLaterCreationThenIdentifier) {
    Date early = dateFromSecondsSince1970(1'000);
    Date late = dateFromSecondsSince1970(2'000);
    VeltoPage a = textPage("a", early);
    VeltoPage b = textPage("b", early);
    b.updatedAt = late;
    EXPECT_TRUE(activityPrecedes(b, a));
    EXPECT_FALSE(activityPrecedes(a, b));
    VeltoPage c = textPage("c", late);
    VeltoPage d = textPage("d", early);
    d.updatedAt = late;
    EXPECT_TRUE(activityPrecedes(c, d)) << "same activity: later creation first";
    VeltoPage e = textPage("e", early);
    VeltoPage f = textPage("f", early);
    EXPECT_EQ(activityPrecedes(e, f), e.id.uppercaseText() < f.id.uppercaseText());
    EXPECT_FALSE(activityPrecedes(e, e));
}

TEST(Store, PagesOfOneSecondComeInTheOrderOfTheirIdentifiersWhateverTheirNames) {
    // Files a shell wrote in one second: their dates are equal, their names tell nothing of their order.
    std::vector<VeltoPage> pages;
    for (std::string name : {"22.md", "B.md", "21.md", "calm-cove", "9.md", "a.md", "23.md", "010.md"}) {
        VeltoPage page = textPage(name);
        if (name.ends_with(".md")) {
            page.relativeFilePath = name;
        }
        pages.push_back(page);
    }
    std::vector<std::string> expected;
    std::vector<VeltoPage> byIdentifier = pages;
    std::sort(byIdentifier.begin(), byIdentifier.end(),
              [](const VeltoPage &a, const VeltoPage &b) { return a.id.uppercaseText() < b.id.uppercaseText(); });
    for (const VeltoPage &page : byIdentifier) {
        expected.push_back(page.id.uppercaseText());
    }
    std::stable_sort(pages.begin(), pages.end(), activityPrecedes);
    std::vector<std::string> order;
    for (const VeltoPage &page : pages) {
        order.push_back(page.id.uppercaseText());
    }
    EXPECT_EQ(order, expected);
}

TEST(Store, ActiveLimitArchivesTheSameSecondPageWhoseIdentifierTextIsLarger) {
    // Two other pages of one second where only one may stay: the names would keep "1.md", the identifiers "2.md".
    VeltoDocument document;
    document.currentPage = textPage("current");
    VeltoPage first = textPage("first");
    VeltoPage second = textPage("second");
    first.id = *Uuid::parse("BBBBBBBB-0000-4000-8000-000000000000");
    first.relativeFilePath = "1.md";
    second.id = *Uuid::parse("AAAAAAAA-0000-4000-8000-000000000000");
    second.relativeFilePath = "2.md";
    document.pages = {first, second};
    VeltoArchivePolicy policy(1, 1'000'000);
    EXPECT_EQ(policy.pagesBeyondActiveLimits(document), std::set<Uuid>{first.id});
}

} // namespace
} // namespace velto
