#include "library/removal/PendingDeletions.h"

#include "LibraryTestValues.h"
#include "model/ContentChecksum.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>

namespace {

using namespace velto::librarytesting;
using namespace VeltoPageLibrary;
using velto::VeltoDeletionTombstone;
using velto::testing::FailingFileSystem;
using velto::testing::TemporaryFolder;
using Tombstones = std::map<velto::Uuid, VeltoDeletionTombstone>;
namespace fs = std::filesystem;

/// A tombstone as a deleting save writes it: with the checksum of the bytes it saw in the page's file.
VeltoDeletionTombstone tombstoneHavingSeen(const velto::Uuid &pageID, const std::string &name,
                                           const std::string &bytes) {
    auto deleted = tombstone(pageID, version(w1, 1), name);
    deleted.removedFileChecksum = velto::contentChecksum(bytes).value_or("");
    return deleted;
}

RemoveOperation removingFiles(std::vector<fs::path> &removed) {
    return [&removed](const fs::path &url) {
        removed.push_back(url);
        fs::remove(url);
    };
}

TEST(PendingDeletions, RetryRemovesOnlyFilesStillHoldingTheDeletedPage) {
    TemporaryFolder temporary;
    temporary.writeFile("deleted.md", pageFileText(pageA));
    temporary.writeFile("reused.md", pageFileText(pageB)); // the name now belongs to another page
    temporary.writeFile("plain.md", "no front matter\n");
    temporary.writeFile("orphan.md", pageFileText(pageA)); // no tombstone names it
    temporary.writeFile("binary.md", std::string("\xff\xfe", 2));
    Tombstones active{{pageA, tombstoneHavingSeen(pageA, "deleted.md", pageFileText(pageA))},
                      {pageB, tombstone(uuid("c0"), version(w1, 1), "reused.md")},
                      {uuid("d0"), tombstone(uuid("d0"), version(w1, 1), "plain.md")},
                      {uuid("e0"), tombstone(uuid("e0"), version(w1, 1), "binary.md")},
                      {uuid("f0"), tombstone(uuid("f0"), version(w1, 1), "gone.md")}};
    std::vector<fs::path> removed;
    auto pending = retryPendingDeletions(
        {"deleted.md", "reused.md", "plain.md", "orphan.md", "binary.md", "gone.md", "../outside.md", "notes.txt"},
        temporary.path(), velto::defaultFileSystem(), active, removingFiles(removed));
    EXPECT_TRUE(pending.empty());
    EXPECT_EQ(removed, std::vector<fs::path>{fs::canonical(temporary.path()) / "deleted.md"});
    EXPECT_FALSE(temporary.exists("deleted.md"));
    for (const char *kept : {"reused.md", "plain.md", "orphan.md", "binary.md"}) {
        EXPECT_TRUE(temporary.exists(kept)) << kept;
    }
}

TEST(PendingDeletions, FailedRemovalStaysPendingInOrder) {
    TemporaryFolder temporary;
    temporary.writeFile("b.md", pageFileText(pageB));
    temporary.writeFile("a.md", pageFileText(pageA));
    Tombstones active{{pageA, tombstoneHavingSeen(pageA, "a.md", pageFileText(pageA))},
                      {pageB, tombstoneHavingSeen(pageB, "b.md", pageFileText(pageB))}};
    auto pending =
        retryPendingDeletions({"b.md", "a.md"}, temporary.path(), velto::defaultFileSystem(), active,
                              [](const fs::path &url) { throw velto::FileSystemError(EACCES, url, "remove"); });
    EXPECT_EQ(pending, (std::vector<std::string>{"b.md", "a.md"}));
}

/// The page files of the folder itself, by name, with their texts.
std::map<std::string, std::string> pageFilesIn(const TemporaryFolder &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : fs::directory_iterator(folder.path())) {
        auto name = entry.path().filename().string();
        if (name.ends_with(".md") && !name.starts_with(".")) {
            files.emplace(name, folder.readFile(name));
        }
    }
    return files;
}

