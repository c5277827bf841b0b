// The roads of the full load, each on a real folder: empty, plain Markdown, damaged, unreadable and newer
// metadata, page files deleted, moved, copied and edited by other programs, archived pages.

#include "library/folder/IOObservation.h"
#include "library/folder/LibraryFolder.h"
#include "library/load/FullLoad.h"
#include "library/metadata/MissingFileObservations.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "model/MissingFileObservation.h"
#include "platform/Text.h"
#include "support/FailingFileSystem.h"
#include "support/ManualClock.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <memory>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace VeltoPageLibrary;
using velto::VeltoStoreRecoveryIssue;
using velto::testing::FailingFileSystem;
using velto::testing::ManualClock;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

class FullLoad : public testing::Test {
protected:
    VeltoLibraryLoadResult loadNow(const AvailabilityOperation &availability = nullptr,
                                   const ReplayOperation &replay = nullptr,
                                   const CheckpointOperation &checkpoint = nullptr,
                                   std::shared_ptr<VeltoLibraryIOObserver> observer = nullptr) {
        return load(temporary.path(), velto::defaultFileSystem(), clock.now(), availability, replay, checkpoint,
                    std::move(observer));
    }

    /// A library of three pages made from their Markdown files; A is the most recently edited.
    void makeLibraryOfThreePages() {
        temporary.writeFile("c.md", pageFileText(pageC, "Third\n"));
        temporary.writeFile("b.md", pageFileText(pageB, "Second\n"));
        temporary.writeFile("a.md", pageFileText(pageA, "First\n"));
        setModificationTime(temporary / "c.md", 100);
        setModificationTime(temporary / "b.md", 200);
        setModificationTime(temporary / "a.md", 300);
        ASSERT_LOADED(loadNow());
    }

    velto::VeltoLibraryManifest manifestOnDisk() const {
        return velto::VeltoLibraryManifest::decode(temporary.readFile(".velto/manifest.json"));
    }

    TemporaryFolder temporary;
    ManualClock clock;
};

TEST_F(FullLoad, EmptyFolderIsMissingAndNothingIsCreated) {
    EXPECT_TRUE(loadNow().isMissing());
    EXPECT_TRUE(folderSnapshot(temporary.path()).empty());
}

TEST_F(FullLoad, PlainMarkdownFolderIsRebuiltAndItsFilesStayByteIdentical) {
    temporary.writeFile("a.md", "Hello\r\nworld\r\n");
    temporary.writeFile("Notes/b.MD", "---\ntitle: Kept\n---\nSecond\n");
    temporary.writeFile("empty.md", "");
    temporary.writeFile(".hidden.md", "Hidden\n");
    temporary.writeFile("readme.txt", "Not a page\n");
    auto before = folderSnapshot(temporary.path());

    auto result = loadNow();
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(allPages(document).size(), 2u);
    ASSERT_TRUE(pageAt(document, "a.md"));
    ASSERT_TRUE(pageAt(document, "Notes/b.MD"));
    EXPECT_EQ(pageAt(document, "a.md")->visibleText(), "Hello\nworld\n");

    auto after = folderSnapshot(temporary.path());
    for (const auto &[path, bytes] : before) {
        EXPECT_EQ(after.at(path), bytes) << path;
    }
    EXPECT_TRUE(temporary.exists(".velto/manifest.json"));
    EXPECT_EQ(entryNames(temporary / ".velto/writers").size(), 1u);

    // The identifiers the rebuild gave live in the metadata, so the next load finds the same pages.
    auto again = loadNow();
    ASSERT_LOADED(again);
    EXPECT_EQ(pageAt(again.asLoaded()->document, "a.md")->id, pageAt(document, "a.md")->id);
    EXPECT_EQ(pageAt(again.asLoaded()->document, "Notes/b.MD")->id, pageAt(document, "Notes/b.MD")->id);
}

