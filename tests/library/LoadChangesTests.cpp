// The incremental load after the folder monitor reported changed Markdown files.

#include "library/folder/IOObservation.h"
#include "library/load/FullLoad.h"
#include "library/load/IncrementalLoad.h"
#include "library/save/SaveRequest.h"
#include "model/ContentChecksum.h"

#include "LibraryTestValues.h"
#include "LoadTestSupport.h"
#include "support/ManualClock.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace velto::librarytesting;
using namespace velto::loadtesting;
using namespace VeltoPageLibrary;
using velto::VeltoStoreRecoveryIssue;
using velto::testing::ManualClock;
using velto::testing::TemporaryFolder;
namespace fs = std::filesystem;

class IncrementalLoad : public testing::Test {
protected:
    void SetUp() override {
        temporary.writeFile("a.md", pageFileText(pageA, "First\n"));
        temporary.writeFile("b.md", pageFileText(pageB, "Second\n"));
        auto result = load(temporary.path(), velto::defaultFileSystem(), clock.now());
        ASSERT_LOADED(result);
        document = result.asLoaded()->document;
    }

    VeltoLibraryLoadResult loadChangesNow(const std::set<std::string> &paths) {
        return loadChanges(temporary.path(), velto::defaultFileSystem(), document, paths, clock.now());
    }

    TemporaryFolder temporary;
    ManualClock clock;
    velto::VeltoDocument document;
};

TEST_F(IncrementalLoad, NoChangedPathReturnsTheDocumentWithoutTouchingTheFolder) {
    fs::remove_all(temporary.path());
    auto result = loadChangesNow({});
    ASSERT_LOADED(result);
    EXPECT_EQ(result.asLoaded()->document, document);
    EXPECT_FALSE(result.asLoaded()->structureRepair);
    EXPECT_FALSE(fs::exists(temporary.path()));
}

TEST_F(IncrementalLoad, NewFileAddsItsPageAndOnlyTheChangedPathIsRead) {
    temporary.writeFile("new.md", "Written by another program\n");
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    VeltoLibraryIOObservation::Binding binding(observer);

    auto result = loadChangesNow({"new.md"});
    ASSERT_LOADED(result);
    auto added = pageAt(result.asLoaded()->document, "new.md");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->visibleText(), "Written by another program\n");
    EXPECT_EQ(result.asLoaded()->structureRepair->externallyChangedPageIDs, std::set<velto::Uuid>{added->id});
    EXPECT_EQ(allPages(result.asLoaded()->document).size(), 3u);

    auto counters = observer->snapshot();
    EXPECT_EQ(counters.recursiveEnumerations, 0);
    EXPECT_EQ(counters.fullReconciliations, 0);
    // The new file is read once; the other pages come from memory.
    EXPECT_EQ(counters.markdownContentReads, 1);
}

// The edited file is read and hashed once: discovery's read makes the page, and its checksum the page's baseline,
// which must be exactly the text's, or the next save would take this file for another writer's change.
TEST_F(IncrementalLoad, EditedFileReplacesThePageInMemoryReadAndHashedOnce) {
    temporary.writeFile("b.md", pageFileText(pageB, "Second, edited\n"));
    auto observer = std::make_shared<VeltoLibraryIOObserver>();
    VeltoLibraryIOObservation::Binding binding(observer);
    auto result = loadChangesNow({"b.md"});
    ASSERT_LOADED(result);
    const auto edited = pageWithID(result.asLoaded()->document, pageB);
    ASSERT_TRUE(edited);
    EXPECT_EQ(edited->visibleText(), "Second, edited\n");
    EXPECT_EQ(result.asLoaded()->structureRepair->externallyChangedPageIDs, std::set<velto::Uuid>{pageB});
    EXPECT_EQ(observer->snapshot().markdownContentReads, 1);

    const auto &checksums = result.asLoaded()->fileTextChecksums;
    ASSERT_EQ(checksums.count(pageB), 1u);
    const std::shared_ptr<const std::string> text = edited->content.asLoaded()->unchangedFileText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(checksums.at(pageB), velto::contentChecksum(*text));
    EXPECT_EQ(VeltoPageBaseline::fromPage(*edited, checksums), VeltoPageBaseline::fromPage(*edited));
}

TEST_F(IncrementalLoad, DeletedFileRemovesItsPageOnlyAfterTheGracePeriod) {
    fs::remove(temporary / "b.md");
    auto within = loadChangesNow({"b.md"});
    ASSERT_NE(within.failureIssue(), nullptr) << describe(within);
    EXPECT_EQ(within.failureIssue()->kind, VeltoStoreRecoveryIssue::Kind::temporarilyUnavailable);

    clock.advanceSeconds(10);
    auto after = loadChangesNow({"b.md"});
    ASSERT_LOADED(after);
    EXPECT_FALSE(pageWithID(after.asLoaded()->document, pageB));
    EXPECT_EQ(after.asLoaded()->structureRepair->externallyRemovedPageIDs, std::set<velto::Uuid>{pageB});
}

