#include "ModelTestValues.h"

#include "model/ContentChecksum.h"
#include "model/DeletionIndex.h"
#include "model/LibraryErrors.h"
#include "model/LibraryManifest.h"
#include "model/LibraryPageRecord.h"
#include "model/MissingFileObservation.h"
#include "model/WriterState.h"

#include <gtest/gtest.h>

using namespace velto;
using namespace velto::testvalues;

namespace {

const std::string idA = "AAAAAAAA-0000-4000-8000-000000000001";
const std::string idB = "BBBBBBBB-0000-4000-8000-000000000002";
const std::string idW = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const std::string idOp = "12345678-90AB-4CDE-8F01-23456789ABCD";

VeltoLibraryPageRecord minimalRecord(const Uuid &id) {
    VeltoLibraryPageRecord record;
    record.id = id;
    record.createdAt = date("2026-03-01T09:30:00Z");
    return record;
}

VeltoLibraryPageRecord fullRecord() {
    VeltoLibraryPageRecord record = minimalRecord(pageA);
    record.fileSlug = "calm-cove";
    record.relativeFilePath = "notes/a.md";
    record.updatedAt = date("2026-03-02T10:00:00Z");
    record.archivedAt = date("2026-03-03T11:00:00Z");
    record.hasContent = true;
    record.contentChecksum = "abc";
    record.bodyChecksum = "def";
    record.fileSize = 12;
    record.isArchived = false;
    return record;
}

const std::string fullRecordJSON = R"({"id":")" + idA +
                                   R"(","createdAt":"2026-03-01T09:30:00Z","fileSlug":"calm-cove",)"
                                   R"("relativeFilePath":"notes\/a.md","updatedAt":"2026-03-02T10:00:00Z",)"
                                   R"("archivedAt":"2026-03-03T11:00:00Z","hasContent":true,"contentChecksum":"abc",)"
                                   R"("bodyChecksum":"def","fileSize":12,"isArchived":false})";

VeltoWriterVersion version(const Uuid &writer, std::uint64_t sequence) {
    return {writer, sequence, date("2026-03-01T09:30:00Z"), operation1, std::nullopt};
}

} // namespace

TEST(ContentChecksum, IsLowerCaseFnv1aWithoutLeadingZerosAndAbsentForEmptyText) {
    EXPECT_EQ(contentChecksum(""), std::nullopt);
    EXPECT_EQ(contentChecksum("a"), "af63dc4c8601ec8c");
    EXPECT_EQ(contentChecksum("foobar"), "85944171f73967e8");
}

// Page records

TEST(PageRecordCoding, FullRecordIsWrittenInDeclarationOrder) {
    EXPECT_EQ(fullRecord().encode(), fullRecordJSON);
    EXPECT_EQ(VeltoLibraryPageRecord::decode(fullRecordJSON), fullRecord());
}

TEST(PageRecordCoding, RecordWithoutOptionalsHasOnlyRequiredKeys) {
    EXPECT_EQ(minimalRecord(pageA).encode(),
              R"({"id":")" + idA + R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false})");
}

TEST(PageRecordCoding, ReadingIsLenient) {
    std::string json = R"({"extra":[1,2],"id":")" + pageA.lowercaseText() +
                       R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false,"fileSlug":null,"fileSize":null})";
    EXPECT_EQ(VeltoLibraryPageRecord::decode(json), minimalRecord(pageA));
}

TEST(PageRecordCoding, MissingRequiredKeyOrWrongTypeFails) {
    EXPECT_THROW(VeltoLibraryPageRecord::decode(R"({"id":")" + idA + R"(","createdAt":"2026-03-01T09:30:00Z"})"),
                 JsonDecodingError);
    EXPECT_THROW(VeltoLibraryPageRecord::decode(R"({"id":")" + idA +
                                                R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":"yes"})"),
                 JsonDecodingError);
    EXPECT_THROW(VeltoLibraryPageRecord::decode(R"({"id":"not-a-uuid","createdAt":"2026-03-01T09:30:00Z",)"
                                                R"("hasContent":true})"),
                 JsonDecodingError);
    EXPECT_THROW(VeltoLibraryPageRecord::decode("[]"), JsonDecodingError);
}

