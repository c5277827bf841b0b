#include "library/metadata/DeletionIndex.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/LibraryErrors.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace {

using namespace velto::librarytesting;
using velto::loadtesting::entryNames;
using namespace VeltoPageLibrary;
using velto::LibraryMetadataError;
using velto::VeltoDeletionIndexShard;
using velto::VeltoDeletionTombstone;
using velto::VeltoWriterState;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
using Tombstones = std::map<velto::Uuid, VeltoDeletionTombstone>;
namespace fs = std::filesystem;

const velto::Uuid page3 = uuid("3f");

VeltoWriterState editsOf(const velto::Uuid &pageID, velto::VeltoWriterVersion stamp) {
    auto state = journal(stamp.writerID);
    state.pageMutations = {mutation(pageID, std::move(stamp))};
    return state;
}

TEST(DeletionIndex, WhichTombstoneIsInForce) {
    auto deleted = tombstone(pageA, version(w1, 2));
    struct Case {
        const char *situation;
        std::vector<VeltoDeletionTombstone> tombstones;
        std::vector<VeltoWriterState> writers;
        std::optional<VeltoDeletionTombstone> inForce;
    };
    const std::vector<Case> cases{
        {"no edit at all", {deleted}, {}, deleted},
        {"edit after the deletion brings the page back",
         {deleted},
         {editsOf(pageA, version(w2, 1, {{w1, 2}}))},
         std::nullopt},
        {"concurrent edit wins", {deleted}, {editsOf(pageA, version(w2, 1))}, std::nullopt},
        {"edit before the deletion", {deleted}, {editsOf(pageA, version(w1, 1))}, deleted},
        {"edit equal to the deletion", {deleted}, {editsOf(pageA, version(w1, 2))}, deleted},
        {"concurrent tombstones: larger writer",
         {deleted, tombstone(pageA, version(w2, 1), "b.md")},
         {},
         tombstone(pageA, version(w2, 1), "b.md")},
    };
    for (const auto &c : cases) {
        auto active = activeDeletionTombstones(c.tombstones, c.writers);
        if (c.inForce) {
            EXPECT_EQ(active, (Tombstones{{pageA, *c.inForce}})) << c.situation;
        } else {
            EXPECT_TRUE(active.empty()) << c.situation;
        }
    }
}

TEST(DeletionIndex, TombstoneIsStoredInTheShardOfItsLowerCaseIdentifier) {
    TemporaryFolder temporary;
    persistCanonicalDeletionIndex({{pageA, tombstone(pageA, version(w1, 1))}}, temporary.path());
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{"v1-a.json"});
    auto shard = VeltoDeletionIndexShard::decode(temporary.readFile(".velto/deletions/v1-a.json"));
    EXPECT_EQ(shard.schemaVersion, 1);
    EXPECT_EQ(shard.shard, "a");
    EXPECT_EQ(loadCanonicalDeletionTombstones(temporary.path()), std::vector{tombstone(pageA, version(w1, 1))});
}

TEST(DeletionIndex, EmptyIndexWithoutDirectoryCreatesNothing) {
    TemporaryFolder temporary;
    persistCanonicalDeletionIndex({}, temporary.path());
    EXPECT_FALSE(temporary.exists(".velto"));
    EXPECT_TRUE(loadCanonicalDeletionTombstones(temporary.path()).empty());
}

TEST(DeletionIndex, EmptyIndexRemovesEveryShardAndStaleFile) {
    TemporaryFolder temporary;
    persistCanonicalDeletionIndex({{pageA, tombstone(pageA, version(w1, 1))}}, temporary.path());
    temporary.writeFile(".velto/deletions/0.json", VeltoDeletionIndexShard{1, "0", {}}.encode());
    temporary.writeFile(".velto/deletions/notes.txt", "kept");
    persistCanonicalDeletionIndex({}, temporary.path());
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{"notes.txt"});
}