TEST_F(FullLoad, DamagedManifestIsKeptUnderItsRecoveryNameAndTheLibraryLoads) {
    makeLibraryOfThreePages();
    temporary.writeFile(".velto/manifest.json", "{\"schemaVersion\": 3, \"currentPage\":");

    auto result = loadNow();
    ASSERT_LOADED(result);
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);
    EXPECT_EQ(result.asLoaded()->document.currentPage.id, pageA);

    std::vector<std::string> recoveryNames;
    for (const auto &name : entryNames(temporary / ".velto")) {
        if (name.starts_with("manifest.recovery-")) {
            recoveryNames.push_back(name);
        }
    }
    ASSERT_EQ(recoveryNames.size(), 1u);
    auto uuidText = recoveryNames[0].substr(18, 36);
    EXPECT_TRUE(velto::Uuid::parse(uuidText));
    EXPECT_EQ(recoveryNames[0], "manifest.recovery-" + velto::text::lowercased(uuidText) + ".json");
    EXPECT_EQ(temporary.readFile(".velto/" + recoveryNames[0]), "{\"schemaVersion\": 3, \"currentPage\":");
    EXPECT_NO_THROW(manifestOnDisk());
}

TEST_F(FullLoad, DamagedManifestWithoutMarkdownFilesFailsAsCorrupt) {
    temporary.writeFile(".velto/manifest.json", "not json");
    auto result = loadNow();
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(result.failureIssue()->kind, VeltoStoreRecoveryIssue::Kind::corrupt);
    EXPECT_EQ(temporary.readFile(".velto/manifest.json"), "not json");
}

TEST_F(FullLoad, UnreadableManifestIsReportedAndLeftInPlace) {
    makeLibraryOfThreePages();
    auto before = folderSnapshot(temporary.path());
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::read});
    fileSystem.countOnlyPathsContaining("manifest.json");
    fileSystem.failFromOperation(1, EACCES);

    auto result = load(temporary.path(), fileSystem, clock.now());
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(*result.failureIssue(),
              (VeltoStoreRecoveryIssue{VeltoStoreRecoveryIssue::Kind::unreadable,
                                       "The Velto manifest could not be read. Permission denied"}));
    EXPECT_EQ(folderSnapshot(temporary.path()), before);
}

TEST_F(FullLoad, ManifestThatIsADirectoryIsUnreadableNotRebuilt) {
    temporary.writeFile("a.md", "Hello\n");
    temporary.createFolder(".velto/manifest.json");
    auto result = loadNow();
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(result.failureIssue()->kind, VeltoStoreRecoveryIssue::Kind::unreadable);
    EXPECT_TRUE(result.failureIssue()->message.starts_with("The Velto manifest could not be read. "));
    EXPECT_EQ(entryNames(temporary / ".velto"), std::vector<std::string>{"manifest.json"});
}

TEST_F(FullLoad, NewerSchemaIsRefusedAndTheFolderStaysUnchanged) {
    temporary.writeFile("a.md", "Hello\n");
    temporary.writeFile(".velto/manifest.json", "{\"schemaVersion\": 4, \"future\": true}");
    auto before = folderSnapshot(temporary.path());

    auto result = loadNow();
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(
        *result.failureIssue(),
        (VeltoStoreRecoveryIssue{VeltoStoreRecoveryIssue::Kind::corrupt,
                                 "This Velto library uses newer metadata version 4. Update Velto before opening it.",
                                 VeltoStoreRecoveryIssue::Remedy::updateVelto}));
    EXPECT_EQ(folderSnapshot(temporary.path()), before);
}