TEST(PageRecordCoding, FractionOfASecondIsNotWrittenSoTheRecordChangesOnRoundTrip) {
    VeltoLibraryPageRecord record = minimalRecord(pageA);
    record.createdAt = date("2026-03-01T09:30:00Z") + std::chrono::milliseconds(500);
    VeltoLibraryPageRecord readBack = VeltoLibraryPageRecord::decode(record.encode());
    EXPECT_EQ(readBack.createdAt, date("2026-03-01T09:30:00Z"));
    EXPECT_NE(readBack, record);
}

TEST(PageRecordFromPage, LoadedPageWithFrontMatterAndEmptyBodyHasContent) {
    VeltoLibraryPageRecord record = VeltoLibraryPageRecord::fromPage(loadedPage(pageA, "---\ntitle: x\n---\n"));
    EXPECT_TRUE(record.hasContent);
    EXPECT_EQ(record.bodyChecksum, std::nullopt);
    EXPECT_EQ(record.isArchived, false);
}

TEST(PageRecordFromPage, EmptyLoadedPageHasNoContentNoChecksumsAndSizeZero) {
    VeltoLibraryPageRecord record = VeltoLibraryPageRecord::fromPage(loadedPage(pageA, ""));
    EXPECT_FALSE(record.hasContent);
    EXPECT_EQ(record.contentChecksum, std::nullopt);
    EXPECT_EQ(record.bodyChecksum, std::nullopt);
    EXPECT_EQ(record.fileSize, 0);
}

TEST(PageRecordFromPage, ChecksumsCoverTheWrittenFileAndTheBody) {
    VeltoPage page = loadedPage(pageA, "Hello");
    page.relativeFilePath = "a.md";
    page.updatedAt = date("2026-03-02T10:00:00Z");
    VeltoLibraryPageRecord record = VeltoLibraryPageRecord::fromPage(page);
    EXPECT_EQ(record.id, pageA);
    EXPECT_EQ(record.createdAt, page.createdAt);
    EXPECT_EQ(record.fileSlug, "calm-cove");
    EXPECT_EQ(record.relativeFilePath, "a.md");
    EXPECT_EQ(record.updatedAt, page.updatedAt);
    // Over "---\nvelto:\n  id: aaaaaaaa-…\n---\nHello", the text as written with the page's metadata.
    EXPECT_EQ(record.contentChecksum, "3a79d7656865d403");
    EXPECT_EQ(record.bodyChecksum, "63f0bfacf2c00f6b");
    // The size of that text too: a load of the saved file finds the size recorded and has nothing to correct.
    EXPECT_EQ(record.fileSize, 63);
    EXPECT_EQ(record.fileSize, static_cast<std::int64_t>(page.persistedFileContents().size()));
}

TEST(PageRecordFromPage, CarriageReturnsCountInSizeButNotInBodyChecksum) {
    VeltoLibraryPageRecord record = VeltoLibraryPageRecord::fromPage(loadedPage(pageA, "one\r\ntwo"));
    EXPECT_EQ(record.fileSize, 70);                     // "---\r\nvelto:\r\n  id: aaaaaaaa-…\r\n---\r\none\r\ntwo"
    EXPECT_EQ(record.bodyChecksum, "fbc855385da633a7"); // "one\ntwo"
    EXPECT_EQ(record.contentChecksum, "3ff4817ad6e5bb2e");
}

