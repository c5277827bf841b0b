#include "StoreSessionFixture.h"
#include "model/PageArchiveState.h"
#include "store/PageLists.h"

namespace velto {
namespace {

using namespace velto::testing;

TEST(StorePageOperations, BlankCurrentPageMakesNoNewPageButSpacesAreText) {
    MemoryStore blank;
    VeltoStore &blankStore = blank.open(documentOf(textPage("", day(0))));
    EXPECT_FALSE(blankStore.createNewPage(day(1)).has_value());
    EXPECT_TRUE(blankStore.document().pages.empty());
    EXPECT_TRUE(blank.saves.empty());

    MemoryStore spaces;
    VeltoStore &spacesStore = spaces.open(documentOf(textPage(" \n", day(0))));
    std::optional<VeltoPageOperation> operation = spacesStore.createNewPage(day(1));
    ASSERT_TRUE(operation.has_value());
    EXPECT_EQ(operation->actionName, "New Page");
    EXPECT_EQ(spacesStore.document().pages.size(), 1u);
    EXPECT_EQ(spacesStore.document().currentPage.visibleText(), "");
}

TEST(StorePageOperations, CreatingAPageAtTheLimitArchivesTheLeastRecentlyActivePageOnDisk) {
    DiskStore disk;
    VeltoPage current = textPage("current page", day(0), day(30));
    std::vector<VeltoPage> others;
    for (int index = 0; index < 100; ++index) {
        others.push_back(textPage("page " + std::to_string(index), day(0), day(1) + std::chrono::minutes(index + 1)));
    }
    const Uuid leastRecent = others.front().id;
    writeLibrary(disk.folder, documentOf(current, others));
    VeltoStore &store = disk.open();
    ASSERT_TRUE(store.archiveSnapshot().pageIDs.empty());

    std::optional<VeltoPageOperation> operation = store.createNewPage(day(40));
    ASSERT_TRUE(operation.has_value());
    ASSERT_EQ(operation->effects.size(), 3u);
    EXPECT_EQ(operation->effects[0], VeltoPageOperation::Effect(VeltoPageOperation::Archival{current.id}));
    EXPECT_EQ(operation->effects[1],
              VeltoPageOperation::Effect(VeltoPageOperation::Creation{store.document().currentPage.id}));
    EXPECT_EQ(operation->effects[2], VeltoPageOperation::Effect(VeltoPageOperation::Archival{leastRecent}));
    EXPECT_EQ(store.archiveSnapshot().pageIDs, std::set<Uuid>{leastRecent});

    disk.flush();
    VeltoDocument onDisk = disk.reloadedFromDisk();
    EXPECT_EQ(onDisk.archivedPageIDs(), std::set<Uuid>{leastRecent});
    EXPECT_TRUE(hasPage(onDisk, current.id));
    EXPECT_FALSE(isArchivedPage(pageIn(onDisk, current.id)));
}

TEST(StorePageOperations, OnlyActiveLoadedOtherPagesCanBeSelected) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage archived = archivedVersion(textPage("archived", day(0)), day(1));
    VeltoPage unavailable = unavailablePage(std::nullopt, day(0));
    VeltoPage active = textPage("active", day(0));
    VeltoStore &store = memory.open(documentOf(current, {archived, unavailable, active}));

    for (const Uuid &refused : {current.id, archived.id, unavailable.id, Uuid::random()}) {
        EXPECT_FALSE(store.selectPageOperation(refused).has_value());
    }
    EXPECT_TRUE(memory.saves.empty());

    std::optional<VeltoPageOperation> operation = store.selectPageOperation(active.id);
    ASSERT_TRUE(operation.has_value());
    EXPECT_EQ(operation->actionName, "Move Page");
    EXPECT_EQ(store.document().currentPage.id, active.id);
    ASSERT_EQ(store.document().pages.size(), 3u);
    EXPECT_EQ(store.document().pages[0].id, current.id) << "the previous current page goes to the front";
    EXPECT_EQ(store.document().pages[1].id, archived.id);
    EXPECT_EQ(store.document().pages[2].id, unavailable.id);
}

TEST(StorePageOperations, ArchivingTheCurrentPageWithoutActiveOthersMakesANewEmptyPage) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage archived = archivedVersion(textPage("archived", day(0)), day(1));
    VeltoStore &store = memory.open(documentOf(current, {archived, unavailablePage(false, day(0))}));