TEST(DeletionIndex, UnchangedIndexIsNotRewritten) {
    TemporaryFolder temporary;
    Tombstones index{{pageA, tombstone(pageA, version(w1, 1))}, {page3, tombstone(page3, version(w1, 2), "3.md")}};
    persistCanonicalDeletionIndex(index, temporary.path());
    auto shardA = fileIdentity(temporary / ".velto/deletions/v1-a.json");
    auto shard3 = fileIdentity(temporary / ".velto/deletions/v1-3.json");
    persistCanonicalDeletionIndex(index, temporary.path());
    EXPECT_EQ(fileIdentity(temporary / ".velto/deletions/v1-a.json"), shardA);
    EXPECT_EQ(fileIdentity(temporary / ".velto/deletions/v1-3.json"), shard3);

    index.erase(page3);
    persistCanonicalDeletionIndex(index, temporary.path());
    EXPECT_EQ(fileIdentity(temporary / ".velto/deletions/v1-a.json"), shardA);
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{"v1-a.json"});
}

TEST(DeletionIndex, StaleFileThatChangesTheVerdictFailsVerificationAndStays) {
    TemporaryFolder temporary;
    // Preferred over the tombstone about to be written: a higher sequence of the same writer.
    VeltoDeletionIndexShard stale{1, "a", {tombstone(pageA, version(w1, 9))}};
    temporary.writeFile(".velto/deletions/a.json", stale.encode());
    expectMetadataError(
        [&] {
            persistCanonicalDeletionIndex({{pageA, tombstone(pageA, version(w1, 1))}}, temporary.path());
        },
        LibraryMetadataError::Kind::incompleteDeletionIndex);
    EXPECT_TRUE(temporary.exists(".velto/deletions/a.json"));
}

TEST(DeletionIndex, StaleTombstoneThatAnEditOverrodeIsRemovedWhenJournalsAreGiven) {
    TemporaryFolder temporary;
    // An older writer left "a.json" with a deletion of page A; the page was edited afterwards.
    auto deleted = tombstone(pageA, version(w1, 1));
    temporary.writeFile(".velto/deletions/a.json", VeltoDeletionIndexShard{1, "a", {deleted}}.encode());
    std::vector<VeltoWriterState> journals{editsOf(pageA, version(w2, 1, {{w1, 1}}))};
    auto active = activeDeletionTombstones(loadCanonicalDeletionTombstones(temporary.path()), journals);
    ASSERT_TRUE(active.empty());

    expectMetadataError([&] { persistCanonicalDeletionIndex(active, temporary.path()); },
                        LibraryMetadataError::Kind::incompleteDeletionIndex);
    persistCanonicalDeletionIndex(active, temporary.path(), velto::defaultFileSystem(), journals);
    EXPECT_TRUE(entryNames(temporary / ".velto/deletions").empty());
}

TEST(DeletionIndex, StaleFileThatChangesNothingIsRemovedAfterVerification) {
    TemporaryFolder temporary;
    VeltoDeletionIndexShard stale{1, "a", {tombstone(pageA, version(w1, 1))}};
    temporary.writeFile(".velto/deletions/a.json", stale.encode());
    persistCanonicalDeletionIndex({{pageA, tombstone(pageA, version(w1, 2))}}, temporary.path());
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{"v1-a.json"});
}

TEST(DeletionIndex, ShardsInTheWrongPlaceOrOutsideTheFolderAreRefused) {
    TemporaryFolder temporary;
    temporary.writeFile(".velto/deletions/v1-g.json", VeltoDeletionIndexShard{1, "g", {}}.encode());
    expectMetadataError([&] { loadCanonicalDeletionTombstones(temporary.path()); },
                        LibraryMetadataError::Kind::invalidDeletionShard);

    temporary.writeFile(".velto/deletions/v1-g.json",
                        VeltoDeletionIndexShard{1, "1", {tombstone(uuid("2"), version(w1, 1))}}.encode());
    expectMetadataError([&] { loadCanonicalDeletionTombstones(temporary.path()); },
                        LibraryMetadataError::Kind::invalidDeletionShard);

    temporary.writeFile(".velto/deletions/v1-g.json",
                        VeltoDeletionIndexShard{1, "a", {tombstone(pageA, version(w1, 1), "../x.md")}}.encode());
    expectMetadataError([&] { loadCanonicalDeletionTombstones(temporary.path()); },
                        LibraryMetadataError::Kind::unsafePagePath);
}

