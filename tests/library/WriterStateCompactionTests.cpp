#include "library/metadata/WriterStates.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::VeltoDeletionTombstone;
using velto::VeltoWriterHead;
using velto::VeltoWriterState;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
using Tombstones = std::map<velto::Uuid, VeltoDeletionTombstone>;

TEST(WriterStateCompaction, NothingToCompactWritesNothing) {
    TemporaryFolder temporary;
    EXPECT_TRUE(compactWriterStates({}, {}, temporary.path()).empty());
    EXPECT_FALSE(temporary.exists(".velto"));
}

TEST(WriterStateCompaction, SupersededEntriesGoAndEmptiedJournalsAreRemoved) {
    TemporaryFolder temporary;
    auto old = journal(w2);
    old.pageMutations = {mutation(pageA, version(w2, 1))};
    auto newer = journal(w1);
    newer.pageMutations = {mutation(pageA, version(w1, 1, {{w2, 1}}))};
    storeJournals(temporary, {old, newer});

    auto result = compactWriterStates({old, newer}, {}, temporary.path());
    EXPECT_EQ(result, std::vector{newer});
    EXPECT_FALSE(std::filesystem::exists(temporary / journalFileName(w2)));
    EXPECT_TRUE(std::filesystem::exists(temporary / journalFileName(w1)));
}

TEST(WriterStateCompaction, ConcurrentEntriesAllStay) {
    TemporaryFolder temporary;
    auto first = journal(w1);
    first.pageMutations = {mutation(pageA, version(w1, 1))};
    auto second = journal(w2);
    second.deletions = {deletion(pageA, version(w2, 1))};
    auto result = compactWriterStates({first, second}, {}, temporary.path());
    EXPECT_EQ(result, (std::vector{first, second}));
}

TEST(WriterStateCompaction, RepresentedDeletionLeavesJournalsAndRaisesTheFrontier) {
    TemporaryFolder temporary;
    auto deleter = journal(w2);
    deleter.deletions = {deletion(pageA, version(w2, 4, {{w3, 6}}))};
    auto editor = journal(w3);
    editor.pageMutations = {mutation(pageA, version(w3, 2)), mutation(pageB, version(w3, 3))};
    auto holder = journal(w1);
    holder.structure = velto::VeltoWriterStructure{pageB, {pageB}, version(w1, 1, {{w3, 3}})};
    storeJournals(temporary, {deleter, editor, holder});
    Tombstones represented{{pageA, tombstone(pageA, deleter.deletions[0].version)}};

    auto result = compactWriterStates({deleter, editor, holder}, represented, temporary.path());

    // The deleter's journal is empty now; the edit that preceded the deletion went with it.
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].writerID, w3);
    EXPECT_EQ(result[0].pageMutations, std::vector{mutation(pageB, version(w3, 3))});
    EXPECT_EQ(result[0].deletionFrontier, std::nullopt);
    EXPECT_EQ(result[1].writerID, w1);
    EXPECT_EQ(result[1].deletionFrontier, (std::vector<VeltoWriterHead>{{w2, 4}, {w3, 6}}));
    EXPECT_FALSE(std::filesystem::exists(temporary / journalFileName(w2)));
    EXPECT_EQ(VeltoWriterState::decode(temporary.readFile(".velto/writers/" + w1.lowercaseText() + ".json")),
              result[1]);
}

TEST(WriterStateCompaction, MutationConcurrentWithRepresentedDeletionStays) {
    TemporaryFolder temporary;
    auto editor = journal(w3);
    editor.pageMutations = {mutation(pageA, version(w3, 9))};
    Tombstones represented{{pageA, tombstone(pageA, version(w2, 4))}};
    auto result = compactWriterStates({editor}, represented, temporary.path());
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].pageMutations, editor.pageMutations);
}

TEST(WriterStateCompaction, FrontierMovesToTheSmallestWriter) {
    TemporaryFolder temporary;
    auto previousHolder = journal(w2);
    previousHolder.pageMutations = {mutation(pageB, version(w2, 1))};
    previousHolder.deletionFrontier = std::vector<VeltoWriterHead>{{w3, 5}};
    auto newcomer = journal(w1);
    newcomer.pageMutations = {mutation(pageA, version(w1, 1))};
    auto result = compactWriterStates({previousHolder, newcomer}, {}, temporary.path());
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].deletionFrontier, std::nullopt);
    EXPECT_EQ(result[1].deletionFrontier, (std::vector<VeltoWriterHead>{{w3, 5}}));
}

TEST(WriterStateCompaction, FrontierHolderWithNothingElseIsKept) {
    TemporaryFolder temporary;
    auto holder = journal(w1);
    holder.deletionFrontier = std::vector<VeltoWriterHead>{{w2, 2}};
    EXPECT_EQ(compactWriterStates({holder}, {}, temporary.path()), std::vector{holder});
}

TEST(WriterStateCompaction, CompactingCompactedJournalsWritesNothing) {
    TemporaryFolder temporary;
    auto deleter = journal(w2);
    deleter.deletions = {deletion(pageA, version(w2, 4))};
    auto editor = journal(w1);
    editor.pageMutations = {mutation(pageB, version(w1, 3))};
    storeJournals(temporary, {deleter, editor});
    Tombstones represented{{pageA, tombstone(pageA, deleter.deletions[0].version)}};
    auto once = compactWriterStates({deleter, editor}, represented, temporary.path());
    auto before = fileIdentity(temporary / journalFileName(w1));
    auto twice = compactWriterStates(once, represented, temporary.path());
    EXPECT_EQ(twice, once);
    EXPECT_EQ(fileIdentity(temporary / journalFileName(w1)), before);
}

TEST(WriterStateCompaction, FailedWriteIsThrownAndFailedRemovalIgnored) {
    auto old = journal(w2);
    old.pageMutations = {mutation(pageA, version(w2, 1))};
    auto holder = journal(w1);
    holder.pageMutations = {mutation(pageA, version(w1, 1, {{w2, 1}}))};
    auto deleter = journal(w3);
    deleter.deletions = {deletion(pageB, version(w3, 1))};
    Tombstones represented{{pageB, tombstone(pageB, version(w3, 1))}};
    for (std::size_t step = 1;; ++step) {
        TemporaryFolder temporary;
        storeJournals(temporary, {old, holder, deleter});
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        bool threw = false;
        try {
            compactWriterStates({old, holder, deleter}, represented, temporary.path(), fileSystem);
        } catch (const velto::FileSystemError &) {
            threw = true;
        }
        if (!fileSystem.injectedFailure()) {
            EXPECT_FALSE(threw);
            break;
        }
        // Whatever failed, the holder's journal is the old one or the compacted one, never a mix.
        auto holderNow = VeltoWriterState::decode(temporary.readFile(".velto/writers/" + w1.lowercaseText() + ".json"));
        EXPECT_TRUE(holderNow == holder || holderNow.deletionFrontier.has_value()) << "step " << step;
        // A run after the failure finishes the work.
        auto result = compactWriterStates({old, holder, deleter}, represented, temporary.path());
        EXPECT_EQ(result.size(), 1u);
    }
}

} // namespace