TEST(PageRecordFromPage, SummariesGiveTheirValuesAndArchiveState) {
    VeltoPage page = loadedPage(pageA, "");
    page.content = VeltoPageContent::unavailable({77, true, "c1", "b1", std::nullopt});
    VeltoLibraryPageRecord unavailable = VeltoLibraryPageRecord::fromPage(page);
    EXPECT_EQ(unavailable.isArchived, false);
    EXPECT_EQ(unavailable.fileSize, 77);
    EXPECT_EQ(unavailable.contentChecksum, "c1");
    EXPECT_EQ(unavailable.bodyChecksum, "b1");
    EXPECT_TRUE(unavailable.hasContent);

    page.content = VeltoPageContent::archivedSummary({"preview", 5, false, std::nullopt, std::nullopt});
    VeltoLibraryPageRecord archived = VeltoLibraryPageRecord::fromPage(page);
    EXPECT_EQ(archived.isArchived, true);
    EXPECT_FALSE(archived.hasContent);
    EXPECT_EQ(archived.fileSize, 5);
}

TEST(PageRecordMutation, SizeAndArchiveStateDoNotCountAsAMutation) {
    VeltoLibraryPageRecord a = fullRecord();
    VeltoLibraryPageRecord b = a;
    b.fileSize = 99;
    b.isArchived = std::nullopt;
    EXPECT_TRUE(a.describesSamePageMutation(b));
    EXPECT_NE(a, b);
}

TEST(PageRecordMutation, EveryOtherFieldCounts) {
    const VeltoLibraryPageRecord base = fullRecord();
    std::vector<VeltoLibraryPageRecord> changed(9, base);
    changed[0].id = pageB;
    changed[1].createdAt = date("2020-01-01T00:00:00Z");
    changed[2].fileSlug = std::nullopt;
    changed[3].relativeFilePath = "other.md";
    changed[4].updatedAt = std::nullopt;
    changed[5].archivedAt = date("2020-01-01T00:00:00Z");
    changed[6].hasContent = false;
    changed[7].contentChecksum = "abd";
    changed[8].bodyChecksum = std::nullopt;
    for (std::size_t index = 0; index < changed.size(); ++index) {
        EXPECT_FALSE(base.describesSamePageMutation(changed[index])) << "field " << index;
    }
}

// Manifests

TEST(ManifestCoding, ManifestFromDocumentListsItInOrderWithSchema3AndNoCheckpoint) {
    VeltoDocument document{loadedPage(pageA, ""), {loadedPage(pageC, ""), loadedPage(pageB, "")}};
    VeltoLibraryManifest manifest = VeltoLibraryManifest::fromDocument(document);
    EXPECT_EQ(manifest.schemaVersion, 3);
    EXPECT_EQ(manifest.reconciliationCheckpoint, std::nullopt);
    EXPECT_EQ(manifest.currentPage.id, pageA);
    ASSERT_EQ(manifest.pages.size(), 2u);
    EXPECT_EQ(manifest.pages[0].id, pageC);
    EXPECT_EQ(manifest.pages[1].id, pageB);

    std::string json = manifest.encode();
    EXPECT_EQ(json.rfind(R"({"schemaVersion":3,"currentPage":{)", 0), 0u) << json;
    EXPECT_NE(json.find(R"(,"pendingDeletionFileNames":[]})"), std::string::npos) << json;
}

TEST(ManifestCoding, FullManifestRoundTripsByteForByte) {
    VeltoLibraryManifest manifest;
    manifest.schemaVersion = 3;
    manifest.reconciliationCheckpoint = VeltoLibraryReconciliationCheckpoint{16777220, 18446744073709551615ULL};
    manifest.currentPage = minimalRecord(pageA);
    manifest.pages = {fullRecord()};
    manifest.pendingDeletionFileNames = {"2026-01-05-calm-cove-aaaaaaaa.md", "sub/b.md"};
    std::string expected = R"({"schemaVersion":3,"reconciliationCheckpoint":{"deviceID":16777220,)"
                           R"("eventID":18446744073709551615},"currentPage":{"id":")" +
                           idA + R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false},"pages":[)" +
                           fullRecordJSON +
                           R"(],"pendingDeletionFileNames":["2026-01-05-calm-cove-aaaaaaaa.md","sub\/b.md"]})";
    EXPECT_EQ(manifest.encode(), expected);
    EXPECT_EQ(VeltoLibraryManifest::decode(expected), manifest);
}