TEST_F(FullLoad, DeletedPageFileFailsAsTemporarilyUnavailableForTenSecondsThenThePageGoes) {
    makeLibraryOfThreePages();
    fs::remove(temporary / "b.md");
    const VeltoStoreRecoveryIssue stillDownloading{VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable,
                                                   "The page file “b.md” is missing. Velto looks for it again in a "
                                                   "moment, in case another program is replacing it."};
    auto observationFile = ".velto/missing-files/" + pageB.lowercaseText() + ".json";

    auto first = loadNow();
    ASSERT_NE(first.failureIssue(), nullptr) << describe(first);
    EXPECT_EQ(*first.failureIssue(), stillDownloading);
    auto observation = velto::VeltoMissingFileObservation::decode(temporary.readFile(observationFile));
    EXPECT_EQ(observation.firstObservedAt, clock.now());
    EXPECT_EQ(observation.relativeFilePath, "b.md");

    clock.advanceSeconds(9.9);
    auto second = loadNow();
    ASSERT_NE(second.failureIssue(), nullptr) << describe(second);
    EXPECT_EQ(*second.failureIssue(), stillDownloading);
    EXPECT_EQ(velto::VeltoMissingFileObservation::decode(temporary.readFile(observationFile)), observation);

    clock.advanceSeconds(0.1);
    auto third = loadNow();
    ASSERT_LOADED(third);
    EXPECT_FALSE(pageWithID(third.asLoaded()->document, pageB));
    EXPECT_EQ(allPages(third.asLoaded()->document).size(), 2u);
    ASSERT_TRUE(third.asLoaded()->structureRepair);
    EXPECT_EQ(third.asLoaded()->structureRepair->externallyRemovedPageIDs, std::set<velto::Uuid>{pageB});
    EXPECT_FALSE(temporary.exists(observationFile));
}

TEST_F(FullLoad, MissingFileSightingDatedInTheFutureCountsFromNow) {
    makeLibraryOfThreePages();
    fs::remove(temporary / "b.md");
    // Another machine, its clock an hour ahead, saw the file missing first.
    persistMissingFileObservations({{pageB, "b.md", clock.now() + std::chrono::hours(1)}}, temporary.path());

    auto first = loadNow();
    ASSERT_NE(first.failureIssue(), nullptr) << describe(first);
    EXPECT_EQ(first.failureIssue()->kind, VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable);
    EXPECT_EQ(loadMissingFileObservations(temporary.path()).at(pageB).firstObservedAt, clock.now());

    clock.advanceSeconds(10);
    auto later = loadNow();
    ASSERT_LOADED(later);
    EXPECT_FALSE(pageWithID(later.asLoaded()->document, pageB));
}

TEST_F(FullLoad, PageFileMovedIntoASubfolderKeepsItsPage) {
    makeLibraryOfThreePages();
    temporary.createFolder("Archive");
    fs::rename(temporary / "b.md", temporary / "Archive/b-renamed.md");

    auto result = loadNow();
    ASSERT_LOADED(result);
    auto moved = pageWithID(result.asLoaded()->document, pageB);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->relativeFilePath, "Archive/b-renamed.md");
    EXPECT_EQ(moved->visibleText(), "Second\n");
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);
    EXPECT_TRUE(result.asLoaded()->structureRepair->externallyChangedPageIDs.contains(pageB));
    EXPECT_FALSE(temporary.exists(".velto/missing-files"));
}

TEST_F(FullLoad, CopiedPageFileBecomesANewPageWithItsOwnIdentifier) {
    makeLibraryOfThreePages();
    fs::copy_file(temporary / "b.md", temporary / "z-copy.md");

    auto result = loadNow();
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(pageAt(document, "b.md")->id, pageB);
    auto copy = pageAt(document, "z-copy.md");
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->id, pageB);
    EXPECT_EQ(copy->visibleText(), "Second\n");
    EXPECT_TRUE(result.asLoaded()->structureRepair->externallyChangedPageIDs.contains(copy->id));
    // New pages come after the known ones.
    EXPECT_EQ(document.pages.back().id, copy->id);
}

TEST_F(FullLoad, CopySortingFirstTakesTheIdentifierAndBothPagesStay) {
    makeLibraryOfThreePages();
    fs::copy_file(temporary / "b.md", temporary / "a-copy.md");

    auto result = loadNow();
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(allPages(document).size(), 4u);
    ASSERT_TRUE(pageAt(document, "a-copy.md"));
    ASSERT_TRUE(pageAt(document, "b.md"));
    EXPECT_EQ(pageAt(document, "a-copy.md")->id, pageB);
    EXPECT_NE(pageAt(document, "b.md")->id, pageB);
}

