#include "StoreSessionFixture.h"
#include "model/PageArchiveState.h"

#include <set>

namespace velto {
namespace {

using namespace velto::testing;
using namespace std::chrono_literals;

/// Every file below the folder with its bytes, to show that nothing changed.
std::map<std::string, std::string> folderContents(const std::filesystem::path &folder) {
    std::map<std::string, std::string> contents;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            contents[entry.path().lexically_relative(folder).string()] = defaultFileSystem().readFile(entry.path());
        }
    }
    return contents;
}

VeltoFolderConnectionSelection selection(const std::filesystem::path &folder, VeltoFolderConnectionOperation operation,
                                         bool ownsWholeFolder = false) {
    return VeltoFolderConnectionSelection{folder, ownsWholeFolder, operation};
}

struct TwoFolders : DiskStore {
    VeltoPage page = textPage("first library\n", day(0));
    std::filesystem::path other = temporary / "Other";

    VeltoStore &openFirst() {
        writeLibrary(folder, documentOf(page));
        return open();
    }
};

TEST(StoreSessions, CopyingIntoAFolderThatHoldsALibraryChangesNothing) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    writeLibrary(folders.other, documentOf(textPage("occupant\n", day(0))));
    std::map<std::string, std::string> occupied = folderContents(folders.other);
    store.setText("typed before the copy\n", day(1));
    const std::uint64_t session = store.librarySessionRevision();

    std::string error = awaitFailure(
        store.applyFolderConnection(selection(folders.other, VeltoFolderConnectionOperation::copyCurrentLibrary)));
    EXPECT_EQ(error, "The folder “Other” already contains a Velto library. Choose an empty folder.");
    EXPECT_EQ(folderContents(folders.other), occupied);
    EXPECT_EQ(store.folderURL(), folders.folder);
    EXPECT_EQ(store.librarySessionRevision(), session);
    EXPECT_EQ(store.document().currentPage.visibleText(), "typed before the copy\n");
    folders.settle();
    EXPECT_EQ(pageIn(folders.reloadedFromDisk(), folders.page.id).visibleText(), "typed before the copy\n");
}

TEST(StoreSessions, CopyingIntoAnEmptyFolderMovesTheLibraryWithItsPendingEdits) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    store.setText("typed before the copy\n", day(1));
    const std::uint64_t session = store.librarySessionRevision();

    awaitTask(
        store.applyFolderConnection(selection(folders.other, VeltoFolderConnectionOperation::copyCurrentLibrary)));
    EXPECT_EQ(store.folderURL(), folders.other);
    EXPECT_EQ(store.librarySessionRevision(), session + 1);
    EXPECT_TRUE(store.loadState().isLoaded());
    EXPECT_FALSE(store.latestScheduledGeneration().has_value()) << "a library within the limits is not saved again";
    VeltoLibraryLoadResult copied = awaitTask(productionLoadOperation(folders.other));
    ASSERT_NE(copied.asLoaded(), nullptr);
    EXPECT_EQ(pageIn(copied.asLoaded()->document, folders.page.id).visibleText(), "typed before the copy\n");

    store.setText("typed in the new folder\n", day(2));
    folders.flush();
    VeltoLibraryLoadResult edited = awaitTask(productionLoadOperation(folders.other));
    EXPECT_EQ(pageIn(edited.asLoaded()->document, folders.page.id).visibleText(), "typed in the new folder\n");
    EXPECT_EQ(pageIn(folders.reloadedFromDisk(), folders.page.id).visibleText(), "typed before the copy\n");
}

TEST(StoreSessions, CopyingIntoAWholeFolderTakesItsMarkdownFilesAsPages) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    std::filesystem::create_directories(folders.other);
    defaultFileSystem().writeAtomically(folders.other / "notes.md", "Notes that were there before\n");

    awaitTask(store.applyFolderConnection(
        selection(folders.other, VeltoFolderConnectionOperation::copyCurrentLibrary, true)));
    EXPECT_EQ(store.folderURL(), folders.other);
    ASSERT_EQ(store.document().pages.size(), 1u);
    EXPECT_EQ(store.document().pages.front().visibleText(), "Notes that were there before\n");
    EXPECT_EQ(store.document().currentPage.id, folders.page.id);
    EXPECT_NE(defaultFileSystem().readFile(folders.other / "notes.md").find("Notes that were there before"),
              std::string::npos);
}