TEST(DeletionIndex, NewerShardIsRefused) {
    TemporaryFolder temporary;
    temporary.writeFile(".velto/deletions/v1-a.json", R"({"schemaVersion":2})");
    EXPECT_THROW(loadCanonicalDeletionTombstones(temporary.path()), velto::UnsupportedDeletionIndexSchemaError);
}

TEST(DeletionIndex, LegacyTombstonesAreReadOnePerFile) {
    TemporaryFolder temporary;
    EXPECT_TRUE(loadLegacyDeletionTombstones(temporary.path()).empty());
    temporary.writeFile(".velto/tombstones/one.json", tombstone(pageA, version(w1, 1)).encode());
    temporary.writeFile(".velto/tombstones/two.JSON", "ignored");
    EXPECT_EQ(loadLegacyDeletionTombstones(temporary.path()), std::vector{tombstone(pageA, version(w1, 1))});
    temporary.writeFile(".velto/tombstones/bad.json", tombstone(page3, version(w1, 1), "/abs.md").encode());
    expectMetadataError([&] { loadLegacyDeletionTombstones(temporary.path()); },
                        LibraryMetadataError::Kind::unsafePagePath);
}

TEST(DeletionIndex, SignatureJoinsPathWriterSequenceOperationAndSortedHeads) {
    auto stamp = version(w1, 7, {{w2, 3}, {w1, 2}}, uuid("ab"));
    auto signatures = deletionIndexSignatures({{pageA, tombstone(pageA, stamp, "Notes/a.md")}});
    EXPECT_EQ(signatures.at(pageA), "Notes/a.md|" + w1.lowercaseText() + "|7|" + uuid("ab").lowercaseText() + "|" +
                                        w1.lowercaseText() + ":2," + w2.lowercaseText() + ":3");
}

TEST(DeletionIndex, NewTombstonesOnlyForRemovedPagesWithContent) {
    velto::VeltoLibraryManifest manifest;
    manifest.currentPage = record(uuid("c0"));
    auto empty = record(uuid("e0"));
    empty.hasContent = false;
    manifest.pages = {record(pageA, "Notes/a.md"), empty};
    auto stamp = version(w1, 3);
    auto tombstones = newDeletionTombstones({{pageA, 1}, {uuid("e0"), 1}, {uuid("ff"), 1}}, manifest, stamp);
    EXPECT_EQ(tombstones, std::vector{tombstone(pageA, stamp, "Notes/a.md")});
    EXPECT_TRUE(newDeletionTombstones({{pageA, 1}}, std::nullopt, stamp).empty());
}

TEST(DeletionIndex, EveryFailedStepIsReportedAndARetryCompletesTheIndex) {
    Tombstones index{{pageA, tombstone(pageA, version(w1, 1))}, {page3, tombstone(page3, version(w1, 2), "3.md")}};
    for (std::size_t step = 1;; ++step) {
        TemporaryFolder temporary;
        temporary.writeFile(".velto/deletions/0.json", VeltoDeletionIndexShard{1, "0", {}}.encode());
        FailingFileSystem fileSystem;
        fileSystem.failOperation(step);
        bool threw = false;
        try {
            persistCanonicalDeletionIndex(index, temporary.path(), fileSystem);
        } catch (const std::exception &) {
            threw = true;
        }
        bool injected = fileSystem.injectedFailure();
        if (!threw) {
            EXPECT_EQ(entryNames(temporary / ".velto/deletions"), (std::vector<std::string>{"v1-3.json", "v1-a.json"}))
                << step;
        }
        persistCanonicalDeletionIndex(index, temporary.path());
        EXPECT_EQ(activeDeletionTombstones(loadCanonicalDeletionTombstones(temporary.path()), {}), index) << step;
        if (!injected) {
            break;
        }
    }
}

} // namespace