TEST_F(FullLoad, FilesThatExchangedNamesKeepBothPages) {
    makeLibraryOfThreePages();
    fs::rename(temporary / "b.md", temporary / "swap.md");
    fs::rename(temporary / "c.md", temporary / "b.md");
    fs::rename(temporary / "swap.md", temporary / "c.md");

    auto result = loadNow();
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(allPages(document).size(), 3u);
    EXPECT_EQ(pageAt(document, "b.md")->id, pageC);
    EXPECT_EQ(pageAt(document, "c.md")->id, pageB);
    EXPECT_EQ(pageAt(document, "c.md")->visibleText(), "Second\n");
}

TEST_F(FullLoad, PageEditedByAnotherProgramShowsTheNewText) {
    makeLibraryOfThreePages();
    temporary.writeFile("c.md", pageFileText(pageC, "Third, edited elsewhere\n"));
    setModificationTime(temporary / "c.md", 400);

    auto result = loadNow();
    ASSERT_LOADED(result);
    auto edited = pageWithID(result.asLoaded()->document, pageC);
    EXPECT_EQ(edited->visibleText(), "Third, edited elsewhere\n");
    EXPECT_EQ(edited->updatedAt, at(400));
    EXPECT_EQ(result.asLoaded()->structureRepair->externallyChangedPageIDs, std::set<velto::Uuid>{pageC});
    EXPECT_EQ(manifestOnDisk().pages.size(), 2u);
}

TEST_F(FullLoad, UnchangedLibraryLoadsWithoutRepairOrWrites) {
    makeLibraryOfThreePages();
    auto before = folderSnapshot(temporary.path());
    auto result = loadNow();
    ASSERT_LOADED(result);
    EXPECT_FALSE(result.asLoaded()->structureRepair);
    EXPECT_EQ(folderSnapshot(temporary.path()), before);
}

