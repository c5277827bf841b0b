// Bringing a manifest into line with the Markdown files actually in the folder.

#include "library/folder/PageFileNaming.h"
#include "library/load/MarkdownDiscovery.h"
#include "library/metadata/MissingFileObservations.h"

#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/LibraryErrors.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace VeltoPageLibrary;
using velto::VeltoLibraryManifest;
using velto::VeltoLibraryPageRecord;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

const velto::Date now = at(1'800'000'000);

std::vector<velto::Uuid> ids(const std::vector<VeltoLibraryPageRecord> &records) {
    std::vector<velto::Uuid> result;
    for (const auto &record : records) {
        result.push_back(record.id);
    }
    return result;
}

std::size_t recordCount(const VeltoLibraryManifest &manifest) {
    return manifest.pages.size() + 1;
}

class Discovery : public testing::Test {
protected:
    MarkdownDiscovery discover(const VeltoLibraryManifest &manifest,
                               const std::optional<std::set<std::string>> &changed = std::nullopt,
                               const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &tombstones = {},
                               const std::map<velto::Uuid, velto::VeltoMissingFileObservation> &observations = {}) {
        return reconcilingDiscoveredMarkdown(manifest, temporary.path(), velto::defaultFileSystem(), tombstones,
                                             observations, now, changed, productionAvailability());
    }

    TemporaryFolder temporary;
};

TEST_F(Discovery, TwoFilesWithOneIdentifierTheFirstInPathOrderKeepsIt) {
    temporary.writeFile("a.md", pageFileText(pageA, "One\n"));
    temporary.writeFile("b.md", pageFileText(pageA, "Two\n"));
    auto discovery = discover(manifestOf({record(pageA, "a.md")}));
    EXPECT_EQ(recordAt(discovery.manifest, "a.md")->id, pageA);
    const auto *second = recordAt(discovery.manifest, "b.md");
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second->id, pageA);
    EXPECT_TRUE(discovery.changedPageIDs.contains(second->id));
}

TEST_F(Discovery, FileWithoutIdentifierTakesThePageRecordedAtItsPath) {
    temporary.writeFile("a.md", "No identifier\n");
    temporary.writeFile("new.md", "Neither\n");
    auto discovery = discover(manifestOf({record(pageA, "a.md")}));
    EXPECT_EQ(recordAt(discovery.manifest, "a.md")->id, pageA);
    // Reported changed: the file has yet to receive its identifier.
    EXPECT_TRUE(discovery.changedPageIDs.contains(pageA));
    ASSERT_NE(recordAt(discovery.manifest, "new.md"), nullptr);
    EXPECT_NE(recordAt(discovery.manifest, "new.md")->id, pageA);
}

TEST_F(Discovery, FileNowCarryingAnotherIdentifierDisplacesThePageRecordedAtItsPath) {
    temporary.writeFile("a.md", pageFileText(pageB, "Now page B\n"));
    auto discovery = discover(manifestOf({record(pageA, "a.md")}));
    EXPECT_EQ(recordAt(discovery.manifest, "a.md")->id, pageB);
    EXPECT_EQ(recordWithID(discovery.manifest, pageA), nullptr);
    EXPECT_TRUE(discovery.changedPageIDs.contains(pageA));
    EXPECT_FALSE(discovery.removedPageIDs.contains(pageA));
}

TEST_F(Discovery, FileOfADeletedPageIsIgnoredAndReported) {
    temporary.writeFile("a.md", pageFileText(pageA, "Kept\n"));
    temporary.writeFile("b.md", pageFileText(pageB, "Deleted elsewhere\n"));
    auto discovery = discover(manifestOf({record(pageA, "a.md")}), std::nullopt,
                              {{pageB, tombstone(pageB, version(uuid("01"), 1))}});
    EXPECT_EQ(recordCount(discovery.manifest), 1u);
    EXPECT_TRUE(discovery.changedPageIDs.contains(pageB));
}

