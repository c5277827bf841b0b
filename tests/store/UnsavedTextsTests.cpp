// What a quit keeps when its final save fails: the typed text the store holds on no disk, written outside the Pages
// folder, and nothing when the save went through.
#include "StoreTestSupport.h"
#include "library/folder/PageFileSize.h"
#include "library/unsaved/UnsavedTextFiles.h"
#include "store/Store.h"
#include "store/UnsavedTexts.h"
#include "support/ChildProcess.h"
#include "support/FailingFileSystem.h"
#include "support/StoreHarness.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::documentOf;
using testing::observe;
using testing::processEventsUntil;
using testing::textPage;

/// A save that the Pages folder or the page's size refuses, every time.
VeltoStore::SaveOperation refusingSaves(std::function<void(const std::filesystem::path &)> refuse) {
    return [refuse](const VeltoSaveRequest &, std::filesystem::path folder) -> QCoro::Task<VeltoSaveResult> {
        refuse(folder);
        co_return VeltoSaveResult{};
    };
}

/// Flushes the store and answers the error the flush ended with (empty when it succeeded).
std::string flushError(VeltoStore &store) {
    auto completion = observe(store.flush());
    EXPECT_TRUE(processEventsUntil([&] { return completion->finished; }, 10s));
    return completion->error ? completion->errorText() : std::string();
}

TEST(UnsavedTexts, TextASaveRefusesIsKeptWholeOutsideThePagesAndStaysHeld) {
    struct Case {
        const char *name;
        std::function<void(const std::filesystem::path &)> refuse;
    };
    const Case causes[] = {
        {"a Pages folder that refuses writes",
         [](const std::filesystem::path &folder) { throw FileSystemError(EROFS, folder / "page.md", "Writing"); }},
        {"a page too large to save",
         [](const std::filesystem::path &folder) {
             throw VeltoPageLibrary::PageFileTooLargeError(folder / "page.md");
         }},
    };
    for (const Case &cause : causes) {
        for (bool fallbackFails : {false, true}) {
            SCOPED_TRACE(std::string(cause.name) + (fallbackFails ? ", the fallback failing" : ""));
            testing::StoreHarness harness;
            harness.folder = harness.temporary / "absent"; // no folder monitor
            testing::FailingFileSystem fileSystem;
            if (fallbackFails) {
                fileSystem.failFromOperation(1, ENOSPC);
            }
            VeltoStore::Environment environment;
            environment.saveOperation = refusingSaves(cause.refuse);
            VeltoStore &store = harness.openStore(std::move(environment),
                                                  VeltoLibraryLoadResult::loaded(documentOf(textPage("start\n"))));
            EXPECT_FALSE(holdsUnsavedText(store));

            store.setText("start\ntyped words\n", systemClock().now());
            EXPECT_FALSE(flushError(store).empty()) << "the refused save must fail the flush";
            ASSERT_TRUE(holdsUnsavedText(store));

            const std::filesystem::path folder = harness.temporary / "Unsaved Text";
            VeltoKeptTexts kept;
            keepUnsavedTexts(store, fileSystem, folder, systemClock().now(), kept);
            store.setText("start\ntyped words\nand more\n", systemClock().now());
            keepUnsavedTexts(store, fileSystem, folder, systemClock().now(), kept);
            if (fallbackFails) {
                EXPECT_TRUE(kept.files.empty());
                ASSERT_EQ(kept.failures.size(), 2u);
                EXPECT_NE(kept.failures.front().find("No space left on device"), std::string::npos);
                EXPECT_TRUE(lastKeepFailed(kept));
                EXPECT_TRUE(kept.notKept.contains(store.document().currentPage.id));
            } else {
                EXPECT_FALSE(lastKeepFailed(kept));
                ASSERT_EQ(kept.files.size(), 1u) << "one file a page, written again as the text changes";
                EXPECT_TRUE(kept.failures.empty());
                const std::filesystem::path file = kept.files.at(store.document().currentPage.id).file;
                EXPECT_EQ(file.parent_path(), folder);
                EXPECT_EQ(testing::readWholeFile(file.string()), "start\ntyped words\nand more\n");
            }
            EXPECT_TRUE(holdsUnsavedText(store)) << "the text stays held for the save the store still owes";
            EXPECT_EQ(store.document().currentPage.visibleText(), "start\ntyped words\nand more\n");
        }
    }
}