TEST_F(FullLoad, ArchivedPagesAreReadBySummaryOnly) {
    temporary.writeFile("active.md", pageFileText(pageA, "Active\n"));
    temporary.writeFile("old-1.md", archivedPageFileText(pageB, "Old one\n"));
    temporary.writeFile("old-2.md", archivedPageFileText(pageC, std::string(100'000, 'x') + "\n"));
    ASSERT_LOADED(loadNow());

    // The production load trusts the records' sizes: no archived file is read for its page.
    auto trusting = std::make_shared<VeltoLibraryIOObserver>();
    auto result = loadNow(nullptr, nullptr, nullptr, trusting);
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(document.currentPage.id, pageA);
    ASSERT_NE(pageWithID(document, pageC)->content.asArchivedSummary(), nullptr);
    EXPECT_EQ(pageWithID(document, pageC)->content.asArchivedSummary()->fileSize,
              static_cast<std::int64_t>(temporary.readFile("old-2.md").size()));
    auto counters = trusting->snapshot();
    EXPECT_EQ(counters.manifestReads, 2);
    EXPECT_EQ(counters.recursiveEnumerations, 1);
    EXPECT_EQ(counters.fullReconciliations, 1);
    // Discovery reads every file once, and its reading of the active page serves the page too.
    EXPECT_EQ(counters.markdownContentReads, 3);
    EXPECT_EQ(counters.archivedPrefixReads, 0);

    // With an availability operation of its own the load reads each archived file's opening only.
    auto reading = std::make_shared<VeltoLibraryIOObserver>();
    auto summarised = loadNow(productionAvailability(), nullptr, nullptr, reading);
    ASSERT_LOADED(summarised);
    EXPECT_EQ(pageWithID(summarised.asLoaded()->document, pageB)->visibleText(), "Old one\n");
    counters = reading->snapshot();
    EXPECT_EQ(counters.markdownContentReads, 3);
    EXPECT_EQ(counters.archivedPrefixReads, 2);
    EXPECT_EQ(counters.archivedPrefixReadPaths, (std::vector<std::string>{"old-1.md", "old-2.md"}));
}

TEST_F(FullLoad, LaunchIndexWithNothingChangedSkipsTheScanAndTheArchivedFiles) {
    temporary.writeFile("active.md", pageFileText(pageA, "Active\n"));
    temporary.writeFile("old.md", archivedPageFileText(pageB, "Old\n"));
    CheckpointOperation checkpoint = [](const fs::path &) {
        return velto::VeltoLibraryReconciliationCheckpoint{7, 42};
    };
    ASSERT_LOADED(loadNow(nullptr, nullptr, checkpoint));
    ASSERT_EQ(manifestOnDisk().reconciliationCheckpoint, (velto::VeltoLibraryReconciliationCheckpoint{7, 42}));

    std::optional<velto::VeltoLibraryReconciliationCheckpoint> replayedFrom;
    ReplayOperation nothingChanged = [&](const fs::path &, const velto::VeltoLibraryReconciliationCheckpoint &since) {
        replayedFrom = since;
        return VeltoFolderChangeNotification::paths({});
    };
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    auto result = loadNow(nullptr, nothingChanged, checkpoint, observer);
    ASSERT_LOADED(result);
    EXPECT_EQ(replayedFrom, (velto::VeltoLibraryReconciliationCheckpoint{7, 42}));
    auto counters = observer->snapshot();
    EXPECT_EQ(counters.recursiveEnumerations, 0);
    EXPECT_EQ(counters.fullReconciliations, 0);
    EXPECT_EQ(counters.manifestReads, 2);
    EXPECT_EQ(counters.markdownContentReads, 1);
    EXPECT_EQ(counters.archivedPrefixReads, 0);
    EXPECT_EQ(pageWithID(result.asLoaded()->document, pageB)->content.asArchivedSummary()->preview, "");

    // The production replay cannot prove anything unchanged on Linux: the folder is scanned.
    auto scanned = std::make_shared<VeltoLibraryIOObserver>();
    ASSERT_LOADED(loadNow(nullptr, nullptr, checkpoint, scanned));
    EXPECT_EQ(scanned->snapshot().fullReconciliations, 1);
}

TEST_F(FullLoad, GivenAvailabilityOperationNeverUsesTheLaunchIndex) {
    temporary.writeFile("active.md", pageFileText(pageA, "Active\n"));
    temporary.writeFile("old.md", archivedPageFileText(pageB, "Old\n"));
    CheckpointOperation checkpoint = [](const fs::path &) {
        return velto::VeltoLibraryReconciliationCheckpoint{7, 42};
    };
    ASSERT_LOADED(loadNow(nullptr, nullptr, checkpoint));
    bool replayed = false;
    ReplayOperation nothingChanged = [&](const fs::path &, const velto::VeltoLibraryReconciliationCheckpoint &) {
        replayed = true;
        return VeltoFolderChangeNotification::paths({});
    };
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    auto result = loadNow(productionAvailability(), nothingChanged, checkpoint, observer);
    ASSERT_LOADED(result);
    EXPECT_FALSE(replayed);
    EXPECT_EQ(observer->snapshot().fullReconciliations, 1);
    EXPECT_EQ(observer->snapshot().archivedPrefixReads, 1);
}

TEST_F(FullLoad, FileStillDownloadingIsHeldAsUnavailable) {
    makeLibraryOfThreePages();
    AvailabilityOperation downloading = [](const fs::path &url, velto::FileSystem &fileManager) {
        if (url.filename() == "b.md") {
            return VeltoPageFileAvailability::temporarilyUnavailable;
        }
        return fileAvailability(url, fileManager);
    };
    auto result = loadNow(downloading);
    ASSERT_LOADED(result);
    auto page = pageWithID(result.asLoaded()->document, pageB);
    ASSERT_TRUE(page);
    ASSERT_NE(page->content.asUnavailable(), nullptr);
    EXPECT_EQ(page->content.asUnavailable()->fileSize,
              static_cast<std::int64_t>(pageFileText(pageB, "Second\n").size()));
}

TEST_F(FullLoad, RecordedCurrentPageArchivedElsewhereIsReplacedByAnActivePage) {
    makeLibraryOfThreePages();
    temporary.writeFile("a.md", archivedPageFileText(pageA, "First\n"));
    setModificationTime(temporary / "a.md", 300);

    auto result = loadNow();
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    EXPECT_EQ(document.currentPage.id, pageB);
    EXPECT_EQ(document.pages.front().id, pageA);
    const auto &repair = *result.asLoaded()->structureRepair;
    EXPECT_TRUE(repair.promotedExistingPage);
    EXPECT_EQ(repair.externallyChangedPageIDs, std::set<velto::Uuid>{pageA});
}

// Another program's file in another encoding is named, and the library loads without it.
TEST_F(FullLoad, MarkdownFileThatIsNotUTF8IsNamedInTheMessage) {
    makeLibraryOfThreePages();
    temporary.writeFile("latin.md", "Caf\xe9\n");
    auto result = loadNow();
    ASSERT_NE(result.asLoaded(), nullptr) << describe(result);
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);
    const auto &unreadable = result.asLoaded()->unreadableFiles;
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].relativePath, "latin.md");
    EXPECT_NE(unreadable[0].reason.find("“latin.md”"), std::string::npos) << unreadable[0].reason;
}

