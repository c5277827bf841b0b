#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/save/DiskChanges.h"
#include "model/LibraryErrors.h"
#include "model/PageIndex.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;
using VeltoPageLibrary::deterministicConflictPageID;
using VeltoPageLibrary::resolvingConcurrentDiskChanges;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

std::string fileNameOf(const VeltoPage &page) {
    return VeltoPageLibrary::pageFileName(VeltoLibraryPageRecord::fromPage(page));
}

/// Page A on disk as the store last saw it, and a request that changes its text to `ours`.
struct EditedPage {
    TemporaryFolder folder;
    VeltoPage onDisk;
    VeltoSaveRequest request;

    EditedPage(const std::string &base, const std::string &ours, bool withBaselineText = true) {
        onDisk = pageWithBody(pageA, base);
        folder.writeFile(fileNameOf(onDisk), onDisk.persistedFileContents());
        auto edited = onDisk;
        edited.content.asLoaded()->body = ours;
        request = requestFor(documentOf(edited, {pageWithBody(pageB, "other\n")}), {pageA});
        auto baseline = writtenBaseline(onDisk);
        if (!withBaselineText) {
            baseline.fileContents.reset();
        }
        request.expectedPageBaselines[pageA] = baseline;
    }

    void theyWrite(const std::string &body) {
        auto theirs = onDisk;
        theirs.content.asLoaded()->body = body;
        folder.writeFile(fileNameOf(onDisk), theirs.persistedFileContents());
    }

    VeltoPageLibrary::VeltoResolvedDiskChanges resolve() const {
        return resolvingConcurrentDiskChanges(request, folder.path(), defaultFileSystem());
    }
};

TEST(DiskChanges, UnchangedFileGetsTheStoresVersionWhateverItHolds) {
    EditedPage page("one\n", "one\ntwo\n");
    auto resolved = page.resolve();
    EXPECT_FALSE(resolved.request); // unchanged
    EXPECT_TRUE(resolved.conflicts.empty());
    EXPECT_TRUE(resolved.mergedPages.empty());
}

TEST(DiskChanges, PageWithoutBaselineIsNeverCompared) {
    EditedPage page("one\n", "ours\n");
    page.theyWrite("theirs\n");
    page.request.expectedPageBaselines.clear();
    EXPECT_TRUE(page.resolve().conflicts.empty());
}

TEST(DiskChanges, BaselineWithoutChecksumAndMissingFileCountsAsUnchanged) {
    EditedPage page("one\n", "ours\n");
    std::filesystem::remove(page.folder / fileNameOf(page.onDisk));
    page.request.expectedPageBaselines[pageA] = {std::nullopt, ""};
    EXPECT_TRUE(page.resolve().conflicts.empty());
}

TEST(DiskChanges, DifferentLinesMergeIntoThePageDatedAtTheSave) {
    EditedPage page("one\ntwo\nthree\n", "ONE\ntwo\nthree\n");
    page.theyWrite("one\ntwo\nTHREE\n");
    auto resolved = page.resolve();

    ASSERT_TRUE(resolved.mergedPages.contains(pageA));
    EXPECT_EQ(resolved.mergedPages.at(pageA).visibleText(), "ONE\ntwo\nTHREE\n");
    EXPECT_EQ(resolved.mergedPages.at(pageA).updatedAt, page.request.recordedAt);
    EXPECT_EQ(resolved.request->document.currentPage, resolved.mergedPages.at(pageA));
    EXPECT_EQ(resolved.request->structureRevision, page.request.mutationRevision);
    EXPECT_TRUE(resolved.conflicts.empty());
}

// The file is compared with the baseline as it is read: a change of the same length, one near the end, or a file
// that only grew or shrank at its end is another writer's change all the same, and is merged in.
TEST(DiskChanges, ChangesAnywhereInTheFileAreMergedIn) {
    struct Case {
        const char *name;
        std::string theirs;
        std::string merged;
    };
    const Case cases[] = {
        {"a letter of the last line", "one\ntwo\nthreE\n", "ONE\ntwo\nthreE\n"},
        {"a line added", "one\ntwo\nthree\nfour\n", "ONE\ntwo\nthree\nfour\n"},
        {"the last line removed", "one\ntwo\n", "ONE\ntwo\n"},
    };
    for (const Case &c : cases) {
        EditedPage page("one\ntwo\nthree\n", "ONE\ntwo\nthree\n");
        page.theyWrite(c.theirs);
        auto resolved = page.resolve();
        ASSERT_TRUE(resolved.mergedPages.contains(pageA)) << c.name;
        EXPECT_EQ(resolved.mergedPages.at(pageA).visibleText(), c.merged) << c.name;
    }
}