TEST(ManifestCoding, MissingSchemaVersionAndPendingDeletionsReadAsAbsentAndEmpty) {
    std::string json = R"({"currentPage":{"id":")" + idA +
                       R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false},"pages":[],"future":true})";
    VeltoLibraryManifest manifest = VeltoLibraryManifest::decode(json);
    EXPECT_EQ(manifest.schemaVersion, std::nullopt);
    EXPECT_TRUE(manifest.pendingDeletionFileNames.empty());
    EXPECT_EQ(manifest.encode(), R"({"currentPage":{"id":")" + idA +
                                     R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false},"pages":[],)"
                                     R"("pendingDeletionFileNames":[]})");
}

TEST(ManifestCoding, SchemaVersionsUpToThreeAreAccepted) {
    for (std::string version : {"3", "0", "-5"}) {
        std::string json = R"({"schemaVersion":)" + version + R"(,"currentPage":{"id":")" + idA +
                           R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false},"pages":[]})";
        EXPECT_NO_THROW(VeltoLibraryManifest::decode(json)) << version;
    }
}

TEST(ManifestCoding, NewerSchemaIsRefusedBeforeAnythingElseIsRead) {
    try {
        VeltoLibraryManifest::decode(R"({"schemaVersion":7})");
        FAIL() << "expected the unsupported-schema error";
    } catch (const UnsupportedManifestSchemaError &error) {
        EXPECT_EQ(error.schemaVersion(), 7);
        EXPECT_STREQ(error.what(), "This Velto library uses newer metadata version 7. Update Velto before opening it.");
    }
    EXPECT_THROW(VeltoLibraryManifest::decode(R"({"schemaVersion":4,"pages":"garbage"})"),
                 UnsupportedManifestSchemaError);
}

TEST(ManifestCoding, MissingRequiredKeysFail) {
    EXPECT_THROW(VeltoLibraryManifest::decode(R"({"schemaVersion":3,"pages":[]})"), JsonDecodingError);
    EXPECT_THROW(VeltoLibraryManifest::decode(R"({"currentPage":{"id":")" + idA +
                                              R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false}})"),
                 JsonDecodingError);
    EXPECT_THROW(VeltoLibraryManifest::decode("{not json"), JsonDecodingError);
}

TEST(CheckpointCoding, BothKeysAreRequired) {
    EXPECT_THROW(VeltoLibraryReconciliationCheckpoint::fromJson(decodeJSON(R"({"deviceID":1})")), JsonDecodingError);
    EXPECT_THROW(VeltoLibraryReconciliationCheckpoint::fromJson(decodeJSON(R"({"deviceID":-1,"eventID":2})")),
                 JsonDecodingError);
}

// Writer journals

TEST(WriterStateCoding, EmptyStateHasOnlyWriterAndEmptyLists) {
    VeltoWriterState state{writerW, {}, {}, std::nullopt, std::nullopt};
    std::string expected = R"({"writerID":")" + idW + R"(","pageMutations":[],"deletions":[]})";
    EXPECT_EQ(state.encode(), expected);
    EXPECT_EQ(VeltoWriterState::decode(expected), state);
}

