#include "library/metadata/WriterStates.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/LibraryErrors.h"
#include "support/FailingFileSystem.h"
#include "support/ManualClock.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace {

using namespace velto::librarytesting;
using velto::loadtesting::entryNames;
using namespace VeltoPageLibrary;
using velto::VeltoWriterHead;
using velto::VeltoWriterState;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

TEST(WriterStates, WriterHeadsCoverVersionsObservedHeadsAndFrontiers) {
    auto state = journal(w1);
    state.pageMutations.push_back(mutation(pageA, version(w1, 4, {{w2, 7}})));
    EXPECT_EQ(writerHeads({state}), (std::vector<VeltoWriterHead>{{w1, 4}, {w2, 7}}));

    auto other = journal(w3);
    other.deletionFrontier = std::vector<VeltoWriterHead>{{w1, 9}};
    EXPECT_EQ(writerHeads({state, other}), (std::vector<VeltoWriterHead>{{w1, 9}, {w2, 7}}));
}

TEST(WriterStates, MergingOneWritersFilesKeepsThePreferredEntryPerPage) {
    auto first = journal(w1);
    first.pageMutations = {mutation(pageB, version(w1, 2)), mutation(pageA, version(w1, 1))};
    first.deletionFrontier = std::vector<VeltoWriterHead>{{w2, 3}};
    auto second = journal(w1);
    second.pageMutations = {mutation(pageA, version(w1, 5))};
    second.structure = velto::VeltoWriterStructure{pageA, {pageA, pageB}, version(w1, 5)};
    second.deletionFrontier = std::vector<VeltoWriterHead>{{w2, 1}, {w3, 4}};

    auto merged = mergedWriterState({first, second}, w1);
    EXPECT_EQ(merged.writerID, w1);
    EXPECT_EQ(merged.pageMutations, (std::vector{mutation(pageA, version(w1, 5)), mutation(pageB, version(w1, 2))}));
    EXPECT_TRUE(merged.deletions.empty());
    EXPECT_EQ(merged.structure, second.structure);
    EXPECT_EQ(merged.deletionFrontier, (std::vector<VeltoWriterHead>{{w2, 3}, {w3, 4}}));
    EXPECT_EQ(mergedWriterState({journal(w1)}, w1).deletionFrontier, std::nullopt);
}

// A writer's only journal loads as merging it gives it: left as it is when it already is in merged form, and
// otherwise merged and written back, whatever the entries' order, repeats or frontier say.
TEST(WriterStates, AWritersOnlyJournalLoadsAsItsMergedForm) {
    using Heads = std::vector<VeltoWriterHead>;
    auto deletion = [](const velto::Uuid &page, std::uint64_t sequence) {
        return velto::VeltoWriterDeletion{page, version(w1, sequence)};
    };
    struct Case {
        const char *name;
        std::vector<velto::VeltoWriterPageMutation> mutations;
        std::vector<velto::VeltoWriterDeletion> deletions;
        std::optional<Heads> frontier;
    };
    const Case cases[] = {
        {"in page order",
         {mutation(pageA, version(w1, 1)), mutation(pageB, version(w1, 2))},
         {deletion(pageC, 3)},
         Heads{{w2, 1}, {w3, 2}}},
        {"mutations out of order", {mutation(pageB, version(w1, 2)), mutation(pageA, version(w1, 1))}, {}, {}},
        {"one page twice", {mutation(pageA, version(w1, 1)), mutation(pageA, version(w1, 2))}, {}, {}},
        {"deletions out of order", {}, {deletion(pageC, 2), deletion(pageB, 1)}, {}},
        {"one deletion twice", {}, {deletion(pageB, 2), deletion(pageB, 1)}, {}},
        {"empty frontier", {mutation(pageA, version(w1, 1))}, {}, Heads{}},
        {"frontier out of order", {}, {}, Heads{{w3, 2}, {w2, 1}}},
        {"one writer twice in the frontier", {}, {}, Heads{{w2, 1}, {w2, 4}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temporary;
        auto state = journal(w1);
        state.pageMutations = c.mutations;
        state.deletions = c.deletions;
        state.deletionFrontier = c.frontier;
        temporary.writeFile(journalFileName(w1), state.encode());
        auto expected = mergedWriterState({state}, w1);
        EXPECT_EQ(loadWriterStates(temporary.path()), std::vector{expected});
        EXPECT_EQ(VeltoWriterState::decode(temporary.readFile(journalFileName(w1))), expected);
    }
}

TEST(WriterStates, FolderWithoutJournalsLoadsNone) {
    TemporaryFolder temporary;
    EXPECT_TRUE(loadWriterStates(temporary.path()).empty());
}

TEST(WriterStates, TwoFilesOfOneWriterLoadAsOneCanonicalJournal) {
    TemporaryFolder temporary;
    auto canonical = journal(w1);
    canonical.pageMutations = {mutation(pageA, version(w1, 1))};
    auto copy = journal(w1);
    copy.pageMutations = {mutation(pageA, version(w1, 2)), mutation(pageB, version(w1, 2))};
    temporary.writeFile(journalFileName(w1), canonical.encode());
    temporary.writeFile(".velto/writers/conflicted copy.json", copy.encode());
    temporary.writeFile(".velto/writers/notes.JSON", "ignored");

    auto loaded = loadWriterStates(temporary.path());
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].pageMutations, copy.pageMutations);
    EXPECT_EQ(entryNames(temporary / ".velto/writers"),
              (std::vector<std::string>{w1.lowercaseText() + ".json", "notes.JSON"}));
    EXPECT_EQ(VeltoWriterState::decode(temporary.readFile(journalFileName(w1))), loaded[0]);
}

