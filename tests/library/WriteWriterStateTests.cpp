#include "WriteTestSupport.h"

#include "library/metadata/WriterStates.h"
#include "library/save/WriterStatePersistence.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;
using VeltoPageLibrary::persistWriterState;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");
const Uuid writer = *Uuid::parse("0A000000-0000-4000-8000-00000000000A");
const Uuid otherWriter = *Uuid::parse("0B000000-0000-4000-8000-00000000000B");

VeltoSaveRequest changingA() {
    return requestFor(documentOf(pageWithBody(pageA, "a\n"), {pageWithBody(pageB, "b\n")}), {pageA}, writer);
}

VeltoWriterState stateOf(const Uuid &writerID, std::uint64_t sequence, Date recordedAt) {
    VeltoWriterState state;
    state.writerID = writerID;
    VeltoWriterVersion version{writerID, sequence, recordedAt, Uuid::random(), std::vector<VeltoWriterHead>{}};
    state.pageMutations.push_back({VeltoLibraryPageRecord::fromPage(pageWithBody(pageB, "old b\n")), version});
    return state;
}

TEST(WriterStatePersistence, FirstSaveOfAWriterStartsItsJournalAtSequence1) {
    TemporaryFolder folder;
    auto observed = std::vector<VeltoWriterState>{stateOf(otherWriter, 4, day(3))};
    auto update = persistWriterState(changingA(), folder.path(), defaultFileSystem(), observed);

    EXPECT_EQ(update.version.sequence, 1u);
    EXPECT_EQ(update.version.recordedAt, day(6));
    EXPECT_EQ(update.version.observedWriterHeads, (std::vector<VeltoWriterHead>{{otherWriter, 4}}));
    ASSERT_EQ(update.state.pageMutations.size(), 1u);
    EXPECT_EQ(update.state.pageMutations[0].page.id, pageA);
    EXPECT_FALSE(update.state.structure);
    auto file = folder / ".velto/writers" / (writer.lowercaseText() + ".json");
    EXPECT_EQ(VeltoWriterState::decode(folder.readFile(file.lexically_relative(folder.path()))), update.state);
}

TEST(WriterStatePersistence, LaterSaveFollowsTheLastSequenceAndNeverGoesBackInTime) {
    TemporaryFolder folder;
    auto previous = stateOf(writer, 3, day(9));
    auto update = persistWriterState(changingA(), folder.path(), defaultFileSystem(), {previous});

    EXPECT_EQ(update.version.sequence, 4u);
    EXPECT_EQ(update.version.recordedAt, day(9) + std::chrono::microseconds(1));
    // The earlier entry of page B stays beside this save's entry of page A, sorted by page.
    ASSERT_EQ(update.state.pageMutations.size(), 2u);
    EXPECT_EQ(update.state.pageMutations[0].page.id, pageA);
    EXPECT_EQ(update.state.pageMutations[1].page.id, pageB);
}

TEST(WriterStatePersistence, FrontierHeadOfACompactedWriterKeepsItsNumbering) {
    TemporaryFolder folder;
    VeltoWriterState compacted;
    compacted.writerID = writer;
    compacted.deletionFrontier = std::vector<VeltoWriterHead>{{writer, 7}};
    auto update = persistWriterState(changingA(), folder.path(), defaultFileSystem(), {compacted});
    EXPECT_EQ(update.version.sequence, 8u);
    EXPECT_EQ(update.state.deletionFrontier, compacted.deletionFrontier);
}

TEST(WriterStatePersistence, RemovalAddsADeletionBesideTheEarlierMutationAndStructureFollowsTheDocument) {
    TemporaryFolder folder;
    auto previous = stateOf(writer, 1, day(1));
    auto request = requestFor(documentOf(pageWithBody(pageA, "a\n")), {}, writer);
    request.removedPageRevisions[pageB] = 2;
    request.structureRevision = 2;
    request.changedPageRevisions[Uuid::random()] = 2; // not in the document: no entry

    auto update = persistWriterState(request, folder.path(), defaultFileSystem(), {previous});

    ASSERT_EQ(update.state.deletions.size(), 1u);
    EXPECT_EQ(update.state.deletions[0].pageID, pageB);
    EXPECT_EQ(update.state.pageMutations.size(), 1u);
    ASSERT_TRUE(update.state.structure);
    EXPECT_EQ(update.state.structure->orderedPageIDs, std::vector<Uuid>{pageA});
    EXPECT_EQ(update.state.structure->version, update.version);
}

TEST(WriterStatePersistence, ExhaustedSequenceFailsInsteadOfWrappingAround) {
    TemporaryFolder folder;
    auto previous = stateOf(writer, std::numeric_limits<std::uint64_t>::max(), day(1));
    EXPECT_THROW(persistWriterState(changingA(), folder.path(), defaultFileSystem(), {previous}),
                 WriterSequenceExhaustedError);
}

} // namespace
