// Folding writers' journals and tombstones over a base manifest.

#include "library/metadata/ManifestReconciliation.h"

#include "LibraryTestValues.h"

#include <gtest/gtest.h>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::VeltoLibraryManifest;
using velto::VeltoWriterState;

const velto::Uuid writer1 = uuid("01");
const velto::Uuid writer2 = uuid("02");

VeltoLibraryManifest base(std::vector<velto::VeltoLibraryPageRecord> records) {
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = 2;
    manifest.reconciliationCheckpoint = velto::VeltoLibraryReconciliationCheckpoint{1, 9};
    manifest.currentPage = records.front();
    manifest.pages.assign(records.begin() + 1, records.end());
    return manifest;
}

std::vector<velto::Uuid> order(const VeltoLibraryManifest &manifest) {
    std::vector<velto::Uuid> ids{manifest.currentPage.id};
    for (const auto &record : manifest.pages) {
        ids.push_back(record.id);
    }
    return ids;
}

TEST(Reconciliation, NothingToFoldYieldsNoManifest) {
    EXPECT_FALSE(reconciledManifest(std::nullopt, {}, {}));
}

TEST(Reconciliation, OutputIsSchemaThreeWithTheBaseCheckpoint) {
    auto result = reconciledManifest(base({record(pageA), record(pageB)}), {}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->schemaVersion, 3);
    EXPECT_EQ(result->reconciliationCheckpoint, (velto::VeltoLibraryReconciliationCheckpoint{1, 9}));
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA, pageB}));
}

TEST(Reconciliation, RepeatedCurrentPageIsListedOnceWithTheRecordFromPages) {
    auto repeated = record(pageA, "later.md");
    auto result = reconciledManifest(base({record(pageA), record(pageB), repeated}), {}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA, pageB}));
    EXPECT_EQ(result->currentPage.relativeFilePath, "later.md");
}

TEST(Reconciliation, SecondRecordOfOneFileIsLeftOut) {
    const velto::Uuid writer = uuid("10");
    auto edits = journal(writer);
    edits.pageMutations = {{record(pageC, "shared.md"), version(writer, 1)}};
    auto result = reconciledManifest(base({record(pageA, "shared.md"), record(pageB, "other.md")}), {edits}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA, pageB}));
}

// How a mutation and a deletion of one page meet: the mutation's version against the deletion's.
struct MutationAgainstDeletion {
    const char *name;
    velto::VeltoWriterVersion mutationVersion;
    velto::VeltoWriterVersion deletionVersion;
    bool pageStays;
};

class MutationAgainstDeletionTest : public testing::TestWithParam<MutationAgainstDeletion> {};

TEST_P(MutationAgainstDeletionTest, DecidesWhetherThePageStays) {
    const auto &example = GetParam();
    auto ofWriter1 = journal(writer1);
    ofWriter1.pageMutations.push_back({record(pageB, "b-edited.md"), example.mutationVersion});
    auto other = journal(writer2);
    other.deletions.push_back(deletion(pageB, example.deletionVersion));

    auto result = reconciledManifest(base({record(pageA), record(pageB, "b.md")}), {ofWriter1, other}, {});
    ASSERT_TRUE(result);
    if (example.pageStays) {
        EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA, pageB}));
        EXPECT_EQ(result->pages.front().relativeFilePath, "b-edited.md");
        EXPECT_TRUE(result->pendingDeletionFileNames.empty());
    } else {
        EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA}));
        EXPECT_EQ(result->pendingDeletionFileNames, std::vector<std::string>{"b.md"});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reconciliation, MutationAgainstDeletionTest,
    testing::Values(
        MutationAgainstDeletion{"Equal", version(writer1, 1), version(writer1, 1), false},
        MutationAgainstDeletion{"MutationPrecedes", version(writer1, 1), version(writer2, 1, {{writer1, 1}}), false},
        MutationAgainstDeletion{"MutationFollows", version(writer1, 2, {{writer2, 1}}), version(writer2, 1), true},
        MutationAgainstDeletion{"Concurrent", version(writer1, 1), version(writer2, 1), true}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Reconciliation, TombstoneRemovesAPageThatAnOlderJournalEntryStillHolds) {
    auto ofWriter1 = journal(writer1);
    ofWriter1.pageMutations.push_back({record(pageB, "b.md"), version(writer1, 1)});
    auto tombstoneOfB = tombstone(pageB, version(writer2, 1, {{writer1, 1}}), "b.md");
    auto result = reconciledManifest(base({record(pageA), record(pageB, "b.md")}), {ofWriter1}, {tombstoneOfB});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA}));
    EXPECT_EQ(result->pendingDeletionFileNames, std::vector<std::string>{"b.md"});
}

TEST(Reconciliation, DeletedPagesWithoutContentOrRecordLeaveNoPendingName) {
    auto empty = record(pageB, "b.md");
    empty.hasContent = false;
    auto result = reconciledManifest(base({record(pageA), empty}), {},
                                     {tombstone(pageB, version(writer1, 1)), tombstone(pageC, version(writer1, 2))});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA}));
    EXPECT_TRUE(result->pendingDeletionFileNames.empty());
}

TEST(Reconciliation, ConcurrentStructuresAreDecidedByTheGreaterWriter) {
    auto first = journal(writer1);
    first.structure = velto::VeltoWriterStructure{pageB, {pageB, pageA, pageC}, version(writer1, 1)};
    auto second = journal(writer2);
    second.structure = velto::VeltoWriterStructure{pageC, {pageC, pageB, pageA}, version(writer2, 1)};
    auto result = reconciledManifest(base({record(pageA), record(pageB), record(pageC)}), {first, second}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageC, pageB, pageA}));
}

TEST(Reconciliation, StructureWhoseCurrentPageIsDeletedFallsBackToTheMostRecentlyActive) {
    auto records = std::vector{record(pageA), record(pageB), record(pageC)};
    records[1].updatedAt = at(2'000'000'000);
    auto ofWriter1 = journal(writer1);
    ofWriter1.structure = velto::VeltoWriterStructure{pageC, {pageC, pageA, pageB}, version(writer1, 1)};
    auto result = reconciledManifest(base(records), {ofWriter1}, {tombstone(pageC, version(writer1, 2))});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->currentPage.id, pageB);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageB, pageA}));
}

TEST(Reconciliation, StructureEntriesThatNameNothingAreSkippedAndUnknownPagesFollowInIdentifierOrder) {
    auto ofWriter1 = journal(writer1);
    // D is known only from a mutation; C only from the base; the structure names a page without record.
    ofWriter1.pageMutations.push_back({record(pageD), version(writer1, 1)});
    ofWriter1.structure = velto::VeltoWriterStructure{pageA, {uuid("ee"), pageB, pageA, pageB}, version(writer1, 1)};
    auto result = reconciledManifest(base({record(pageA), record(pageC), record(pageB)}), {ofWriter1}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(order(*result), (std::vector<velto::Uuid>{pageA, pageB, pageC, pageD}));
}

TEST(Reconciliation, OnlyManagedPendingNamesSurvive) {
    auto manifest = base({record(pageA)});
    manifest.pendingDeletionFileNames = {"/abs.md",   "a/../b.md", "a//b.md",    ".velto/x.md",
                                         "notes.txt", "KEEP.MD",   "sub/keep.md"};
    auto result = reconciledManifest(manifest, {}, {});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->pendingDeletionFileNames, (std::vector<std::string>{"KEEP.MD", "sub/keep.md"}));
}

} // namespace