TEST(StoreSessions, LateSaveOutcomeOfThePreviousSessionIsNeverApplied) {
    TwoFolders folders;
    bool holding = false;
    std::vector<std::shared_ptr<Gate<bool>>> held;
    folders.saveOperation = [&](VeltoSaveRequest request,
                                std::filesystem::path folderURL) -> QCoro::Task<VeltoSaveResult> {
        if (holding) {
            held.push_back(std::make_shared<Gate<bool>>());
            QCoro::Task<bool> waiting = held.back()->wait();
            co_await waiting;
        }
        QCoro::Task<VeltoSaveResult> writing = productionSaveOperation(request, folderURL);
        co_return co_await writing;
    };
    VeltoStore &store = folders.openFirst();
    folders.flush();

    auto copying = observe(
        store.applyFolderConnection(selection(folders.other, VeltoFolderConnectionOperation::copyCurrentLibrary)));
    holding = true;
    store.setText("typed while the copy ran\n", day(1)); // saved by the old session's coordinator, held
    ASSERT_EQ(held.size(), 1u);
    ASSERT_TRUE(processEventsUntil([&] { return store.folderURL() == folders.other && held.size() == 2; }));
    EXPECT_EQ(store.document().currentPage.visibleText(), "typed while the copy ran\n");
    ASSERT_EQ(store.mutations().changedPageRevisions.count(folders.page.id), 1u);

    held[0]->open(true); // the old session's save ends now, in the old folder
    ASSERT_TRUE(processEventsUntil([&] { return !held[0]->isWaiting(); }));
    processEventsFor(100ms);
    EXPECT_EQ(store.mutations().changedPageRevisions.count(folders.page.id), 1u)
        << "the new session's pending edit must not be discarded by the old session's revision";
    EXPECT_FALSE(copying->finished);

    holding = false;
    held[1]->open(true);
    ASSERT_TRUE(processEventsUntil([&] { return copying->finished; }));
    EXPECT_FALSE(copying->error) << copying->errorText();
    VeltoLibraryLoadResult copied = awaitTask(productionLoadOperation(folders.other));
    ASSERT_NE(copied.asLoaded(), nullptr);
    EXPECT_EQ(pageIn(copied.asLoaded()->document, folders.page.id).visibleText(), "typed while the copy ran\n");
}

TEST(StoreSessions, ConnectingAnExistingLibrarySavesPendingEditsInTheOldOne) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    VeltoPage theirs = textPage("the other library\n", day(0));
    writeLibrary(folders.other, documentOf(theirs));
    store.setText("typed before switching\n", day(1));

    awaitTask(
        store.applyFolderConnection(selection(folders.other, VeltoFolderConnectionOperation::connectExistingLibrary)));
    EXPECT_EQ(store.folderURL(), folders.other);
    EXPECT_EQ(store.document().currentPage.id, theirs.id);
    EXPECT_EQ(store.document().currentPage.visibleText(), "the other library\n");
    EXPECT_EQ(pageIn(folders.reloadedFromDisk(), folders.page.id).visibleText(), "typed before switching\n");
}

TEST(StoreSessions, ConnectingAFolderWithoutALibraryFailsAndStays) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    std::filesystem::create_directories(folders.other);
    std::string error = awaitFailure(
        store.applyFolderConnection(selection(folders.other, VeltoFolderConnectionOperation::connectExistingLibrary)));
    EXPECT_EQ(error, "The Velto library in “Other” could not be opened. Its manifest is missing.");
    EXPECT_EQ(store.folderURL(), folders.folder);
    EXPECT_EQ(store.document().currentPage.id, folders.page.id);
}