TEST(WriterStateCoding, FullStateRoundTripsByteForByte) {
    VeltoWriterVersion observing = version(writerW, 4);
    observing.observedWriterHeads = std::vector<VeltoWriterHead>{{writerV, 2}, {writerW, 3}};
    VeltoWriterState state{writerW,
                           {{minimalRecord(pageA), observing}},
                           {{pageB, version(writerW, 2)}},
                           VeltoWriterStructure{pageA, {pageA}, version(writerW, 4)},
                           std::vector<VeltoWriterHead>{{writerV, 9}}};
    const std::string versionW2 = R"({"writerID":")" + idW +
                                  R"(","sequence":2,"recordedAt":"2026-03-01T09:30:00Z",)"
                                  R"("operationID":")" +
                                  idOp + R"("})";
    const std::string versionW4 = R"({"writerID":")" + idW +
                                  R"(","sequence":4,"recordedAt":"2026-03-01T09:30:00Z",)"
                                  R"("operationID":")" +
                                  idOp + R"("})";
    std::string expected =
        R"({"writerID":")" + idW + R"(","pageMutations":[{"page":{"id":")" + idA +
        R"(","createdAt":"2026-03-01T09:30:00Z","hasContent":false},"version":{"writerID":")" + idW +
        R"(","sequence":4,"recordedAt":"2026-03-01T09:30:00Z","operationID":")" + idOp +
        R"(","observedWriterHeads":[{"writerID":"0F0F0F0F-1111-4222-8333-444455556666","sequence":2},)"
        R"({"writerID":")" +
        idW + R"(","sequence":3}]}}],"deletions":[{"pageID":")" + idB + R"(","version":)" + versionW2 +
        R"(}],"structure":{"currentPageID":")" + idA + R"(","orderedPageIDs":[")" + idA + R"("],"version":)" +
        versionW4 + R"(},"deletionFrontier":[{"writerID":"0F0F0F0F-1111-4222-8333-444455556666","sequence":9}]})";
    EXPECT_EQ(state.encode(), expected);
    EXPECT_EQ(VeltoWriterState::decode(expected), state);
}

TEST(WriterStateCoding, MissingListsMakeTheJournalUnreadable) {
    EXPECT_THROW(VeltoWriterState::decode(R"({"writerID":")" + idW + R"(","deletions":[]})"), JsonDecodingError);
    EXPECT_THROW(VeltoWriterState::decode(R"({"writerID":")" + idW + R"(","pageMutations":[]})"), JsonDecodingError);
    EXPECT_THROW(VeltoWriterState::decode(R"({"writerID":")" + idW +
                                          R"(","pageMutations":[],"deletions":[{"pageID":")" + idB + R"("}]})"),
                 JsonDecodingError);
}

TEST(WriterStateCoding, NullOptionalsAndUnknownKeysAreIgnoredAndLowerCaseUuidsRead) {
    std::string json = R"({"writerID":")" + writerW.lowercaseText() +
                       R"(","pageMutations":[],"deletions":[],"structure":null,"deletionFrontier":null,"x":{}})";
    EXPECT_EQ(VeltoWriterState::decode(json), (VeltoWriterState{writerW, {}, {}, std::nullopt, std::nullopt}));
}

// Deletion index and missing-file observations

TEST(DeletionShardCoding, EmptyShardIsWrittenWithEmptyList) {
    VeltoDeletionIndexShard shard{1, "a", {}};
    EXPECT_EQ(shard.encode(), R"({"schemaVersion":1,"shard":"a","deletions":[]})");
}

TEST(DeletionShardCoding, ShardRoundTripsByteForByte) {
    VeltoDeletionIndexShard shard{1, "a", {{pageA, "notes/a.md", version(writerW, 2)}}};
    std::string expected = R"({"schemaVersion":1,"shard":"a","deletions":[{"pageID":")" + idA +
                           R"(","relativeFilePath":"notes\/a.md","version":{"writerID":")" + idW +
                           R"(","sequence":2,"recordedAt":"2026-03-01T09:30:00Z","operationID":")" + idOp + R"("}}]})";
    EXPECT_EQ(shard.encode(), expected);
    EXPECT_EQ(VeltoDeletionIndexShard::decode(expected), shard);
}