TEST(WriterStates, JournalUnderAnotherNameMovesToItsCanonicalName) {
    TemporaryFolder temporary;
    auto state = journal(w2);
    state.pageMutations = {mutation(pageA, version(w2, 1))};
    temporary.writeFile(".velto/writers/journal.json", state.encode());
    EXPECT_EQ(loadWriterStates(temporary.path()), std::vector{state});
    EXPECT_EQ(entryNames(temporary / ".velto/writers"), std::vector{w2.lowercaseText() + ".json"});
}

TEST(WriterStates, MergedCanonicalJournalIsNotRewrittenButAnUnmergedOneIs) {
    TemporaryFolder temporary;
    auto state = journal(w1);
    state.pageMutations = {mutation(pageA, version(w1, 1))};
    temporary.writeFile(journalFileName(w1), state.encode());
    auto before = fileIdentity(temporary / journalFileName(w1));
    loadWriterStates(temporary.path());
    EXPECT_EQ(fileIdentity(temporary / journalFileName(w1)), before);

    state.pageMutations.push_back(mutation(pageA, version(w1, 2)));
    temporary.writeFile(journalFileName(w1), state.encode());
    auto loaded = loadWriterStates(temporary.path());
    EXPECT_EQ(loaded[0].pageMutations, std::vector{mutation(pageA, version(w1, 2))});
    EXPECT_EQ(VeltoWriterState::decode(temporary.readFile(journalFileName(w1))), loaded[0]);
}

// Decoded journals are kept between loads by their bytes: any change, even one that keeps the file's length or
// breaks it, is read anew.
TEST(WriterStates, AJournalChangedBetweenLoadsIsReadAnew) {
    TemporaryFolder temporary;
    auto first = journal(w1);
    first.pageMutations = {mutation(pageA, version(w1, 1))};
    auto second = first;
    second.pageMutations = {mutation(pageA, version(w1, 2))};
    ASSERT_EQ(first.encode().size(), second.encode().size());

    for (const auto &state : {first, second, first}) {
        temporary.writeFile(journalFileName(w1), state.encode());
        EXPECT_EQ(loadWriterStates(temporary.path()), std::vector{state});
    }
    temporary.writeFile(journalFileName(w1), "{\"writerID\":");
    EXPECT_THROW(loadWriterStates(temporary.path()), velto::JsonDecodingError);
}

TEST(WriterStates, StatesComeBackSortedByWriter) {
    TemporaryFolder temporary;
    temporary.writeFile(journalFileName(w3), journal(w3).encode());
    temporary.writeFile(journalFileName(w1), journal(w1).encode());
    auto loaded = loadWriterStates(temporary.path());
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0].writerID, w1);
    EXPECT_EQ(loaded[1].writerID, w3);
}