TEST(StoreSessions, UsingAnEmptyFolderStartsALibraryThatTheFirstEditWrites) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    std::filesystem::create_directories(folders.other);
    awaitTask(store.applyFolderConnection(
        selection(folders.other, VeltoFolderConnectionOperation::useSelectedFolderContents)));
    EXPECT_TRUE(store.loadState().isMissing());
    EXPECT_TRUE(store.document().pages.empty());
    EXPECT_EQ(store.document().currentPage.visibleText(), "");
    EXPECT_TRUE(folderContents(folders.other).empty());

    store.setText("first words\n", day(1));
    folders.flush();
    EXPECT_TRUE(store.loadState().isLoaded());
    EXPECT_NE(pageFileText(folders.other, store.document().currentPage.id).find("first words"), std::string::npos);
}

/// The current page is held apart from the other pages: three files make a current page and two others.
TEST(StoreSessions, UsingAPlainFolderTakesEveryMarkdownFileAsAPageSubfoldersIncluded) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    std::filesystem::create_directories(folders.other / "Plain");
    std::filesystem::create_directories(folders.other / "Plain2");
    defaultFileSystem().writeAtomically(folders.other / "top.md", "top\n");
    defaultFileSystem().writeAtomically(folders.other / "Plain/note.md", "note\n");
    defaultFileSystem().writeAtomically(folders.other / "Plain2/x.md", "x\n");

    awaitTask(store.applyFolderConnection(
        selection(folders.other, VeltoFolderConnectionOperation::useSelectedFolderContents)));
    std::multiset<std::string> held{store.document().currentPage.visibleText()};
    for (const VeltoPage &page : store.document().pages) {
        held.insert(page.visibleText());
    }
    EXPECT_EQ(held, (std::multiset<std::string>{"top\n", "note\n", "x\n"}));
    EXPECT_EQ(store.document().pages.size(), 2u);
}

TEST(StoreSessions, TheOpenFolderWrittenDifferentlyIsNoChange) {
    TwoFolders folders;
    VeltoStore &store = folders.openFirst();
    const std::uint64_t session = store.librarySessionRevision();
    for (VeltoFolderConnectionOperation operation :
         {VeltoFolderConnectionOperation::copyCurrentLibrary, VeltoFolderConnectionOperation::connectExistingLibrary,
          VeltoFolderConnectionOperation::useSelectedFolderContents}) {
        awaitTask(store.applyFolderConnection(selection(folders.folder / "." / "", operation)));
    }
    EXPECT_EQ(store.librarySessionRevision(), session);
    EXPECT_EQ(store.folderURL(), folders.folder);
}

TEST(StoreSessions, RecoveryKeepsTheDamagedManifestUnderItsRecoveryName) {
    DiskStore disk;
    std::filesystem::create_directories(disk.folder / ".velto");
    defaultFileSystem().writeAtomically(disk.folder / ".velto" / "manifest.json", "not json");
    VeltoStore &store = disk.open();
    ASSERT_NE(store.loadState().recoveryIssue(), nullptr);
    store.setText("kept through recovery\n", day(1));
    EXPECT_FALSE(store.latestScheduledGeneration().has_value());

    std::optional<std::filesystem::path> recoveryURL = awaitTask(store.recoverPreservingOriginal());
    ASSERT_TRUE(recoveryURL.has_value());
    const std::string name = recoveryURL->filename().string();
    ASSERT_EQ(name.size(), std::string("manifest.recovery-").size() + 36 + 5);
    EXPECT_EQ(name.substr(0, 18), "manifest.recovery-");
    EXPECT_EQ(Uuid::parse(name.substr(18, 36))->uppercaseText(), name.substr(18, 36));
    EXPECT_EQ(defaultFileSystem().readFile(*recoveryURL), "not json");
    EXPECT_TRUE(store.loadState().isLoaded());
    disk.settle();
    EXPECT_EQ(disk.reloadedFromDisk().currentPage.visibleText(), "kept through recovery\n");

    EXPECT_FALSE(awaitTask(store.recoverPreservingOriginal()).has_value()) << "a loaded library needs no recovery";
}

} // namespace
} // namespace velto