// A private page's kept text is private: the kept file takes the read permissions of the page's file, which the
// store names with each unsaved text. A later keep that succeeds clears the failure of an earlier one.
TEST(UnsavedTexts, AKeptFileIsAsPrivateAsItsPage) {
    testing::TemporaryFolder temporary;
    const std::filesystem::path page = temporary / "Pages" / "private.md";
    std::filesystem::create_directories(page.parent_path());
    std::ofstream(page) << "private words\n";
    std::filesystem::permissions(page, std::filesystem::perms(0600));
    const Uuid pageID = Uuid::random();
    VeltoKeptTexts kept;
    kept.notKept[pageID] = "an earlier keep failed";

    keepUnsavedTexts({{pageID, CopyOnWriteText("private words\nmore\n"), page}}, defaultFileSystem(),
                     temporary / "Unsaved Text", systemClock().now(), kept);

    ASSERT_EQ(kept.files.size(), 1u);
    EXPECT_EQ(std::filesystem::status(kept.files.at(pageID).file).permissions(), std::filesystem::perms(0600));
    EXPECT_FALSE(lastKeepFailed(kept));
}

// A store whose saves went through holds nothing unsaved, and a quit keeps nothing beside the pages.
TEST(UnsavedTexts, ASavedStoreKeepsNothing) {
    testing::StoreHarness harness;
    harness.folder = harness.temporary / "absent";
    VeltoStore::Environment environment;
    environment.saveOperation = testing::quietSuccessfulSaves();
    VeltoStore &store =
        harness.openStore(std::move(environment), VeltoLibraryLoadResult::loaded(documentOf(textPage("start\n"))));
    store.setText("start\nsaved\n", systemClock().now());
    EXPECT_EQ(flushError(store), "");
    EXPECT_FALSE(holdsUnsavedText(store));
    VeltoKeptTexts kept;
    keepUnsavedTexts(store, defaultFileSystem(), harness.temporary / "Unsaved Text", systemClock().now(), kept);
    EXPECT_TRUE(kept.files.empty());
    EXPECT_FALSE(std::filesystem::exists(harness.temporary / "Unsaved Text"));
}

// A kept file is Velto's only while it holds what was kept there: someone who wrote into it meanwhile keeps it, as
// the text goes into a new file and the file is not taken back once the page is saved.
TEST(UnsavedTexts, AKeptFileIsWrittenOverOrTakenBackOnlyWhileItHoldsWhatWasKept) {
    for (bool writtenInto : {false, true}) {
        SCOPED_TRACE(writtenInto ? "someone wrote into the kept file" : "the kept file as it was written");
        testing::TemporaryFolder scratch;
        const std::filesystem::path folder = scratch / "Unsaved Text";
        FileSystem &fileSystem = defaultFileSystem();
        const Uuid pageID = Uuid::random();
        VeltoKeptTexts kept;
        keepUnsavedTexts({{pageID, CopyOnWriteText("first"), std::nullopt}}, fileSystem, folder, systemClock().now(),
                         kept);
        const std::filesystem::path first = kept.files.at(pageID).file;
        if (writtenInto) {
            scratch.writeFile("Unsaved Text/" + first.filename().string(), "first, and a note of the user's");
        }

        keepUnsavedTexts({{pageID, CopyOnWriteText("first and second"), std::nullopt}}, fileSystem, folder,
                         systemClock().now(), kept);
        const std::filesystem::path second = kept.files.at(pageID).file;
        EXPECT_EQ(second == first, !writtenInto);
        EXPECT_EQ(testing::readWholeFile(second.string()), "first and second");

        withdrawKeptTexts(fileSystem, folder, kept); // the page was saved after all
        EXPECT_TRUE(kept.failures.empty());
        EXPECT_FALSE(std::filesystem::exists(second));
        std::vector<std::filesystem::path> named = VeltoPageLibrary::unsavedTextFilesToName(fileSystem, folder);
        if (writtenInto) {
            EXPECT_EQ(testing::readWholeFile(first.string()), "first, and a note of the user's");
            EXPECT_EQ(named, std::vector<std::filesystem::path>{first});
        } else {
            EXPECT_TRUE(named.empty());
        }
    }
}

} // namespace
} // namespace velto