TEST(DiskChanges, SameLineEditedMakesAConflictCopyOfTheDiskText) {
    EditedPage page("one\n", "ours\n");
    page.theyWrite("theirs\n");
    auto resolved = page.resolve();

    ASSERT_EQ(resolved.conflicts.size(), 1u);
    const auto &copy = resolved.conflicts[0].preservedPage;
    EXPECT_EQ(resolved.conflicts[0].originalPageID, pageA);
    EXPECT_EQ(copy.id, deterministicConflictPageID(page.request.operationID, pageA));
    EXPECT_EQ(copy.fileSlug, "conflict-copy");
    EXPECT_EQ(copy.createdAt, page.request.recordedAt);
    EXPECT_EQ(copy.visibleText(), "theirs\n");
    EXPECT_EQ(copy.content.asLoaded()->conflictOriginalPageID(), pageA);
    EXPECT_EQ(resolved.request->document.pages.back(), copy);
    EXPECT_EQ(resolved.request->document.currentPage.visibleText(), "ours\n");
    EXPECT_EQ(resolved.request->changedPageRevisions.at(copy.id), 1u);
}

TEST(DiskChanges, BaselineWithoutTextGoesStraightToAConflictCopy) {
    EditedPage page("one\ntwo\nthree\n", "ONE\ntwo\nthree\n", false);
    page.theyWrite("one\ntwo\nTHREE\n");
    auto resolved = page.resolve();
    EXPECT_EQ(resolved.conflicts.size(), 1u);
    EXPECT_TRUE(resolved.mergedPages.empty());
}

TEST(DiskChanges, DeletedOrEmptiedFileMakesARecoveredPageInThePagesPlace) {
    for (bool deleted : {true, false}) {
        EditedPage page("one\n", "ours\n");
        if (deleted) {
            std::filesystem::remove(page.folder / fileNameOf(page.onDisk));
        } else {
            page.folder.writeFile(fileNameOf(page.onDisk), "");
        }
        auto resolved = page.resolve();

        ASSERT_EQ(resolved.conflicts.size(), 1u) << deleted;
        auto recoveredID = deterministicConflictPageID(page.request.operationID, pageA);
        const auto &current = resolved.request->document.currentPage;
        EXPECT_EQ(current.id, recoveredID);
        EXPECT_EQ(current.fileSlug, "recovered-page");
        EXPECT_EQ(current.createdAt, page.onDisk.createdAt);
        EXPECT_EQ(current.visibleText(), "ours\n");
        EXPECT_EQ(resolved.pageIDReplacements, (std::map<Uuid, Uuid>{{pageA, recoveredID}}));
        EXPECT_FALSE(resolved.request->changedPageRevisions.contains(pageA));
        EXPECT_TRUE(resolved.request->changedPageRevisions.contains(recoveredID));
        EXPECT_TRUE(resolved.request->removedPageRevisions.contains(pageA));
    }
}

TEST(DiskChanges, RepeatedSaveFindsTheSameConflictPageAndReusesItsFile) {
    EditedPage page("one\n", "ours\n");
    page.theyWrite("theirs\n");
    auto first = page.resolve().conflicts.at(0).preservedPage;
    // The first attempt wrote the copy; a sync then touched it before the attempt was repeated.
    auto copyText = first.persistedFileContents() + "synced\n";
    page.folder.writeFile(fileNameOf(first), copyText);

    auto again = page.resolve().conflicts.at(0).preservedPage;

    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(fileNameOf(again), fileNameOf(first));
    EXPECT_EQ(again.visibleText(), "theirs\nsynced\n");
}

TEST(DiskChanges, ArchiveOnlyChangeTakesTheDiskTextAndSetsOnlyTheFlag) {
    EditedPage page("one\n", "one\n");
    page.theyWrite("their edit\n");
    auto &current = page.request.document.currentPage;
    current.content.asLoaded()->writeVeltoMetadata(pageA, true, std::nullopt);
    page.request.archiveMetadataPageRevisions[pageA] = 1;

    auto merged = VeltoPageLibrary::mergingLatestContentsForArchiveMetadataChanges(page.request, page.folder.path(),
                                                                                   defaultFileSystem());

    const auto &content = *merged.document.currentPage.content.asLoaded();
    EXPECT_EQ(content.body, "their edit\n");
    EXPECT_TRUE(content.isArchived());
    // An archive-only page is not compared again.
    EXPECT_TRUE(resolvingConcurrentDiskChanges(merged, page.folder.path(), defaultFileSystem()).conflicts.empty());
}

