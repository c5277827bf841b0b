#include "ModelTestValues.h"

#include "model/StoredForm.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <tuple>

using namespace velto;
using namespace velto::testvalues;

namespace {

// Byte for byte: the records' own equality takes canonically equivalent texts as equal.
auto fieldsOf(const VeltoLibraryPageRecord &r) {
    return std::tie(r.id, r.createdAt, r.fileSlug, r.relativeFilePath, r.updatedAt, r.archivedAt, r.hasContent,
                    r.contentChecksum, r.bodyChecksum, r.fileSize, r.isArchived);
}

void expectExactlyEqual(const VeltoWriterState &a, const VeltoWriterState &b) {
    EXPECT_EQ(a.writerID, b.writerID);
    ASSERT_EQ(a.pageMutations.size(), b.pageMutations.size());
    for (std::size_t index = 0; index < a.pageMutations.size(); ++index) {
        EXPECT_TRUE(fieldsOf(a.pageMutations[index].page) == fieldsOf(b.pageMutations[index].page));
        EXPECT_EQ(a.pageMutations[index].version, b.pageMutations[index].version);
    }
    EXPECT_EQ(a.deletions, b.deletions); // identifiers and versions only: no texts
    EXPECT_EQ(a.structure, b.structure);
    EXPECT_EQ(a.deletionFrontier, b.deletionFrontier);
}

void expectExactlyEqual(const VeltoLibraryManifest &a, const VeltoLibraryManifest &b) {
    EXPECT_EQ(a.schemaVersion, b.schemaVersion);
    EXPECT_EQ(a.reconciliationCheckpoint, b.reconciliationCheckpoint);
    EXPECT_TRUE(fieldsOf(a.currentPage) == fieldsOf(b.currentPage));
    ASSERT_EQ(a.pages.size(), b.pages.size());
    for (std::size_t index = 0; index < a.pages.size(); ++index) {
        EXPECT_TRUE(fieldsOf(a.pages[index]) == fieldsOf(b.pages[index])) << "page " << index;
    }
    EXPECT_TRUE(a.pendingDeletionFileNames == b.pendingDeletionFileNames);
}

VeltoLibraryPageRecord plainRecord(const Uuid &id) {
    VeltoLibraryPageRecord record;
    record.id = id;
    record.createdAt = date("2026-03-01T09:30:00Z");
    record.fileSlug = "calm-cove";
    record.updatedAt = date("2026-03-02T10:00:00Z");
    record.hasContent = true;
    record.contentChecksum = "e71fa2190541574b";
    record.bodyChecksum = "ac21707b7181e01a";
    record.fileSize = 12;
    record.isArchived = false;
    return record;
}

} // namespace