TEST(DeletionShardCoding, SchemaVersionDecidesFirst) {
    EXPECT_NO_THROW(VeltoDeletionIndexShard::decode(R"({"schemaVersion":0,"shard":"0","deletions":[]})"));
    EXPECT_NO_THROW(VeltoDeletionIndexShard::decode(R"({"schemaVersion":-1,"shard":"0","deletions":[]})"));
    try {
        VeltoDeletionIndexShard::decode(R"({"schemaVersion":2})");
        FAIL() << "expected the unsupported deletion-metadata error";
    } catch (const UnsupportedDeletionIndexSchemaError &error) {
        EXPECT_STREQ(error.what(),
                     "This Velto library uses newer deletion metadata version 2. Update Velto before opening it.");
    }
    EXPECT_THROW(VeltoDeletionIndexShard::decode(R"({"shard":"0","deletions":[]})"), JsonDecodingError);
}

TEST(DeletionShardCoding, ShardNameIsNotValidatedWhenRead) {
    EXPECT_EQ(VeltoDeletionIndexShard::decode(R"({"schemaVersion":1,"shard":"g","deletions":[]})").shard, "g");
    EXPECT_EQ(VeltoDeletionIndexShard::decode(R"({"schemaVersion":1,"shard":"A","deletions":[]})").shard, "A");
}

TEST(DeletionTombstone, RecordedTimeOfTheVersionCountsForEquality) {
    VeltoDeletionTombstone a{pageA, "a.md", version(writerW, 2)};
    VeltoDeletionTombstone b = a;
    b.version.recordedAt = date("2026-03-01T09:31:00Z");
    EXPECT_NE(a, b);
}

TEST(DeletionTombstone, AllKeysAreRequired) {
    std::string versionJSON = R"({"writerID":")" + idW +
                              R"(","sequence":2,"recordedAt":"2026-03-01T09:30:00Z",)"
                              R"("operationID":")" +
                              idOp + R"("})";
    EXPECT_THROW(VeltoDeletionTombstone::decode(R"({"pageID":")" + idA + R"(","version":)" + versionJSON + "}"),
                 JsonDecodingError);
    EXPECT_NO_THROW(VeltoDeletionTombstone::decode(R"({"pageID":")" + idA +
                                                   R"(","relativeFilePath":"a.md","version":)" + versionJSON + "}"));
}

// The checksum of what the deletion saw is optional: a tombstone of an earlier version, without it, still reads, and
// one without it is written as that version wrote it, so that its readers see nothing new.
TEST(DeletionTombstone, TheBytesTheDeletionSawAreAnOptionalKey) {
    VeltoDeletionTombstone proven{pageA, "a.md", version(writerW, 2), "af63dc4c8601ec8c"};
    VeltoDeletionTombstone unproven{pageA, "a.md", version(writerW, 2)};
    EXPECT_EQ(VeltoDeletionTombstone::decode(proven.encode()), proven);
    EXPECT_NE(proven.encode().find(R"("removedFileChecksum":"af63dc4c8601ec8c")"), std::string::npos);
    EXPECT_EQ(unproven.encode().find("removedFileChecksum"), std::string::npos);
    EXPECT_EQ(VeltoDeletionTombstone::decode(unproven.encode()), unproven);
    EXPECT_NE(proven, unproven);
}

TEST(MissingFileObservationCoding, RoundTripsAndRequiresEveryKey) {
    VeltoMissingFileObservation observation{pageA, "notes/a.md", date("2026-03-01T09:30:00Z")};
    std::string expected =
        R"({"pageID":")" + idA + R"(","relativeFilePath":"notes\/a.md","firstObservedAt":"2026-03-01T09:30:00Z"})";
    EXPECT_EQ(observation.encode(), expected);
    EXPECT_EQ(VeltoMissingFileObservation::decode(expected), observation);
    EXPECT_THROW(VeltoMissingFileObservation::decode(R"({"pageID":")" + idA + R"(","relativeFilePath":"a.md"})"),
                 JsonDecodingError);
}