// A removal that could not put a deleted page's file back under its name kept it under the "(kept …)" name; it may
// hold another program's words, so it is a page of its own, and stays that page at the next look.
TEST_F(Discovery, KeptFileOfADeletedPageIsAPageOfItsOwn) {
    temporary.writeFile("a.md", pageFileText(pageA, "Kept\n"));
    temporary.writeFile("b (kept 3f2a9c).md", pageFileText(pageB, "Deleted, then written into\n"));
    std::map<velto::Uuid, velto::VeltoDeletionTombstone> tombstones{{pageB, tombstone(pageB, version(uuid("01"), 1))}};

    auto discovery = discover(manifestOf({record(pageA, "a.md")}), std::nullopt, tombstones);

    const auto *kept = recordAt(discovery.manifest, "b (kept 3f2a9c).md");
    ASSERT_NE(kept, nullptr) << "the kept file is hidden";
    EXPECT_NE(kept->id, pageB);
    EXPECT_TRUE(discovery.changedPageIDs.contains(kept->id));
    auto again = discover(discovery.manifest, std::nullopt, tombstones);
    ASSERT_NE(recordAt(again.manifest, "b (kept 3f2a9c).md"), nullptr);
    EXPECT_EQ(recordAt(again.manifest, "b (kept 3f2a9c).md")->id, kept->id);
}

TEST_F(Discovery, EmptyFileOrOneWithOnlyFrontMatterKeepsTheRecordUnchanged) {
    temporary.writeFile("a.md", pageFileText(pageA, "Kept\n"));
    temporary.writeFile("b.md", "---\nvelto:\n  id: " + pageB.lowercaseText() + "\n---\n");
    temporary.writeFile("c.md", "");
    auto recordB = record(pageB, "b.md");
    recordB.updatedAt = at(5);
    auto discovery = discover(manifestOf({record(pageA, "a.md"), recordB, record(pageC, "c.md")}));
    EXPECT_EQ(*recordWithID(discovery.manifest, pageB), recordB);
    EXPECT_EQ(*recordWithID(discovery.manifest, pageC), record(pageC, "c.md"));
    EXPECT_TRUE(discovery.removedPageIDs.empty());
}