TEST_F(FullLoad, MarkdownFileThatIsNotUTF8IsNamedWhenRebuilding) {
    temporary.writeFile("a.md", "Fine\n");
    temporary.writeFile("latin.md", "Caf\xe9\n");
    auto result = loadNow();
    ASSERT_NE(result.asLoaded(), nullptr) << describe(result);
    EXPECT_EQ(result.asLoaded()->document.currentPage.visibleText(), "Fine\n");
    const auto &unreadable = result.asLoaded()->unreadableFiles;
    ASSERT_EQ(unreadable.size(), 1u);
    EXPECT_EQ(unreadable[0].relativePath, "latin.md");
    EXPECT_EQ(temporary.readFile("latin.md"), "Caf\xe9\n");
}

TEST_F(FullLoad, FileNameThatIsNotUTF8IsSkipped) {
    makeLibraryOfThreePages();
    temporary.writeFile("caf\xe9.md", "Written on another system\n");
    auto result = loadNow();
    ASSERT_LOADED(result);
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);
}

TEST_F(FullLoad, DecomposedFileNameFindsThePageRecordedUnderTheComposedName) {
    const std::string composed = "Caf\xc3\xa9.md";    // "é" as one code point
    const std::string decomposed = "Cafe\xcc\x81.md"; // "e" and a combining acute accent
    temporary.writeFile(composed, "No identifier in this file\n");
    auto first = loadNow();
    ASSERT_LOADED(first);
    auto pageID = first.asLoaded()->document.currentPage.id;

    // A sync from another platform writes the same name decomposed.
    fs::rename(temporary / composed, temporary / decomposed);
    auto result = loadNow();
    ASSERT_LOADED(result);
    ASSERT_EQ(allPages(result.asLoaded()->document).size(), 1u);
    EXPECT_EQ(result.asLoaded()->document.currentPage.id, pageID);
    EXPECT_EQ(result.asLoaded()->document.currentPage.relativeFilePath, decomposed);
}

TEST_F(FullLoad, StaleDeletionThatALaterEditOverrodeNeitherFailsTheLoadNorStays) {
    makeLibraryOfThreePages();
    const velto::Uuid deleter = uuid("10");
    const velto::Uuid editor = uuid("20");
    // An older writer left a shard under a name of its own that deletes page A; another writer edited A
    // afterwards, knowing of that deletion, so the deletion is no longer in force.
    auto recordOfA = manifestOnDisk().currentPage;
    ASSERT_EQ(recordOfA.id, pageA);
    temporary.writeFile(
        ".velto/deletions/a.json",
        velto::VeltoDeletionIndexShard{1, "a", {tombstone(pageA, version(deleter, 1), "a.md")}}.encode());
    auto edits = journal(editor);
    edits.pageMutations = {{recordOfA, version(editor, 1, {{deleter, 1}})}};
    storeJournals(temporary, {edits});

    auto result = loadNow();
    ASSERT_LOADED(result);
    ASSERT_TRUE(pageWithID(result.asLoaded()->document, pageA));
    EXPECT_EQ(pageWithID(result.asLoaded()->document, pageA)->visibleText(), "First\n");
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{});
    ASSERT_LOADED(loadNow());
}