// A removal that failed is tried again at a later save; another program may have written into the file meanwhile.
// The file goes only while it holds what it held when its removal failed; otherwise its text is kept as a conflict
// copy of the deleted page, as the save that deleted the page keeps a file changed since it was read.
TEST(PendingDeletions, FileChangedAfterItsRemovalFailedIsKeptAsAConflictCopy) {
    TemporaryFolder temporary;
    temporary.writeFile("changed.md", pageFileText(pageA, "deleted text\n"));
    temporary.writeFile("unchanged.md", pageFileText(pageB, "deleted too\n"));
    temporary.createFolder(".velto");
    Tombstones active{{pageA, tombstoneHavingSeen(pageA, "changed.md", pageFileText(pageA, "deleted text\n"))},
                      {pageB, tombstoneHavingSeen(pageB, "unchanged.md", pageFileText(pageB, "deleted too\n"))}};
    FailingFileSystem unremovable;
    unremovable.countOnly({velto::FileOperation::remove});
    unremovable.failFromOperation(1, EACCES);
    std::vector<std::string> names{"changed.md", "unchanged.md"};
    ASSERT_EQ(retryPendingDeletions(names, temporary.path(), unremovable, active), names);
    temporary.writeFile("changed.md", temporary.readFile("changed.md") + "their line\n");

    EXPECT_TRUE(retryPendingDeletions(names, temporary.path(), velto::defaultFileSystem(), active).empty());

    auto files = pageFilesIn(temporary);
    ASSERT_EQ(files.size(), 1u) << "both files go, and one conflict copy comes";
    const auto &[copyName, copyText] = *files.begin();
    EXPECT_NE(copyName.find("conflict-copy"), std::string::npos) << copyName;
    auto copy = velto::VeltoPageFileContent::parse(copyText);
    EXPECT_EQ(copy.body.text(), "deleted text\ntheir line\n");
    EXPECT_EQ(copy.conflictOriginalPageID(), pageA);
    EXPECT_NE(copy.veltoPageID(), pageA) << "the copy would take the deleted page's place";
}

// A deletion that saw no bytes of its file (it could not read it, or an earlier version deleted the page without
// noting them) proves nothing: a file that carries the page later is kept as a copy of it, never removed, whatever
// it holds. One proven by the deletion's bytes goes while it holds them, and is kept as a copy once it holds more.
TEST(PendingDeletions, FileCarryingADeletedPageGoesOnlyOnTheDeletionsProof) {
    struct Case {
        const char *name;
        bool deletionSawTheBytes;
        bool lineAddedSince;
        bool fileGoesWithoutACopy;
    };
    const Case cases[] = {
        {"proven and unchanged", true, false, true},
        {"proven, with a line added", true, true, false},
        {"unproven and unchanged", false, false, false},
        {"unproven, with a line added", false, true, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder temporary;
        temporary.createFolder(".velto");
        const std::string seen = pageFileText(pageA, "deleted text\n");
        const std::string now = c.lineAddedSince ? seen + "their line\n" : seen;
        temporary.writeFile("deleted.md", now);
        auto deleted = c.deletionSawTheBytes ? tombstoneHavingSeen(pageA, "deleted.md", seen)
                                             : tombstone(pageA, version(w1, 1), "deleted.md");
        velto::VeltoLibraryManifest base;
        base.currentPage = record(uuid("c0"), "c.md");

        auto listed = manifest(base, {deleted}, temporary.path());
        ASSERT_EQ(listed.pendingDeletionFileNames, std::vector<std::string>{"deleted.md"});
        std::vector<VeltoSaveConflict> kept;
        EXPECT_TRUE(retryPendingDeletions(listed.pendingDeletionFileNames, temporary.path(), velto::defaultFileSystem(),
                                          {{pageA, deleted}}, {}, &kept)
                        .empty());

        auto files = pageFilesIn(temporary);
        if (c.fileGoesWithoutACopy) {
            EXPECT_TRUE(files.empty());
            EXPECT_TRUE(kept.empty());
            continue;
        }
        ASSERT_EQ(files.size(), 1u);
        ASSERT_EQ(kept.size(), 1u) << "the copy is not reported";
        EXPECT_EQ(kept[0].originalPageID, pageA);
        const auto &[copyName, copyText] = *files.begin();
        EXPECT_NE(copyName.find("conflict-copy"), std::string::npos) << copyName;
        EXPECT_EQ(velto::VeltoPageFileContent::parse(copyText).body.text(),
                  velto::VeltoPageFileContent::parse(now).body.text());
    }
}

TEST(PendingDeletions, ManifestListsTombstonedFilesStillHoldingTheirPage) {
    TemporaryFolder temporary;
    temporary.writeFile("a.md", pageFileText(pageA));
    temporary.writeFile("b.md", pageFileText(uuid("c0")));
    temporary.createFolder(".velto"); // where the bytes of the files listed are noted
    velto::VeltoLibraryManifest base;
    base.schemaVersion = 2;
    base.currentPage = record(uuid("c0"), "b.md");
    base.pendingDeletionFileNames = {"z.md", "a.md"};
    auto result = manifest(base,
                           {tombstone(pageA, version(w1, 1), "a.md"), tombstone(pageB, version(w1, 1), "b.md"),
                            tombstone(uuid("d0"), version(w1, 1), "missing.md")},
                           temporary.path());
    EXPECT_EQ(result.schemaVersion, 3);
    EXPECT_EQ(result.currentPage, base.currentPage);
    EXPECT_EQ(result.pendingDeletionFileNames, (std::vector<std::string>{"a.md", "z.md"}));
}

TEST(PendingDeletions, UnreadableFileAtTombstonedPathDoesNotFailTheManifest) {
    TemporaryFolder temporary;
    temporary.writeFile("binary.md", std::string("---\nvelto:\n  id: \xff\n---\n"));
    temporary.writeFile("locked.md", pageFileText(pageB));
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::read});
    fileSystem.countOnlyPathsContaining("locked.md");
    fileSystem.failFromOperation(1, EACCES);
    velto::VeltoLibraryManifest base;
    base.currentPage = record(uuid("c0"));
    std::vector<VeltoDeletionTombstone> tombstones{tombstone(pageA, version(w1, 1), "binary.md"),
                                                   tombstone(pageB, version(w1, 1), "locked.md")};
    auto result = manifest(base, tombstones, temporary.path(), fileSystem);
    EXPECT_TRUE(fileSystem.injectedFailure());
    EXPECT_TRUE(result.pendingDeletionFileNames.empty());
    EXPECT_THROW(manifest(base, {tombstone(pageA, version(w1, 1), "../x.md")}, temporary.path()),
                 velto::LibraryMetadataError);
}