TEST_F(Discovery, UnchangedBodyKeepsItsUpdateDateAndAnEditedOneTakesTheFileDate) {
    temporary.writeFile("a.md", pageFileText(pageA, "Same\n"));
    temporary.writeFile("b.md", pageFileText(pageB, "Edited\n"));
    setModificationTime(temporary / "a.md", 1'700'000'100);
    setModificationTime(temporary / "b.md", 1'700'000'200);
    auto recordA = record(pageA, "a.md");
    recordA.updatedAt = at(1'600'000'000);
    recordA.bodyChecksum = contentChecksum("Same\n");
    auto recordB = record(pageB, "b.md");
    recordB.updatedAt = at(1'600'000'000);
    recordB.bodyChecksum = contentChecksum("Before\n");
    auto discovery = discover(manifestOf({recordA, recordB}));
    EXPECT_EQ(recordWithID(discovery.manifest, pageA)->updatedAt, at(1'600'000'000));
    EXPECT_EQ(recordWithID(discovery.manifest, pageB)->updatedAt, at(1'700'000'200));
    EXPECT_EQ(recordWithID(discovery.manifest, pageB)->bodyChecksum, contentChecksum("Edited\n"));
    EXPECT_EQ(recordWithID(discovery.manifest, pageB)->fileSize,
              static_cast<std::int64_t>(pageFileText(pageB, "Edited\n").size()));
}

TEST(DiscoveryArchiveDate, FollowsTheArchiveFlag) {
    auto archivedBefore = record(pageA);
    archivedBefore.isArchived = true;
    archivedBefore.archivedAt = at(100);
    auto active = record(pageA);
    EXPECT_EQ(reconciledArchivedAt(false, &archivedBefore, at(300), now), std::nullopt);
    EXPECT_EQ(reconciledArchivedAt(true, &archivedBefore, at(300), now), at(100));
    EXPECT_EQ(reconciledArchivedAt(true, &active, at(300), now), at(300));
    EXPECT_EQ(reconciledArchivedAt(true, nullptr, std::nullopt, now), now);
}

TEST_F(Discovery, NewPagesAreAppendedInIdentifierOrder) {
    temporary.writeFile("a.md", pageFileText(pageA, "A\n"));
    temporary.writeFile("c.md", pageFileText(pageC, "C\n"));
    temporary.writeFile("b.md", pageFileText(pageB, "B\n"));
    auto discovery = discover(manifestOf({record(pageA, "a.md")}));
    ASSERT_EQ(discovery.manifest.pages.size(), 2u);
    EXPECT_EQ(discovery.manifest.pages[0].id, pageB);
    EXPECT_EQ(discovery.manifest.pages[1].id, pageC);
    EXPECT_TRUE(discovery.changedPageIDs.contains(pageB));
    EXPECT_TRUE(discovery.changedPageIDs.contains(pageC));
}

TEST_F(Discovery, CurrentPageGoneForGoodGivesWayToTheMostRecentlyActive) {
    temporary.writeFile("b.md", pageFileText(pageB, "B\n"));
    temporary.writeFile("c.md", pageFileText(pageC, "C\n"));
    setModificationTime(temporary / "b.md", 1'700'000'000);
    setModificationTime(temporary / "c.md", 1'700'000'500);
    auto manifest = manifestOf({record(pageA, "a.md"), record(pageB, "b.md"), record(pageC, "c.md")});
    auto discovery = discover(manifest, std::nullopt, {}, {{pageA, {pageA, "a.md", now - std::chrono::seconds(10)}}});
    EXPECT_EQ(discovery.manifest.currentPage.id, pageC);
    EXPECT_EQ(ids(discovery.manifest.pages), std::vector<velto::Uuid>{pageB});
    EXPECT_EQ(discovery.removedPageIDs, std::set<velto::Uuid>{pageA});
}

TEST_F(Discovery, NoPageLeftGivesANewEmptyCurrentPage) {
    auto discovery = discover(manifestOf({record(pageA, "a.md")}), std::nullopt, {}, {{pageA, {pageA, "a.md", at(0)}}});
    const auto &current = discovery.manifest.currentPage;
    EXPECT_NE(current.id, pageA);
    EXPECT_FALSE(current.hasContent);
    EXPECT_TRUE(current.fileSlug.has_value());
    EXPECT_FALSE(current.relativeFilePath.has_value());
    EXPECT_TRUE(discovery.changedPageIDs.contains(current.id));
    EXPECT_TRUE(discovery.manifest.pages.empty());
}

TEST_F(Discovery, ObservationForAnotherNameStartsTheGracePeriodAgain) {
    auto manifest = manifestOf({record(pageA, "a.md")});
    EXPECT_THROW(discover(manifest, std::nullopt, {}, {{pageA, {pageA, "old-name.md", at(0)}}}), velto::PageFileError);
    auto observation = loadMissingFileObservations(temporary.path()).at(pageA);
    EXPECT_EQ(observation.relativeFilePath, "a.md");
    EXPECT_EQ(observation.firstObservedAt, now);
}

TEST_F(Discovery, FullScanSkipsHiddenMetadataLinksAndFoldersNamedLikePages) {
    temporary.writeFile("a.md", pageFileText(pageA, "A\n"));
    temporary.writeFile(".velto/inside.md", "Metadata folder\n");
    temporary.writeFile(".hidden/inside.md", "Hidden folder\n");
    temporary.writeFile("upper.MD", "Upper-case extension\n");
    temporary.createFolder("folder.md");
    fs::create_symlink(temporary / "a.md", temporary / "link.md");
    auto discovery = discover(manifestOf({record(pageA, "a.md")}));
    EXPECT_EQ(recordCount(discovery.manifest), 2u);
    EXPECT_NE(recordAt(discovery.manifest, "upper.MD"), nullptr);
}

TEST_F(Discovery, FolderThatCannotBeListedLeavesTheManifestAsItIs) {
    auto manifest = manifestOf({record(pageA, "a.md")});
    manifest.schemaVersion = 2;
    auto discovery = reconcilingDiscoveredMarkdown(manifest, temporary / "no-such-folder", velto::defaultFileSystem(),
                                                   {}, {}, now, std::nullopt, productionAvailability());
    EXPECT_EQ(discovery, (MarkdownDiscovery{manifest, {}, {}, {}, {}}));
}

TEST_F(Discovery, EmptySetOfChangedPathsExaminesNothing) {
    auto manifest = manifestOf({record(pageA, "gone.md"), record(pageB, "also-gone.md")});
    manifest.schemaVersion = 2;
    auto discovery = discover(manifest, std::set<std::string>{});
    EXPECT_EQ(discovery.manifest.schemaVersion, 3);
    EXPECT_EQ(discovery.manifest.currentPage, manifest.currentPage);
    EXPECT_EQ(discovery.manifest.pages, manifest.pages);
    EXPECT_TRUE(discovery.changedPageIDs.empty());
}

TEST_F(Discovery, NamesInTheOtherUnicodeFormFindTheirRecords) {
    const std::string composed = "Caf\xc3\xa9.md";
    const std::string decomposed = "Cafe\xcc\x81.md";
    // The emptied file is still there under its decomposed name: not missing.
    temporary.writeFile(decomposed, "");
    auto discovery = discover(manifestOf({record(pageA, composed)}));
    EXPECT_EQ(*recordWithID(discovery.manifest, pageA), record(pageA, composed));
    EXPECT_FALSE(temporary.exists(".velto/missing-files"));

    // A changed path reported decomposed is the page recorded composed.
    temporary.writeFile(decomposed, "Now with text\n");
    auto changed = discover(manifestOf({record(pageA, composed)}), std::set<std::string>{decomposed});
    EXPECT_EQ(recordCount(changed.manifest), 1u);
    EXPECT_EQ(changed.manifest.currentPage.id, pageA);
    EXPECT_EQ(changed.manifest.currentPage.relativeFilePath, decomposed);
}

TEST_F(Discovery, FileStillDownloadingIsNotReadAndKeepsItsPage) {
    temporary.writeFile("a.md", pageFileText(pageA, "A\n"));
    AvailabilityOperation downloading = [](const fs::path &, velto::FileSystem &) {
        return VeltoPageFileAvailability::temporarilyUnavailable;
    };
    auto manifest = manifestOf({record(pageA, "a.md"), record(pageB, "b.md")});
    auto discovery = reconcilingDiscoveredMarkdown(manifest, temporary.path(), velto::defaultFileSystem(), {}, {}, now,
                                                   std::nullopt, downloading);
    EXPECT_EQ(*recordWithID(discovery.manifest, pageA), record(pageA, "a.md"));
    EXPECT_EQ(*recordWithID(discovery.manifest, pageB), record(pageB, "b.md"));
    EXPECT_TRUE(discovery.changedPageIDs.empty());
}

TEST_F(Discovery, RecordsNamingOneFileLeaveOnePage) {
    const std::string composed = "Caf\xc3\xa9.md";
    const std::string decomposed = "Cafe\xcc\x81.md";
    struct Case {
        const char *name;
        std::string firstPath;
        std::string secondPath;
        std::string fileName;
    };
    for (const Case &testCase : {Case{"one path twice", "g.md", "g.md", "g.md"},
                                 Case{"one name in both Unicode forms", composed, decomposed, decomposed}}) {
        SCOPED_TRACE(testCase.name);
        TemporaryFolder folder;
        folder.writeFile(testCase.fileName, "Gee\n");
        auto discovery = reconcilingDiscoveredMarkdown(
            manifestOf({record(pageA, testCase.firstPath), record(pageB, testCase.secondPath)}), folder.path(),
            velto::defaultFileSystem(), {}, {}, now, std::nullopt, productionAvailability());
        EXPECT_EQ(recordCount(discovery.manifest), 1u);
        ASSERT_EQ(discovery.discoveredTexts.size(), 1u);
        EXPECT_EQ(discovery.discoveredTexts.begin()->second.content.body, "Gee\n");
        const auto &keeper = discovery.manifest.currentPage.id;
        EXPECT_TRUE(discovery.changedPageIDs.contains(keeper == pageA ? pageB : pageA));
    }
}

} // namespace