// A first launch over a big folder archives most of its pages in one save: a walk over the library for each
// page would look at millions of pages here.
TEST(DiskChanges, ArchivingEveryPageLooksUpPagesInProportionToTheLibrary) {
    constexpr std::size_t pageCount = 3'000;
    TemporaryFolder folder;
    std::vector<VeltoPage> others;
    for (std::size_t k = 0; k < pageCount; ++k) {
        others.push_back(pageWithBody(Uuid::random(), "page " + std::to_string(k) + "\n"));
    }
    VeltoPage archived = others.back();
    archived.content.asLoaded()->writeVeltoMetadata(archived.id, true, std::nullopt);
    folder.writeFile(fileNameOf(archived), archived.persistedFileContents());
    VeltoSaveRequest request = requestFor(documentOf(pageWithBody(pageA, "current\n"), others), {});
    for (const VeltoPage &page : others) {
        request.archiveMetadataPageRevisions[page.id] = 1;
    }

    const std::size_t visitedBefore = pagesVisitedByLookups();
    auto merged =
        VeltoPageLibrary::mergingLatestContentsForArchiveMetadataChanges(request, folder.path(), defaultFileSystem());
    const std::size_t visited = pagesVisitedByLookups() - visitedBefore;

    EXPECT_LE(visited, 10 * pageCount) << "pages looked at by the lookups";
    EXPECT_EQ(merged.document.pages.back().content.asLoaded()->body, "page 2999\n");
}

// A file that another program made unreadable is never written over: the store's text becomes a recovered page in
// the page's place, and the page stays recorded at the file, unremoved. A read that fails for a cause outside the
// file (memory, open files) fails the save, which is tried again.
TEST(DiskChanges, FileThatCannotBeReadIsLeftAsItIsAndTheStoresTextIsRecoveredBesideIt) {
    struct Case {
        const char *name;
        std::string bytes;
        int readError; // 0: the read succeeds
        std::string reason;
    };
    const Case cases[] = {
        {"not UTF-8", "\xff\xfe broken", 0, "couldn’t be opened using text encoding Unicode (UTF-8)"},
        {"no permission", "one\n", EACCES, "Permission denied"},
        {"out of memory", "one\n", ENOMEM, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EditedPage page("one\n", "ours\n");
        page.folder.writeFile(fileNameOf(page.onDisk), c.bytes);
        velto::testing::FailingFileSystem fileSystem;
        fileSystem.countOnly({FileOperation::read});
        fileSystem.failFromOperation(c.readError == 0 ? 0 : 1, c.readError);
        if (c.reason.empty()) {
            EXPECT_THROW(resolvingConcurrentDiskChanges(page.request, page.folder.path(), fileSystem), PageFileError);
            continue;
        }
        auto resolved = resolvingConcurrentDiskChanges(page.request, page.folder.path(), fileSystem);

        ASSERT_EQ(resolved.conflicts.size(), 1u);
        const VeltoPage &recovered = resolved.conflicts[0].preservedPage;
        EXPECT_EQ(recovered.fileSlug, "recovered-page");
        EXPECT_EQ(recovered.visibleText(), "ours\n");
        EXPECT_EQ(resolved.pageIDReplacements.at(pageA), recovered.id);
        EXPECT_EQ(resolved.request->document.currentPage.id, recovered.id);
        EXPECT_TRUE(resolved.request->removedPageRevisions.empty()) << "removing the page would delete the file";
        EXPECT_FALSE(resolved.observedPageFiles.contains(page.folder / fileNameOf(page.onDisk)));
        ASSERT_EQ(resolved.pagesLeftUnread.size(), 1u);
        EXPECT_EQ(resolved.pagesLeftUnread[0].page.id, pageA);
        EXPECT_NE(resolved.pagesLeftUnread[0].page.content.asUnavailable(), nullptr);
        EXPECT_EQ(resolved.pagesLeftUnread[0].file.relativePath, fileNameOf(page.onDisk));
        EXPECT_NE(resolved.pagesLeftUnread[0].file.reason.find(c.reason), std::string::npos)
            << resolved.pagesLeftUnread[0].file.reason;
    }
}

TEST(DiskChanges, ConflictIdentifierIsAVersion5UUIDThatDependsOnArgumentOrder) {
    auto id = deterministicConflictPageID(pageA, pageB);
    auto text = id.lowercaseText();
    EXPECT_EQ(text[14], '5');
    EXPECT_NE(std::string("89ab").find(text[19]), std::string::npos);
    EXPECT_EQ(id, deterministicConflictPageID(pageA, pageB));
    EXPECT_NE(id, deterministicConflictPageID(pageB, pageA));
}

} // namespace
