#include "WriteTestSupport.h"

#include "library/folder/PageFileNaming.h"
#include "library/save/ManifestMerge.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::writetesting;
using VeltoPageLibrary::mergedManifest;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid pageC = *Uuid::parse("C3000000-0000-4000-8000-000000000003");
const Uuid pageD = *Uuid::parse("D4000000-0000-4000-8000-000000000004");

VeltoLibraryPageRecord recordOf(const Uuid &id, std::optional<std::string> path = std::nullopt) {
    auto record = VeltoLibraryPageRecord::fromPage(pageWithBody(id, "text of " + id.uppercaseText() + "\n"));
    record.relativeFilePath = std::move(path);
    return record;
}

/// A manifest on disk with current page A and pages B, C.
VeltoLibraryManifest existingABC() {
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = 3;
    manifest.reconciliationCheckpoint = VeltoLibraryReconciliationCheckpoint{7, 42};
    manifest.currentPage = recordOf(pageA);
    manifest.pages = {recordOf(pageB, "Notes/b.md"), recordOf(pageC)};
    return manifest;
}

std::vector<Uuid> pageOrder(const VeltoLibraryManifest &manifest) {
    std::vector<Uuid> order{manifest.currentPage.id};
    for (const auto &record : manifest.pages) {
        order.push_back(record.id);
    }
    return order;
}

TEST(ManifestMerge, WithoutAManifestTheDocumentIsTheManifest) {
    auto document = documentOf(pageWithBody(pageB, "b\n"), {pageWithBody(pageA, "a\n")});
    auto request = requestFor(document, {});
    request.removedPageRevisions[pageC] = 1;
    VeltoLibraryReconciliationCheckpoint checkpoint{1, 2};

    auto manifest = mergedManifest(request, std::nullopt, checkpoint);

    EXPECT_EQ(pageOrder(manifest), (std::vector<Uuid>{pageB, pageA}));
    EXPECT_EQ(manifest.reconciliationCheckpoint, checkpoint);
    EXPECT_EQ(manifest.schemaVersion, 3);
    EXPECT_TRUE(manifest.pendingDeletionFileNames.empty());
}

TEST(ManifestMerge, WithoutStructureChangeTheRecordedCurrentPageAndOrderStay) {
    auto document = documentOf(pageWithBody(pageC, "c\n"), {pageWithBody(pageB, "b\n"), pageWithBody(pageA, "a\n")});
    auto manifest =
        mergedManifest(requestFor(document, {pageC}), existingABC(), VeltoLibraryReconciliationCheckpoint{});

    EXPECT_EQ(pageOrder(manifest), (std::vector<Uuid>{pageA, pageB, pageC}));
    EXPECT_EQ(manifest.reconciliationCheckpoint, (VeltoLibraryReconciliationCheckpoint{7, 42}));
    EXPECT_EQ(manifest.pages[1].contentChecksum,
              VeltoLibraryPageRecord::fromPage(document.currentPage).contentChecksum);
}

TEST(ManifestMerge, StructureChangePutsTheRequestOrderFirstAndNewPagesInIt) {
    auto document = documentOf(pageWithBody(pageD, "d\n"), {pageWithBody(pageC, "c\n"), pageWithBody(pageA, "a\n")});
    auto request = requestFor(document, {pageD});
    request.structureRevision = 2;

    auto manifest = mergedManifest(request, existingABC(), std::nullopt);

    // B is known only to the manifest on disk and follows the request's order.
    EXPECT_EQ(pageOrder(manifest), (std::vector<Uuid>{pageD, pageC, pageA, pageB}));
}

TEST(ManifestMerge, NewPageWithoutStructureChangeComesAfterTheRecordedOrder) {
    auto document = documentOf(pageWithBody(pageA, "a\n"), {pageWithBody(pageD, "d\n"), pageWithBody(pageB, "b\n")});
    auto manifest = mergedManifest(requestFor(document, {pageD}), existingABC(), std::nullopt);
    EXPECT_EQ(pageOrder(manifest), (std::vector<Uuid>{pageA, pageB, pageC, pageD}));
}

TEST(ManifestMerge, RemovedCurrentPageGivesWayToTheMostRecentlyActiveRecord) {
    auto existing = existingABC();
    existing.pages[1].updatedAt = day(20); // C is the most recently active
    auto document = documentOf(pageWithBody(pageD, "d\n"));
    auto request = requestFor(document, {});
    request.removedPageRevisions[pageA] = 1;

    auto manifest = mergedManifest(request, existing, std::nullopt);

    EXPECT_EQ(manifest.currentPage.id, pageC);
    EXPECT_EQ(manifest.pendingDeletionFileNames,
              std::vector<std::string>{VeltoPageLibrary::pageFileName(existing.currentPage)});
}

TEST(ManifestMerge, EveryPageRemovedMakesTheCurrentRecordFromTheDocument) {
    auto document = documentOf(pageWithBody(pageD, "d\n"));
    auto request = requestFor(document, {});
    for (const auto &id : {pageA, pageB, pageC}) {
        request.removedPageRevisions[id] = 1;
    }
    auto manifest = mergedManifest(request, existingABC(), std::nullopt);

    EXPECT_EQ(manifest.currentPage.id, pageD);
    EXPECT_TRUE(manifest.pages.empty());
    EXPECT_EQ(manifest.pendingDeletionFileNames.size(), 3u);
}

TEST(ManifestMerge, PendingDeletionsKeepOldNamesAndAddRemovedAndEmptiedFilesSortedOnce) {
    auto existing = existingABC();
    existing.pendingDeletionFileNames = {"zz.md", "Notes/b.md"};
    auto emptied = pageWithBody(pageC, "");
    auto document = documentOf(pageWithBody(pageA, "a\n"), {emptied});
    auto request = requestFor(document, {pageC});
    request.removedPageRevisions[pageB] = 1;

    auto manifest = mergedManifest(request, existing, std::nullopt);

    EXPECT_EQ(manifest.pendingDeletionFileNames,
              (std::vector<std::string>{VeltoPageLibrary::pageFileName(existing.pages[1]), "Notes/b.md", "zz.md"}));
    ASSERT_EQ(manifest.pages.size(), 1u);
    EXPECT_FALSE(manifest.pages[0].hasContent);
}

TEST(ManifestMerge, RemovedPageWithoutContentAddsNoFileAndRemovedThenReAddedPageKeepsItsNewRecord) {
    auto existing = existingABC();
    existing.pages[1].hasContent = false;
    auto document = documentOf(pageWithBody(pageA, "a\n"), {pageWithBody(pageB, "b again\n")});
    auto request = requestFor(document, {pageB});
    request.removedPageRevisions[pageB] = 1;
    request.removedPageRevisions[pageC] = 1;

    auto manifest = mergedManifest(request, existing, std::nullopt);

    EXPECT_TRUE(manifest.pendingDeletionFileNames.empty());
    EXPECT_EQ(pageOrder(manifest), (std::vector<Uuid>{pageA, pageB}));
    EXPECT_EQ(manifest.pages[0].relativeFilePath, std::nullopt);
}

} // namespace
