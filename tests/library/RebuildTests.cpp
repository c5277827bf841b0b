// Rebuilding a library's metadata from the Markdown files in its folder.

#include "library/folder/IOObservation.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/FullLoad.h"
#include "library/load/MetadataRebuild.h"
#include "library/metadata/WriterStates.h"

#include "LibraryTestSupport.h"
#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <vector>

#include <sys/stat.h>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace VeltoPageLibrary;
using velto::VeltoLibraryManifest;
using velto::VeltoLibraryPageRecord;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

class Rebuild : public testing::Test {
protected:
    std::optional<VeltoLibraryManifest>
    rebuilt(const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &tombstones = {}) {
        return rebuildingManifestFromMarkdown(temporary.path(), velto::defaultFileSystem(), tombstones);
    }

    TemporaryFolder temporary;
};

TEST_F(Rebuild, TwoFilesWithOneIdentifierTheFirstInPathOrderKeepsIt) {
    temporary.writeFile("b.md", pageFileText(pageA, "Second\n"));
    temporary.writeFile("a.md", pageFileText(pageA, "First\n"));
    auto manifest = rebuilt();
    ASSERT_TRUE(manifest);
    EXPECT_EQ(recordAt(*manifest, "a.md")->id, pageA);
    EXPECT_NE(recordAt(*manifest, "b.md")->id, pageA);
}

TEST_F(Rebuild, DeletedPageIsNotBroughtBack) {
    temporary.writeFile("a.md", pageFileText(pageA, "Kept\n"));
    temporary.writeFile("b.md", pageFileText(pageB, "Deleted\n"));
    auto manifest = rebuilt({{pageB, tombstone(pageB, version(uuid("01"), 1), "old-name.md")}});
    ASSERT_TRUE(manifest);
    EXPECT_EQ(recordAt(*manifest, "b.md"), nullptr);
    EXPECT_TRUE(manifest->pages.empty());
    // Only what a tombstone names is pending removal.
    EXPECT_EQ(manifest->pendingDeletionFileNames, std::vector<std::string>{"old-name.md"});
}

TEST_F(Rebuild, OnlyNonEmptyManagedMarkdownFilesBecomePages) {
    temporary.writeFile("a.md", "Page\n");
    temporary.writeFile("B.MD", "Upper-case extension\n");
    temporary.writeFile("empty.md", "");
    temporary.writeFile("notes.txt", "Not Markdown\n");
    temporary.writeFile(".hidden.md", "Hidden\n");
    temporary.writeFile(".velto/inside.md", "Metadata\n");
    auto manifest = rebuilt();
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->pages.size() + 1, 2u);
    EXPECT_NE(recordAt(*manifest, "B.MD"), nullptr);
}

TEST_F(Rebuild, FolderWithoutUsableFilesHasNoManifest) {
    temporary.writeFile("empty.md", "");
    EXPECT_FALSE(rebuilt());
    EXPECT_FALSE(rebuildingManifestFromMarkdown(temporary / "absent", velto::defaultFileSystem(), {}));
}

// A first launch beside nothing but files Velto refuses starts an empty library; the files are named all the same,
// as they are beside a readable page.
TEST(RebuildOfRefusedFiles, AFolderOfOnlyRefusedFilesHoldsNoLibraryButNamesThem) {
    struct Case {
        const char *name;
        std::function<void(const fs::path &)> make;
        const char *reason;
    };
    const std::vector<Case> cases{
        {"latin.md", [](const fs::path &file) { std::ofstream(file, std::ios::binary) << "caf\xe9 cr\xe8me\n"; },
         "The file “latin.md” couldn’t be opened using text encoding Unicode (UTF-8)."},
        {"huge.md",
         [](const fs::path &file) {
             std::ofstream(file, std::ios::binary) << "x";
             fs::resize_file(file, velto::largestReadableFileBytes + 1); // sparse: no disk space
         },
         "File too large"},
        {"pipe.md", [](const fs::path &file) { ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0); },
         "It isn’t a regular file but a named pipe, socket or device."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        folder.writeFile("empty.md", "");
        c.make(folder / c.name);

        auto result = load(folder.path());
        ASSERT_TRUE(result.isMissing());
        EXPECT_EQ(result.asMissing()->unreadableFiles, (std::vector<VeltoUnreadablePageFile>{{c.name, c.reason}}));
    }
}

TEST_F(Rebuild, ConflictCopiesAndRecoveredPagesKeepTheirSlugs) {
    temporary.writeFile("2026-01-05-conflict-copy-1a2b3c4d.md", "Other version\n");
    temporary.writeFile("2026-01-05-recovered-page-5e6f7a8b.md", "Recovered\n");
    temporary.writeFile("plain.md", "Plain\n");
    auto manifest = rebuilt();
    ASSERT_TRUE(manifest);
    EXPECT_EQ(recordAt(*manifest, "2026-01-05-conflict-copy-1a2b3c4d.md")->fileSlug, "conflict-copy");
    EXPECT_EQ(recordAt(*manifest, "2026-01-05-recovered-page-5e6f7a8b.md")->fileSlug, "recovered-page");
    EXPECT_EQ(recordAt(*manifest, "plain.md")->fileSlug, std::nullopt);
}