    std::optional<VeltoArchiveTransition> transition = store.archiveCurrentPage(day(5));
    ASSERT_TRUE(transition.has_value());
    EXPECT_EQ(store.document().currentPage.visibleText(), "");
    EXPECT_EQ(store.document().pages.front().id, current.id);
    EXPECT_TRUE(isArchivedPage(store.document().pages.front()));
    EXPECT_EQ(store.document().pages.front().archivedAt, day(5));
    EXPECT_EQ(transition->after, store.document());
}

TEST(StorePageOperations, BlankCurrentPageIsArchivedOnlyWhenAnotherActivePageCanTakeItsPlace) {
    MemoryStore alone;
    VeltoStore &aloneStore = alone.open(documentOf(textPage("", day(0))));
    EXPECT_FALSE(aloneStore.archiveCurrentPage(day(1)).has_value());

    MemoryStore withOther;
    VeltoPage other = textPage("other", day(0));
    VeltoStore &store = withOther.open(documentOf(textPage("", day(0)), {other}));
    ASSERT_TRUE(store.archiveCurrentPage(day(1)).has_value());
    EXPECT_EQ(store.document().currentPage.id, other.id);
}

TEST(StorePageOperations, RestoringUsesTheLatestFileAndRefusesSummariesWithoutOne) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage heldWhole = archivedVersion(textPage("held text", day(0)), day(1));
    VeltoPage summaryOnly = archivedSummaryPage("preview", day(0));
    VeltoPage changedElsewhere = archivedVersion(textPage("old text", day(0)), day(1));
    VeltoPage unreadable = archivedVersion(textPage("unreadable", day(0)), day(1));
    VeltoPage comesBackUnavailable = archivedVersion(textPage("cloud", day(0)), day(1));
    VeltoPage latest = changedElsewhere;
    latest.content.asLoaded()->body = "new text from another writer";
    memory.latestPages[changedElsewhere.id] = latest;
    memory.latestPages[comesBackUnavailable.id] = unavailablePage(true, day(0));
    memory.latestPages[comesBackUnavailable.id].id = comesBackUnavailable.id;
    memory.unreadablePages = {unreadable.id};
    VeltoStore &store =
        memory.open(documentOf(current, {heldWhole, summaryOnly, changedElsewhere, unreadable, comesBackUnavailable}));

    EXPECT_FALSE(awaitTask(store.restoreArchivedPage(summaryOnly.id, day(2))));
    EXPECT_FALSE(awaitTask(store.restoreArchivedPage(comesBackUnavailable.id, day(2))));
    EXPECT_FALSE(awaitTask(store.restoreArchivedPage(unreadable.id, day(2))));
    EXPECT_EQ(store.lastSaveErrorDescription(), "The page file “page.md” could not be read. Permission denied");
    EXPECT_FALSE(awaitTask(store.restoreArchivedPage(current.id, day(2))));
    EXPECT_TRUE(memory.saves.empty());

    ASSERT_TRUE(awaitTask(store.restoreArchivedPage(heldWhole.id, day(2))));
    EXPECT_EQ(store.document().currentPage.visibleText(), "held text");
    EXPECT_FALSE(isArchivedPage(store.document().currentPage));
    EXPECT_EQ(store.document().currentPage.updatedAt, day(2));
    EXPECT_FALSE(store.document().currentPage.archivedAt.has_value());

    ASSERT_TRUE(awaitTask(store.restoreArchivedPage(changedElsewhere.id, day(3))));
    EXPECT_EQ(store.document().currentPage.visibleText(), "new text from another writer");
    EXPECT_EQ(store.document().pages.front().id, heldWhole.id);
    EXPECT_EQ(activeOtherPages(store.document()).size(), 2u) << "restoring never applies the active limits";
}

TEST(StorePageOperations, ArchivingOtherPagesSkipsPagesArchivedElsewhere) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage one = textPage("one", day(0));
    VeltoPage archivedElsewhere = textPage("two", day(0));
    memory.latestPages[archivedElsewhere.id] = archivedVersion(archivedElsewhere, day(3));
    VeltoStore &store = memory.open(documentOf(current, {one, archivedElsewhere, unavailablePage(false, day(0))}));

    EXPECT_EQ(awaitTask(store.archiveOtherPages(day(4))), 1);
    EXPECT_TRUE(isArchivedPage(pageIn(store.document(), one.id)));
    EXPECT_EQ(pageIn(store.document(), one.id).archivedAt, day(4));
    EXPECT_EQ(store.document().currentPage.id, current.id);
    EXPECT_EQ(memory.saves.back().archiveMetadataPageRevisions.count(one.id), 1u);

    EXPECT_EQ(awaitTask(store.archiveOtherPages(day(5))), 0) << "no active page with text is left";
}