TEST_F(IncrementalLoad, CopyOfAnUnchangedPageBecomesANewPage) {
    fs::copy_file(temporary / "a.md", temporary / "a-copy.md");
    auto result = loadChangesNow({"a-copy.md"});
    ASSERT_LOADED(result);
    const auto &loaded = result.asLoaded()->document;
    EXPECT_EQ(pageAt(loaded, "a.md")->id, pageA);
    ASSERT_TRUE(pageAt(loaded, "a-copy.md"));
    EXPECT_NE(pageAt(loaded, "a-copy.md")->id, pageA);
}

TEST_F(IncrementalLoad, LostMetadataDirectoryFailsAsUnreadableWithoutRebuilding) {
    fs::remove_all(temporary / ".velto");
    auto result = loadChangesNow({"a.md"});
    ASSERT_NE(result.failureIssue(), nullptr) << describe(result);
    EXPECT_EQ(result.failureIssue()->kind, VeltoStoreRecoveryIssue::Kind::unreadable);
    EXPECT_FALSE(fs::exists(temporary / ".velto/manifest.json"));
}

TEST_F(IncrementalLoad, MetadataWithoutPageRecordsIsMissingWithoutRebuilding) {
    fs::remove_all(temporary / ".velto");
    temporary.createFolder(".velto/writers");
    EXPECT_TRUE(loadChangesNow({"a.md"}).isMissing());
    EXPECT_FALSE(fs::exists(temporary / ".velto/manifest.json"));
}

TEST_F(IncrementalLoad, PathsThatCannotBePageFilesAreIgnored) {
    for (const std::string path : {".velto/manifest.json", "../x.md", "", "/a.md", "notes.txt", "x/../a.md"}) {
        SCOPED_TRACE(path);
        auto result = loadChangesNow({path});
        ASSERT_LOADED(result);
        EXPECT_EQ(result.asLoaded()->document, document);
    }
}

TEST_F(IncrementalLoad, PageFileAmongIgnoredPathsIsStillLoaded) {
    temporary.writeFile("new.md", "Written by another program\n");
    auto result = loadChangesNow({".velto/manifest.json", "../x.md", "new.md"});
    ASSERT_LOADED(result);
    auto page = pageAt(result.asLoaded()->document, "new.md");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->visibleText(), "Written by another program\n");
}

/// An entry another program makes beside plain files, and how the notice of files that cannot be read names it.
struct OddEntry {
    const char *name;
    std::function<void(const fs::path &entry, const fs::path &outsideFile)> make;
    const char *reason; // nothing: the entry is no page of its own, and not named either
};

const OddEntry oddEntries[] = {
    {"link outside", [](const fs::path &entry, const fs::path &outsideFile) { fs::create_symlink(outsideFile, entry); },
     "It is a symbolic link to a place outside the Pages folder."},
    {"link outside to nothing",
     [](const fs::path &entry, const fs::path &outsideFile) {
         fs::create_symlink(outsideFile.parent_path() / "gone.md", entry);
     },
     "It is a symbolic link to a file that isn’t there, outside the Pages folder."},
    {"link round in a loop",
     [](const fs::path &entry, const fs::path &) { fs::create_symlink(entry.filename(), entry); },
     "It is a symbolic link that leads round in a loop."},
    {"link to a page file", [](const fs::path &entry, const fs::path &) { fs::create_symlink("a.md", entry); },
     nullptr},
};

// One odd entry never stops its batch: the plain file beside it is a page, the Latin-1 one is named, and the odd
// entry is named as a full load names it. A link to a page file made while running is that page, as at launch.
TEST_F(IncrementalLoad, OddEntryOfABatchIsNamedAndTheRestTakenIn) {
    TemporaryFolder outside;
    outside.writeFile("elsewhere.md", "Outside the folder\n");
    for (const OddEntry &odd : oddEntries) {
        SCOPED_TRACE(odd.name);
        odd.make(temporary / "odd.md", outside / "elsewhere.md");
        temporary.writeFile("one.md", "One\n");
        temporary.writeFile("latin.md", "caf\xe9\n");

        auto result = loadChangesNow({"latin.md", "odd.md", "one.md"});
        ASSERT_LOADED(result);
        const auto &loaded = *result.asLoaded();
        ASSERT_TRUE(pageAt(loaded.document, "one.md"));
        EXPECT_EQ(pageAt(loaded.document, "one.md")->visibleText(), "One\n");
        EXPECT_EQ(allPages(loaded.document).size(), 3u) << "a.md, b.md and one.md";
        EXPECT_EQ(pageAt(loaded.document, "a.md")->id, pageA);
        std::vector<std::string> named;
        for (const auto &file : loaded.unreadableFiles) {
            named.push_back(file.relativePath);
            if (file.relativePath == "odd.md") {
                EXPECT_EQ(file.reason, odd.reason);
            }
        }
        std::vector<std::string> expected{"latin.md"};
        if (odd.reason != nullptr) {
            expected.push_back("odd.md");
        }
        EXPECT_EQ(named, expected);

        for (const char *made : {"odd.md", "one.md", "latin.md"}) {
            fs::remove(temporary / made);
        }
    }
}

} // namespace