TEST_F(Rebuild, RecordsAreOrderedByActivityAndTheCurrentPageIsTheLatestActiveOne) {
    temporary.writeFile("old.md", "Old\n");
    temporary.writeFile("newest.md", "---\nvelto:\n  archived: true\n---\nArchived\n");
    temporary.writeFile("middle.md", "Middle\n");
    setModificationTime(temporary / "old.md", 1'700'000'000);
    setModificationTime(temporary / "middle.md", 1'700'000'100);
    setModificationTime(temporary / "newest.md", 1'700'000'200);
    auto manifest = rebuilt();
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->currentPage.relativeFilePath, "middle.md");
    ASSERT_EQ(manifest->pages.size(), 2u);
    EXPECT_EQ(manifest->pages[0].relativeFilePath, "newest.md");
    EXPECT_EQ(manifest->pages[1].relativeFilePath, "old.md");
    const auto &archived = manifest->pages[0];
    EXPECT_EQ(archived.isArchived, true);
    EXPECT_EQ(archived.archivedAt, at(1'700'000'200));
    EXPECT_EQ(archived.updatedAt, at(1'700'000'200));
    EXPECT_EQ(archived.fileSize, static_cast<std::int64_t>(temporary.readFile("newest.md").size()));
    EXPECT_EQ(archived.bodyChecksum, contentChecksum("Archived\n"));
}

TEST_F(Rebuild, RecordsCarryTheChecksumsOfTheFileTextAndOfItsBodyAndAFileNotInUTF8HasNone) {
    // Hashed together in one pass where the file ends with its body, which also finds whether the text is ASCII;
    // each must still be its own text's, and a text that is neither ASCII nor UTF-8 is no page.
    const std::map<std::string, std::string> bodies = {
        {"lf.md", "Body é\n"}, {"crlf.md", "Body\n"}, {"no-front-matter.md", "Plain é\n"}};
    temporary.writeFile("lf.md", "---\nvelto:\n  archived: true\n---\nBody é\n");
    temporary.writeFile("crlf.md", "---\r\nvelto:\r\n  archived: true\r\n---\r\nBody\r\n");
    temporary.writeFile("no-front-matter.md", "Plain é\n");
    temporary.writeFile("not-utf8.md", "Plain \xE9\n");
    auto manifest = rebuilt();
    ASSERT_TRUE(manifest);
    EXPECT_EQ(recordAt(*manifest, "not-utf8.md"), nullptr);
    for (const auto &[path, body] : bodies) {
        const VeltoLibraryPageRecord *record = recordAt(*manifest, path);
        ASSERT_NE(record, nullptr) << path;
        EXPECT_EQ(record->contentChecksum, contentChecksum(temporary.readFile(path))) << path;
        EXPECT_EQ(record->bodyChecksum, contentChecksum(body)) << path;
    }
}

TEST_F(Rebuild, OnlyArchivedFilesLoadWithANewEmptyCurrentPage) {
    temporary.writeFile("a.md", "---\nvelto:\n  archived: true\n---\nArchived\n");
    auto result = load(temporary.path());
    ASSERT_LOADED(result);
    const auto &document = result.asLoaded()->document;
    ASSERT_EQ(document.pages.size(), 1u);
    EXPECT_EQ(document.pages[0].relativeFilePath, "a.md");
    EXPECT_EQ(document.currentPage.visibleText(), "");
    EXPECT_EQ(result.asLoaded()->structureRepair->createdPageID, document.currentPage.id);
}

TEST_F(Rebuild, WritesMetadataWithTheCheckpointTakenBeforeReading) {
    temporary.writeFile("a.md", "Page\n");
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    VeltoLibraryIOObservation::Binding binding(observer);
    bool checkpointTaken = false;
    CheckpointOperation checkpoint = [&](const fs::path &) {
        EXPECT_EQ(observer->snapshot().markdownContentReads, 0);
        checkpointTaken = true;
        return velto::VeltoLibraryReconciliationCheckpoint{3, 99};
    };

    auto result =
        rebuildLibraryMetadata(temporary.path(), velto::defaultFileSystem(), at(1'800'000'000), false, checkpoint);
    ASSERT_LOADED(result);
    EXPECT_TRUE(checkpointTaken);
    auto manifest = VeltoLibraryManifest::decode(temporary.readFile(".velto/manifest.json"));
    EXPECT_EQ(manifest.reconciliationCheckpoint, (velto::VeltoLibraryReconciliationCheckpoint{3, 99}));
    EXPECT_EQ(manifest.schemaVersion, 3);

    auto writers = loadWriterStates(temporary.path());
    ASSERT_EQ(writers.size(), 1u);
    ASSERT_EQ(writers[0].pageMutations.size(), 1u);
    EXPECT_EQ(writers[0].pageMutations[0].version.sequence, 1u);
    EXPECT_EQ(writers[0].structure->currentPageID, manifest.currentPage.id);

    // The rebuild's enumeration, and the scan of the load that follows it.
    EXPECT_EQ(observer->snapshot().fullReconciliations, 2);
}

TEST_F(Rebuild, PreservesTheDamagedManifestOnlyWhenAsked) {
    temporary.writeFile("a.md", "Page\n");
    temporary.writeFile(".velto/manifest.json", "damaged");
    ASSERT_LOADED(rebuildLibraryMetadata(temporary.path(), velto::defaultFileSystem(), at(0), true));
    int recoveryFiles = 0;
    for (const auto &name : entryNames(temporary / ".velto")) {
        recoveryFiles += name.starts_with("manifest.recovery-") ? 1 : 0;
    }
    EXPECT_EQ(recoveryFiles, 1);
}

TEST_F(Rebuild, StaleDeletionThatALaterEditOverrodeDoesNotStopTheRebuild) {
    const velto::Uuid deleter = uuid("10");
    const velto::Uuid editor = uuid("20");
    temporary.writeFile("a.md", pageFileText(pageA, "Edited after the deletion\n"));
    // An older writer's shard, under a name of its own, deletes page A; the editor knew of it and edited A.
    temporary.writeFile(
        ".velto/deletions/a.json",
        velto::VeltoDeletionIndexShard{1, "a", {tombstone(pageA, version(deleter, 1), "a.md")}}.encode());
    auto edits = journal(editor);
    edits.pageMutations = {{record(pageA, "a.md"), version(editor, 1, {{deleter, 1}})}};
    storeJournals(temporary, {edits});

    auto result = rebuildLibraryMetadata(temporary.path(), velto::defaultFileSystem(), at(1'800'000'000), false);
    ASSERT_LOADED(result);
    auto page = pageWithID(result.asLoaded()->document, pageA);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->visibleText(), "Edited after the deletion\n");
    EXPECT_EQ(entryNames(temporary / ".velto/deletions"), std::vector<std::string>{});
}

/// The identifier of each loaded page by its file, and how many pages each file gave.
std::map<std::string, std::vector<velto::Uuid>> pageIDsByFile(const velto::VeltoDocument &document) {
    std::map<std::string, std::vector<velto::Uuid>> ids;
    for (const auto &page : allPages(document)) {
        ids[page.relativeFilePath.value_or("")].push_back(page.id);
    }
    return ids;
}

TEST_F(Rebuild, FilesWithoutIdentifierKeepTheirPagesWhenTheManifestIsDamaged) {
    temporary.writeFile("g.md", "Gee\n");
    temporary.writeFile("h.md", "Aitch\n");
    auto first = load(temporary.path());
    ASSERT_LOADED(first);
    auto before = pageIDsByFile(first.asLoaded()->document);
    ASSERT_EQ(before.size(), 2u);

    temporary.writeFile(".velto/manifest.json", "garbage");
    auto rebuiltLoad = load(temporary.path());
    ASSERT_LOADED(rebuiltLoad);
    EXPECT_EQ(pageIDsByFile(rebuiltLoad.asLoaded()->document), before);
    // And the rebuilt metadata loads the same pages again.
    auto again = load(temporary.path());
    ASSERT_LOADED(again);
    EXPECT_EQ(pageIDsByFile(again.asLoaded()->document), before);
}

TEST_F(Rebuild, RecordedIdentifierGoesToTheFileAtItsPathUnlessAFileCarriesIt) {
    temporary.writeFile("g.md", "Gee\n");
    temporary.writeFile("h.md", "Aitch\n");
    temporary.writeFile("z.md", pageFileText(pageB, "Carries B\n"));
    RecordedPageIDs recorded(manifestOf({record(pageA, "g.md"), record(pageB, "h.md")}));
    auto manifest = rebuildingManifestFromMarkdown(temporary.path(), velto::defaultFileSystem(), {}, recorded);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(recordAt(*manifest, "g.md")->id, pageA);
    EXPECT_EQ(recordAt(*manifest, "z.md")->id, pageB);
    EXPECT_NE(recordAt(*manifest, "h.md")->id, pageB);
}

TEST_F(Rebuild, JournalsThatHoldTwoPagesForOneFileLoadItOnce) {
    // What an earlier rebuild left behind: two writers recorded different pages for the same file.
    const velto::Uuid firstWriter = uuid("10");
    const velto::Uuid secondWriter = uuid("20");
    auto first = journal(firstWriter);
    first.pageMutations = {{record(pageA, "g.md"), version(firstWriter, 1)}};
    auto second = journal(secondWriter);
    second.pageMutations = {{record(pageB, "g.md"), version(secondWriter, 1)}};
    storeJournals(temporary, {first, second});
    temporary.writeFile("g.md", "Gee\n");
    temporary.writeFile(".velto/manifest.json", "garbage");

    auto result = load(temporary.path());
    ASSERT_LOADED(result);
    auto ids = pageIDsByFile(result.asLoaded()->document);
    ASSERT_EQ(ids["g.md"].size(), 1u);
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 1u);
    EXPECT_EQ(result.asLoaded()->document.currentPage.visibleText(), "Gee\n");
}

} // namespace