TEST(StorePageOperations, ArchivingOtherPagesKeepsUnsavedEditsAsAWholeChange) {
    MemoryStore memory;
    memory.holdSaves = true; // the edit is not durable yet when the page is archived
    VeltoPage edited = textPage("as saved", day(0));
    memory.latestPages[edited.id] = edited;
    VeltoStore &store = memory.open(documentOf(edited));
    store.setText("typed, not saved yet", day(1));
    ASSERT_TRUE(store.createNewPage(day(1)).has_value());

    EXPECT_EQ(awaitTask(store.archiveOtherPages(day(2))), 1);
    const VeltoPage &archived = pageIn(store.document(), edited.id);
    EXPECT_TRUE(isArchivedPage(archived));
    EXPECT_EQ(archived.visibleText(), "typed, not saved yet");
    // An archive-only mark would make the save write the file's old text with the new flag.
    EXPECT_EQ(store.mutations().changedPageRevisions.count(edited.id), 1u);
    EXPECT_EQ(store.mutations().archiveMetadataPageRevisions.count(edited.id), 0u);
}

TEST(StorePageOperations, DeletionRemovesOnlyArchivedOtherPages) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage active = textPage("active", day(0));
    VeltoPage archived = archivedVersion(textPage("archived", day(0)), day(1));
    VeltoStore &store = memory.open(documentOf(current, {active, archived}));

    EXPECT_EQ(store.deleteConfirmedArchivedPages({current.id, active.id}), 0);
    EXPECT_TRUE(memory.saves.empty());
    EXPECT_EQ(store.deleteConfirmedArchivedPages({current.id, active.id, archived.id}), 1);
    EXPECT_FALSE(hasPage(store.document(), archived.id));
    EXPECT_EQ(memory.saves.back().removedPageRevisions.count(archived.id), 1u);
}

TEST(StorePageOperations, DeletionAfterReloadRemovesTheFileAndKeepsPendingEdits) {
    DiskStore disk;
    VeltoPage current = textPage("current", day(0));
    VeltoPage archived = archivedVersion(textPage("archived", day(0)), day(1));
    writeLibrary(disk.folder, documentOf(current, {archived}));
    VeltoStore &store = disk.open();
    store.setText("edited before deleting", day(2));

    EXPECT_EQ(awaitTask(store.deleteConfirmedArchivedPagesAfterReload({archived.id})), 1);
    disk.settle();
    VeltoDocument onDisk = disk.reloadedFromDisk();
    EXPECT_FALSE(hasPage(onDisk, archived.id));
    EXPECT_EQ(pageIn(onDisk, current.id).visibleText(), "edited before deleting");
}

TEST(StorePageOperations, WhileRecoveryIsRequiredOperationsChangeOnlyMemory) {
    MemoryStore memory;
    VeltoStore &store = memory.open(VeltoLibraryLoadResult::failed({VeltoStoreRecoveryIssue::Kind::corrupt, "bad"}));
    store.setText("text", day(1));
    ASSERT_TRUE(store.createNewPage(day(1)).has_value());
    store.setText("second", day(1));
    ASSERT_TRUE(store.archiveCurrentPage(day(2)).has_value());
    EXPECT_EQ(store.document().currentPage.visibleText(), "text");
    EXPECT_EQ(store.archiveSnapshot().pageIDs.size(), 1u);
    EXPECT_TRUE(memory.saves.empty());
    EXPECT_FALSE(store.latestScheduledGeneration().has_value());
}

TEST(StorePageOperations, UndoAndRedoOfAPageOperationNeedTheStateItLeft) {
    MemoryStore memory;
    VeltoPage current = textPage("current", day(0));
    VeltoPage other = textPage("other", day(0));
    VeltoStore &store = memory.open(documentOf(current, {other}));
    std::optional<VeltoPageOperation> moved = store.selectPageOperation(other.id);
    ASSERT_TRUE(moved.has_value());

    EXPECT_FALSE(store.apply(*moved, VeltoPageOperationDirection::redo)) << "the library is not in its before state";
    ASSERT_TRUE(store.apply(*moved, VeltoPageOperationDirection::undo));
    EXPECT_EQ(store.document().currentPage.id, current.id);
    ASSERT_TRUE(store.apply(*moved, VeltoPageOperationDirection::redo));
    EXPECT_EQ(store.document().currentPage.id, other.id);

    store.setText("typed after the move", day(3));
    EXPECT_FALSE(store.apply(*moved, VeltoPageOperationDirection::undo));
    EXPECT_EQ(store.document().currentPage.visibleText(), "typed after the move");
}

} // namespace
} // namespace velto