TEST(WriterStates, OneUndecodableJournalFailsTheLoadAndChangesNothing) {
    TemporaryFolder temporary;
    temporary.writeFile(".velto/writers/copy.json", journal(w1).encode());
    temporary.writeFile(".velto/writers/broken.json", "{\"writerID\":");
    EXPECT_THROW(loadWriterStates(temporary.path()), velto::JsonDecodingError);
    EXPECT_EQ(entryNames(temporary / ".velto/writers"), (std::vector<std::string>{"broken.json", "copy.json"}));
}

TEST(WriterStates, JournalNamingAPathOutsideTheFolderFailsBeforeAnythingChanges) {
    TemporaryFolder temporary;
    auto state = journal(w1);
    state.pageMutations = {{record(pageA, "../x.md"), version(w1, 1)}};
    temporary.writeFile(".velto/writers/copy.json", state.encode());
    expectMetadataError([&] { loadWriterStates(temporary.path()); }, velto::LibraryMetadataError::Kind::unsafePagePath);
    EXPECT_EQ(entryNames(temporary / ".velto/writers"), std::vector<std::string>{"copy.json"});
}

TEST(WriterStates, NextVersionTimeNeverGoesBack) {
    auto state = journal(w1);
    auto latest = at(1'000);
    state.pageMutations = {mutation(pageA, version(w1, 3, {}, uuid("01"), latest))};
    auto behind = newWriterVersion(w1, uuid("02"), latest - std::chrono::seconds(5), {state});
    EXPECT_EQ(behind.sequence, 4u);
    EXPECT_EQ(behind.recordedAt, latest + std::chrono::microseconds(1));
    auto ahead = newWriterVersion(w1, uuid("02"), latest + std::chrono::seconds(5), {state});
    EXPECT_EQ(ahead.recordedAt, latest + std::chrono::seconds(5));
    auto first = newWriterVersion(w2, uuid("03"), latest - std::chrono::seconds(5), {state});
    EXPECT_EQ(first.sequence, 1u);
    EXPECT_EQ(first.recordedAt, latest - std::chrono::seconds(5));
    EXPECT_EQ(first.observedWriterHeads, (std::vector<VeltoWriterHead>{{w1, 3}}));
}

TEST(WriterStates, NextSequenceFollowsThisWritersHeadsKnownElsewhere) {
    // Compaction removed w1's own journal; its sequence 6 lives on in what the others observed.
    auto other = journal(w2);
    other.pageMutations = {mutation(pageA, version(w2, 2, {{w1, 6}}))};
    auto holder = journal(w3);
    holder.deletionFrontier = std::vector<VeltoWriterHead>{{w1, 4}};
    auto next = newWriterVersion(w1, uuid("09"), at(5'000), {holder, other});
    EXPECT_EQ(next.sequence, 7u);
    EXPECT_EQ(next.causalRelation(other.pageMutations[0].version), velto::VeltoWriterVersion::CausalRelation::follows);
}

velto::VeltoLibraryManifest twoPageManifest() {
    velto::VeltoLibraryManifest manifest;
    manifest.schemaVersion = 3;
    manifest.currentPage = record(pageB);
    manifest.pages = {record(pageA)};
    return manifest;
}

TEST(WriterStates, RebuildOfLibraryWithoutWritersStartsOneNewWriterAtNow) {
    TemporaryFolder temporary;
    velto::testing::ManualClock clock(at(2'000));
    persistRebuildWriterState(twoPageManifest(), {}, temporary.path(), velto::defaultFileSystem(), clock);
    auto names = entryNames(temporary / ".velto/writers");
    ASSERT_EQ(names.size(), 1u);
    auto state = VeltoWriterState::decode(temporary.readFile(".velto/writers/" + names[0]));
    EXPECT_EQ(names[0], state.writerID.lowercaseText() + ".json");
    ASSERT_EQ(state.pageMutations.size(), 2u);
    const auto &stamp = state.pageMutations[0].version;
    EXPECT_EQ(stamp.writerID, state.writerID);
    EXPECT_EQ(stamp.sequence, 1u);
    EXPECT_EQ(stamp.recordedAt, at(2'000));
    EXPECT_EQ(state.pageMutations[0].page.id, pageB);
    EXPECT_EQ(state.pageMutations[1].page.id, pageA);
    ASSERT_TRUE(state.structure);
    EXPECT_EQ(state.structure->currentPageID, pageB);
    EXPECT_EQ(state.structure->orderedPageIDs, (std::vector{pageB, pageA}));
    EXPECT_TRUE(state.deletions.empty());
}

TEST(WriterStates, RebuiltWriterObservesAndFollowsTheExistingWriters) {
    TemporaryFolder temporary;
    auto existing = journal(w1);
    auto latest = at(1'000'000'000);
    existing.pageMutations = {mutation(pageA, version(w1, 5, {{w2, 2}}, uuid("01"), latest))};
    velto::testing::ManualClock clock(at(2'000)); // behind the existing writer's clock
    persistRebuildWriterState(twoPageManifest(), {existing}, temporary.path(), velto::defaultFileSystem(), clock);
    auto names = entryNames(temporary / ".velto/writers");
    ASSERT_EQ(names.size(), 1u);
    auto state = VeltoWriterState::decode(temporary.readFile(".velto/writers/" + names[0]));
    const auto &stamp = state.pageMutations[0].version;
    // JSON keeps whole seconds.
    EXPECT_EQ(stamp.recordedAt, latest);
    EXPECT_EQ(stamp.observedWriterHeads, (std::vector<VeltoWriterHead>{{w1, 5}, {w2, 2}}));
    EXPECT_EQ(state.deletionFrontier, (std::vector<VeltoWriterHead>{{w1, 5}, {w2, 2}}));
    EXPECT_EQ(stamp.causalRelation(existing.pageMutations[0].version),
              velto::VeltoWriterVersion::CausalRelation::follows);
}

TEST(WriterStates, RecordsListCurrentPageFirst) {
    velto::VeltoDocument document;
    document.currentPage.id = pageB;
    velto::VeltoPage other;
    other.id = pageA;
    document.pages = {other};
    auto result = records(document);
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0].id, pageB);
    EXPECT_EQ(result[1].id, pageA);
}

} // namespace

namespace {

TEST(WriterStates, FailedMergeKeepsEveryJournalReadableAndTheNextLoadFinishesIt) {
    auto canonical = journal(w1);
    canonical.pageMutations = {mutation(pageA, version(w1, 1))};
    auto copy = journal(w1);
    copy.pageMutations = {mutation(pageB, version(w1, 2))};
    for (std::size_t step = 1;; ++step) {
        TemporaryFolder temporary;
        temporary.writeFile(journalFileName(w1), canonical.encode());
        temporary.writeFile(".velto/writers/copy.json", copy.encode());
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        std::vector<VeltoWriterState> loaded;
        bool threw = false;
        try {
            loaded = loadWriterStates(temporary.path(), fileSystem);
        } catch (const std::exception &) {
            threw = true;
        }
        if (!fileSystem.injectedFailure()) {
            EXPECT_FALSE(threw);
            break;
        }
        auto again = loadWriterStates(temporary.path());
        ASSERT_EQ(again.size(), 1u) << "step " << step;
        EXPECT_EQ(again[0].pageMutations.size(), 2u) << "step " << step;
        EXPECT_EQ(entryNames(temporary / ".velto/writers"), std::vector{w1.lowercaseText() + ".json"})
            << "step " << step;
    }
}

TEST(WriterStates, FailedRebuildWriteIsThrown) {
    for (std::size_t step = 1;; ++step) {
        TemporaryFolder temporary;
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        bool threw = false;
        try {
            persistRebuildWriterState(twoPageManifest(), {}, temporary.path(), fileSystem);
        } catch (const velto::FileSystemError &) {
            threw = true;
        }
        if (!fileSystem.injectedFailure()) {
            EXPECT_FALSE(threw);
            EXPECT_EQ(entryNames(temporary / ".velto/writers").size(), 1u);
            break;
        }
        EXPECT_TRUE(threw) << "step " << step;
        // Either no journal at all or a complete one: never a partial file under a journal's name.
        for (const auto &name : entryNames(temporary / ".velto/writers")) {
            EXPECT_NO_THROW(VeltoWriterState::decode(temporary.readFile(".velto/writers/" + name))) << name;
        }
    }
}

} // namespace
