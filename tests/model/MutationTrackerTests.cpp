#include "ModelTestValues.h"

#include "model/MutationTracker.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::testvalues;

namespace {

using Revisions = std::map<Uuid, std::uint64_t>;

VeltoDocument twoPages() {
    return {loadedPage(pageA, "A"), {loadedPage(pageB, "B")}};
}

VeltoDocument archiving(VeltoDocument document) {
    document.pages[0].archivedAt = date("2026-03-01T09:30:00Z");
    return document;
}

VeltoDocument editingB(VeltoDocument document, std::string_view text) {
    document.pages[0].content = VeltoPageContent::loaded(VeltoPageFileContent::parse(text));
    return document;
}

// What the store receives from a load: the fields the tracker reads from a structure repair.
struct Repair {
    std::optional<Uuid> createdPageID;
    std::set<Uuid> externallyChangedPageIDs;
    std::set<Uuid> externallyRemovedPageIDs;
};

} // namespace

TEST(MutationTracker, RecordingEqualDocumentsOnlyRaisesTheRevision) {
    VeltoMutationTracker tracker;
    tracker.record(twoPages(), twoPages());
    EXPECT_EQ(tracker, (VeltoMutationTracker{1, {}, {}, {}, std::nullopt}));
}

TEST(MutationTracker, CreatedPageIsChangedAndStampsTheStructure) {
    VeltoMutationTracker tracker;
    VeltoDocument after = twoPages();
    after.pages.push_back(loadedPage(pageC, ""));
    tracker.record(twoPages(), after);
    EXPECT_EQ(tracker.changedPageRevisions, (Revisions{{pageC, 1}}));
    EXPECT_EQ(tracker.structureRevision, 1u);
}

TEST(MutationTracker, SelectingAnotherCurrentPageStampsOnlyTheStructure) {
    VeltoMutationTracker tracker;
    VeltoDocument before = twoPages();
    VeltoDocument after{before.pages[0], {before.currentPage}};
    tracker.record(before, after);
    EXPECT_TRUE(tracker.changedPageRevisions.empty());
    EXPECT_EQ(tracker.structureRevision, 1u);
}

TEST(MutationTracker, ArchiveOnlyMarkIsCancelledByALaterTextEdit) {
    VeltoMutationTracker tracker;
    VeltoDocument archived = archiving(twoPages());
    tracker.record(twoPages(), archived, {pageB});
    EXPECT_EQ(tracker.changedPageRevisions, (Revisions{{pageB, 1}}));
    EXPECT_EQ(tracker.archiveMetadataPageRevisions, (Revisions{{pageB, 1}}));
    EXPECT_EQ(tracker.structureRevision, std::nullopt);

    VeltoMutationTracker compared = tracker;
    compared.record(archived, editingB(archived, "edited"));
    EXPECT_EQ(compared.changedPageRevisions, (Revisions{{pageB, 2}}));
    EXPECT_TRUE(compared.archiveMetadataPageRevisions.empty());

    VeltoMutationTracker marked = tracker; // the store's road for an edit of one page, without copies to compare
    marked.recordPageChange(pageB);
    EXPECT_EQ(marked, compared);
}

TEST(MutationTracker, UnchangedPageKeepsItsEarlierStampAndArchiveMark) {
    VeltoMutationTracker tracker;
    VeltoDocument archived = archiving(twoPages());
    tracker.record(twoPages(), archived, {pageB});
    tracker.record(archived, archived);
    EXPECT_EQ(tracker.changedPageRevisions, (Revisions{{pageB, 1}}));
    EXPECT_EQ(tracker.archiveMetadataPageRevisions, (Revisions{{pageB, 1}}));
}

TEST(MutationTracker, PageThatReturnsIsChangedNotRemoved) {
    VeltoMutationTracker tracker;
    VeltoDocument without{loadedPage(pageA, "A"), {}};
    tracker.record(editingB(twoPages(), "edited"), without);
    EXPECT_EQ(tracker.removedPageRevisions, (Revisions{{pageB, 1}}));
    EXPECT_TRUE(tracker.changedPageRevisions.empty());

    tracker.record(without, twoPages());
    EXPECT_TRUE(tracker.removedPageRevisions.empty());
    EXPECT_EQ(tracker.changedPageRevisions, (Revisions{{pageB, 2}}));
    EXPECT_EQ(tracker.structureRevision, 2u);
}

TEST(MutationTracker, DiscardKeepsWhatWasRecordedAfterTheSaveWasAssembled) {
    VeltoMutationTracker tracker;
    VeltoDocument first = editingB(twoPages(), "one");
    tracker.record(twoPages(), first); // revision 1: carried by the save
    VeltoDocument second{loadedPage(pageC, "C"), {first.currentPage, first.pages[0]}};
    tracker.record(first, second); // revision 2: made while the save was written

    tracker.discardPersistedMutations(1);

    EXPECT_EQ(tracker.changedPageRevisions, (Revisions{{pageC, 2}}));
    EXPECT_EQ(tracker.structureRevision, 2u);
    tracker.discardPersistedMutations(2);
    EXPECT_EQ(tracker, (VeltoMutationTracker{2, {}, {}, {}, std::nullopt}));
}

TEST(MutationTracker, ResetWithoutRepairLeavesNothingPending) {
    VeltoMutationTracker tracker;
    tracker.record(twoPages(), VeltoDocument{loadedPage(pageC, ""), {}});
    tracker.reset(std::optional<Repair>{}, false);
    EXPECT_EQ(tracker, VeltoMutationTracker{});

    tracker.record(twoPages(), twoPages());
    tracker.record(twoPages(), twoPages());
    tracker.reset(std::optional<Repair>{}, true);
    EXPECT_EQ(tracker, (VeltoMutationTracker{2, {}, {}, {}, std::nullopt}));
}

TEST(MutationTracker, ResetWithRepairMarksTheStructureAndRepairedPages) {
    VeltoMutationTracker tracker;
    tracker.reset(std::optional<Repair>{Repair{pageA, {pageB}, {pageC}}}, false);
    EXPECT_EQ(tracker, (VeltoMutationTracker{1, {{pageA, 1}, {pageB, 1}}, {}, {{pageC, 1}}, 1u}));

    tracker.record(twoPages(), twoPages());
    tracker.record(twoPages(), twoPages());
    tracker.reset(std::optional<Repair>{Repair{}}, true);
    EXPECT_EQ(tracker, (VeltoMutationTracker{4, {}, {}, {}, 4u}));
}