TEST_F(FullLoad, PendingDeletionOutsideThePagesFolderFailsBeforeAnythingIsWritten) {
    makeLibraryOfThreePages();
    auto manifest = manifestOnDisk();
    manifest.pendingDeletionFileNames = {"../outside.md"};
    temporary.writeFile(".velto/manifest.json", manifest.encode());
    fs::remove_all(temporary / ".velto/deletions");
    auto before = folderSnapshot(temporary.path());

    auto result = loadNow();
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(*result.failureIssue(),
              (VeltoStoreRecoveryIssue{VeltoStoreRecoveryIssue::Kind::corrupt,
                                       "The Velto manifest contains an invalid pending-deletion filename."}));
    EXPECT_EQ(folderSnapshot(temporary.path()), before);
}

TEST_F(FullLoad, WritersWithoutManifestAreLoadedUnderTheLock) {
    makeLibraryOfThreePages();
    fs::remove(temporary / ".velto/manifest.json");
    auto result = loadNow();
    ASSERT_LOADED(result);
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);
    EXPECT_EQ(result.asLoaded()->document.currentPage.id, pageA);
}

TEST_F(FullLoad, MetadataWithoutPagesIsRebuiltFromMarkdownOrMissing) {
    temporary.createFolder(".velto/writers");
    EXPECT_TRUE(loadNow().isMissing());
    temporary.writeFile("a.md", "Hello\n");
    auto result = loadNow();
    ASSERT_LOADED(result);
    EXPECT_EQ(result.asLoaded()->document.currentPage.relativeFilePath, "a.md");
}

TEST_F(FullLoad, ManifestThatCannotBeWrittenFailsAsCorruptWithTheSystemsText) {
    makeLibraryOfThreePages();
    temporary.writeFile("d.md", "New elsewhere\n");
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::rename});
    fileSystem.countOnlyPathsContaining("manifest.json");
    fileSystem.failFromOperation(1, EIO);

    auto result = load(temporary.path(), fileSystem, clock.now());
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(*result.failureIssue(),
              (VeltoStoreRecoveryIssue{VeltoStoreRecoveryIssue::Kind::corrupt, "Input/output error"}));
    // The next load, on a disk that works again, picks the new file up.
    auto later = loadNow();
    ASSERT_LOADED(later);
    EXPECT_TRUE(pageAt(later.asLoaded()->document, "d.md"));
}

TEST_F(FullLoad, ManifestIsReadAgainUnderTheLock) {
    makeLibraryOfThreePages();
    auto replaced = manifestOnDisk();
    replaced.pendingDeletionFileNames = {"../outside.md"};
    // Another writer replaces the manifest after the load's first reading of it, before the lock is granted.
    auto manifestFile = temporary / ".velto/manifest.json";
    ChangedBeforeReadFileSystem fileSystem(
        manifestFile, [&] { velto::PosixFileSystem().writeAtomically(manifestFile, replaced.encode()); }, 2);
    auto result = load(temporary.path(), fileSystem, clock.now());
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(result.failureIssue()->message, "The Velto manifest contains an invalid pending-deletion filename.");
}

TEST_F(FullLoad, PageFileThatVanishesWhileReadIsMissingNotCorrupt) {
    makeLibraryOfThreePages();
    // Another program removes the file between the listing and the reading.
    ChangedBeforeReadFileSystem fileSystem(temporary / "b.md", [&] { fs::remove(temporary / "b.md"); });
    auto result = load(temporary.path(), fileSystem, clock.now());
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(*result.failureIssue(),
              (VeltoStoreRecoveryIssue{VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable,
                                       "The page file “b.md” is missing. Velto looks for it again in a moment, in case "
                                       "another program is replacing it."}));
}

} // namespace