TEST(PendingDeletions, MigratedLegacyTombstonesAreRemovedOthersStay) {
    TemporaryFolder temporary;
    auto copied = tombstone(pageA, version(w1, 1), "a.md");
    auto superseded = tombstone(pageB, version(w1, 1), "b.md");
    auto newer = tombstone(uuid("c0"), version(w1, 5), "c.md");
    auto noLongerActive = tombstone(uuid("d0"), version(w1, 1), "d.md");
    temporary.writeFile(".velto/tombstones/copied.json", copied.encode());
    temporary.writeFile(".velto/tombstones/superseded.json", superseded.encode());
    temporary.writeFile(".velto/tombstones/newer.json", newer.encode());
    temporary.writeFile(".velto/tombstones/inactive.json", noLongerActive.encode());
    Tombstones represented{{pageA, copied},
                           {pageB, tombstone(pageB, version(w2, 1, {{w1, 1}}), "b.md")},
                           {uuid("c0"), tombstone(uuid("c0"), version(w1, 2), "c.md")}};
    removeMigratedLegacyDeletionTombstones(represented, temporary.path());
    EXPECT_FALSE(temporary.exists(".velto/tombstones/copied.json"));
    EXPECT_FALSE(temporary.exists(".velto/tombstones/superseded.json"));
    EXPECT_TRUE(temporary.exists(".velto/tombstones/newer.json"));
    EXPECT_TRUE(temporary.exists(".velto/tombstones/inactive.json"));
}

TEST(PendingDeletions, FailedLegacyRemovalIsThrown) {
    TemporaryFolder temporary;
    auto copied = tombstone(pageA, version(w1, 1), "a.md");
    temporary.writeFile(".velto/tombstones/copied.json", copied.encode());
    FailingFileSystem fileSystem;
    fileSystem.countOnly({velto::FileOperation::remove});
    fileSystem.failOperation(1);
    EXPECT_THROW(removeMigratedLegacyDeletionTombstones({{pageA, copied}}, temporary.path(), fileSystem),
                 velto::FileSystemError);
    EXPECT_TRUE(temporary.exists(".velto/tombstones/copied.json"));
}

// Told from the manifest's bytes, so that a save of nothing decodes no large manifest: wrong only towards looking.
TEST(PendingDeletions, ManifestBytesTellWhetherDeletionsMayBePending) {
    const std::pair<const char *, bool> cases[] = {
        {"{\"pages\": [],\n  \"pendingDeletionFileNames\" : [ \n ]\n}", false},
        {R"({"pages":[]})", false},
        {R"({"pages":[],"pendingDeletionFileNames":["a.md"]})", true},
        {R"({"pendingDeletionFileNames":[],"pages":[{"relativeFilePath":"\"pendingDeletionFileNames\":[\"x\"].md"}]})",
         false},
    };
    for (const auto &[manifest, mayList] : cases) {
        TemporaryFolder folder;
        folder.writeFile(".velto/manifest.json", manifest);
        EXPECT_EQ(VeltoPageLibrary::mayListPendingDeletions(folder.path()), mayList) << manifest;
    }
}

} // namespace