// A save keeps the manifest and the journal it wrote as what the next read of the file gives, so those values
// must be exactly what decoding the written bytes gives, for every kind of value a record or version can hold.
TEST(StoredForm, IsExactlyWhatDecodingTheWrittenManifestOrJournalGives) {
    using namespace std::chrono;
    const std::string notUTF8 = "caf\xE9";
    struct Case {
        const char *name;
        std::function<void(VeltoLibraryPageRecord &)> change;
        std::function<void(VeltoWriterVersion &)> changeVersion = [](auto &) {};
    };
    const Case cases[] = {
        {"as stored already", [](auto &) {}},
        {"no optional field",
         [](auto &r) {
             VeltoLibraryPageRecord bare;
             bare.id = r.id;
             bare.createdAt = r.createdAt;
             r = bare;
         }},
        {"fraction of a second", [](auto &r) { r.updatedAt = *r.updatedAt + nanoseconds(999'999'999); }},
        {"created in a fraction", [](auto &r) { r.createdAt += microseconds(1); }},
        {"archived in a fraction", [](auto &r) { r.archivedAt = r.createdAt + milliseconds(1); }},
        {"before 1970", [](auto &r) { r.createdAt = date("1969-12-31T23:59:59Z"); }},
        {"before 1970 in a fraction", [](auto &r) { r.createdAt = date("1960-06-01T00:00:00Z") - nanoseconds(1); }},
        {"path not UTF-8", [&](auto &r) { r.relativeFilePath = "notes/" + notUTF8 + ".md"; }},
        {"slug not UTF-8", [&](auto &r) { r.fileSlug = notUTF8; }},
        {"checksum not UTF-8", [&](auto &r) { r.bodyChecksum = notUTF8; }},
        {"control characters", [](auto &r) { r.relativeFilePath = std::string("a\tb\n\x01\0.md", 9); }},
        {"quotes and backslashes", [](auto &r) { r.fileSlug = "say \"hi\" \\ /"; }},
        {"decomposed and astral text", [](auto &r) { r.fileSlug = "cafe\xCC\x81 \xF0\x9F\x8C\x8A"; }},
        {"surrogate encoded in UTF-8", [](auto &r) { r.fileSlug = "\xED\xA0\x80"; }},
        {"extreme sizes", [](auto &r) { r.fileSize = std::numeric_limits<std::int64_t>::min(); }},
        {"version in a fraction", [](auto &) {}, [](auto &v) { v.recordedAt += microseconds(1); }},
        {"version before 1970", [](auto &) {}, [](auto &v) { v.recordedAt = date("1969-07-20T20:17:40Z"); }},
        {"version without heads", [](auto &) {}, [](auto &v) { v.observedWriterHeads.reset(); }},
        {"version with no heads", [](auto &) {}, [](auto &v) { v.observedWriterHeads.emplace(); }},
        {"largest sequence", [](auto &) {}, [](auto &v) { v.sequence = std::numeric_limits<std::uint64_t>::max(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        VeltoLibraryManifest manifest;
        manifest.schemaVersion = VeltoLibraryManifest::currentSchemaVersion;
        manifest.reconciliationCheckpoint = {{std::numeric_limits<std::uint64_t>::max(), 7}};
        manifest.currentPage = plainRecord(pageA);
        manifest.pages = {plainRecord(pageB), plainRecord(pageC)};
        c.change(manifest.currentPage);
        c.change(manifest.pages[1]);
        manifest.pendingDeletionFileNames = {"old.md"};

        // The manifest is written without its JSON tree: byte for byte what the tree gives.
        EXPECT_EQ(manifest.encode(), encodeJSON(manifest.toJson()));
        auto stored = manifestAsStored(manifest);
        ASSERT_TRUE(stored.has_value());
        expectExactlyEqual(*stored, VeltoLibraryManifest::decode(manifest.encode()));

        VeltoWriterVersion version{writerW, 3, date("2026-03-02T10:00:00Z"), operation1, {{{writerV, 2}}}};
        c.changeVersion(version);
        VeltoWriterState journal{writerW,
                                 {{plainRecord(pageA), version}, {manifest.pages[1], version}},
                                 {{pageB, version}},
                                 VeltoWriterStructure{pageA, {pageA, pageC}, version},
                                 std::vector<VeltoWriterHead>{{writerV, 1}}};
        EXPECT_EQ(journal.encode(), encodeJSON(journal.toJson()));
        auto storedJournal = journalAsStored(journal);
        ASSERT_TRUE(storedJournal.has_value());
        expectExactlyEqual(*storedJournal, VeltoWriterState::decode(journal.encode()));
    }
}

TEST(StoredForm, IsNotToldForWhatWouldNotReadBackAsItIs) {
    VeltoLibraryManifest newer;
    newer.schemaVersion = VeltoLibraryManifest::currentSchemaVersion + 1;
    newer.currentPage = plainRecord(pageA);
    EXPECT_EQ(manifestAsStored(newer), std::nullopt);

    VeltoLibraryManifest pendingNotUTF8;
    pendingNotUTF8.currentPage = plainRecord(pageA);
    pendingNotUTF8.pendingDeletionFileNames = {"caf\xE9.md"};
    EXPECT_EQ(manifestAsStored(pendingNotUTF8), std::nullopt);
}
