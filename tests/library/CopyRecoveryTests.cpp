#include "WriteTestSupport.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/copy/LibraryCopy.h"
#include "library/copy/UnfinishedCopy.h"
#include "library/folder/LibraryFolder.h"
#include "library/metadata/ManifestReading.h"
#include "library/recovery/LibraryRecovery.h"
#include "library/save/WriteTransaction.h"
#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace velto;
using namespace velto::writetesting;
using velto::testing::TemporaryFolder;

namespace {

const Uuid pageA = *Uuid::parse("A1000000-0000-4000-8000-000000000001");
const Uuid pageB = *Uuid::parse("B2000000-0000-4000-8000-000000000002");

void writeLibrary(const std::filesystem::path &folder, bool archiveB = false) {
    auto b = pageWithBody(pageB, "beta\n");
    if (archiveB) {
        b.content.asLoaded()->writeVeltoMetadata(std::nullopt, true, std::nullopt);
        b.archivedAt = day(5);
    }
    VeltoPageLibrary::write(requestFor(documentOf(pageWithBody(pageA, "alpha\n"), {b}), {pageA, pageB}), folder);
}

std::vector<std::string> recoveryFiles(const std::filesystem::path &folder) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder / ".velto")) {
        auto name = entry.path().filename().string();
        if (name.starts_with("manifest.recovery-")) {
            names.push_back(name);
        }
    }
    return names;
}

TEST(LibraryCopy, CopiesEveryPageWithArchivedPagesLoadedWhole) {
    TemporaryFolder source;
    TemporaryFolder destination;
    writeLibrary(source.path(), true);
    destination.createFolder(".velto"); // an empty ".velto" is no library

    auto copied = VeltoPageLibrary::copyLibrary(source.path(), destination.path());

    auto archived = pageCopy(copied, pageB);
    ASSERT_TRUE(archived);
    ASSERT_NE(archived->content.asLoaded(), nullptr);
    EXPECT_EQ(archived->visibleText(), "beta\n");
    auto reloaded = loadedDocument(destination.path());
    EXPECT_EQ(pageCopy(reloaded, pageA)->visibleText(), "alpha\n");
    EXPECT_TRUE(pageCopy(reloaded, pageB));
}

TEST(LibraryCopy, DestinationWithAnyLibraryEntryIsRefusedBeforeTheSourceIsRead) {
    TemporaryFolder source;
    TemporaryFolder destination;
    writeLibrary(source.path());
    destination.createFolder(".velto/writers/");
    try {
        VeltoPageLibrary::copyLibrary(source.path(), destination.path());
        FAIL();
    } catch (const VeltoLibraryConnectionError &error) {
        EXPECT_EQ(error, VeltoLibraryConnectionError::destinationContainsLibrary(destination.path()));
    }
    EXPECT_FALSE(destination.exists(".velto/manifest.json"));
}

// A lock file alone is what a failed copy or an interrupted connection leaves behind: it holds no pages, so the
// folder takes the copy.
TEST(LibraryCopy, DestinationHoldingOnlyALockFileTakesTheCopy) {
    TemporaryFolder source;
    TemporaryFolder destination;
    writeLibrary(source.path());
    destination.writeFile(".velto/transaction.lock", "");
    VeltoPageLibrary::copyLibrary(source.path(), destination.path());
    EXPECT_TRUE(destination.exists(".velto/manifest.json"));
}

/// The names in the folder and below it, hidden ones included.
std::vector<std::string> everythingIn(const std::filesystem::path &folder) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(entry.path().lexically_relative(folder).string());
    }
    return names;
}

// A copy stopped at any step (a process killed, a disk that stays broken: nothing after that step is done, its own
// clean-up included) leaves a destination that the next copy takes: it clears what the unfinished copy wrote, and
// the user's own file beside it stays. Every step of the copy is tried in turn.
TEST(LibraryCopy, CopyStoppedAtAnyStepLeavesAFolderTheNextCopyTakes) {
    TemporaryFolder source;
    writeLibrary(source.path(), true);
    for (std::size_t step = 1;; ++step) {
        SCOPED_TRACE("stopped at step " + std::to_string(step));
        TemporaryFolder destination;
        destination.writeFile("mine.md", "Mine\n");
        velto::testing::FailingFileSystem stopping;
        stopping.failFromOperation(step);
        try {
            VeltoPageLibrary::copyLibrary(source.path(), destination.path(), stopping);
        } catch (const std::exception &) {
        }
        if (!stopping.injectedFailure()) {
            break; // the copy ran to its end: every step was tried
        }
        ASSERT_NO_THROW(VeltoPageLibrary::copyLibrary(source.path(), destination.path()));
        EXPECT_EQ(destination.readFile("mine.md"), "Mine\n");
        for (const std::string &name : everythingIn(destination.path())) {
            EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
            EXPECT_EQ(name.find("unfinished-copy"), std::string::npos) << name;
        }
        auto copied = loadedDocument(destination.path());
        EXPECT_EQ(allPagesOf(copied).size(), 3u) << "the two pages copied, and the user's own file";
        EXPECT_EQ(pageCopy(copied, pageA)->visibleText(), "alpha\n");
    }
}

/// The page files lying in the folder itself, hidden ones aside.
std::vector<std::string> pageFilesIn(const std::filesystem::path &folder) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        auto name = entry.path().filename().string();
        if (entry.is_regular_file() && name.ends_with(".md") && !name.starts_with(".")) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

/// Copies again and expects the refusal that names the file and tells what to do.
void expectCopyRefusedNaming(const std::filesystem::path &source, const std::filesystem::path &destination,
                             const std::string &fileName) {
    try {
        VeltoPageLibrary::copyLibrary(source, destination);
        ADD_FAILURE() << "the copy went ahead over a changed file";
    } catch (const VeltoLibraryConnectionError &error) {
        EXPECT_EQ(error.kind(), VeltoLibraryConnectionError::Kind::unfinishedCopyChanged) << error.what();
        EXPECT_NE(std::string(error.what()).find("“" + fileName + "”"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("move it out of the folder"), std::string::npos) << error.what();
    }
}

// A copy stopped at any step, a page file it left then edited by hand: the next copy neither removes nor
// overwrites the edit, and says which file keeps it; the user's own file beside it stays. Once the edited file is
// moved out, the copy goes ahead.
TEST(LibraryCopy, HandEditOfAPageFileACopyLeftIsNeverClearedNorOverwritten) {
    TemporaryFolder source;
    writeLibrary(source.path(), true);
    std::size_t editedSteps = 0;
    for (std::size_t step = 1;; ++step) {
        SCOPED_TRACE("stopped at step " + std::to_string(step));
        TemporaryFolder destination;
        velto::testing::FailingFileSystem stopping;
        stopping.countOnly({FileOperation::write, FileOperation::fsync, FileOperation::rename, FileOperation::remove,
                            FileOperation::createDirectory});
        stopping.failFromOperation(step);
        try {
            VeltoPageLibrary::copyLibrary(source.path(), destination.path(), stopping);
        } catch (const std::exception &) {
        }
        if (!stopping.injectedFailure()) {
            break;
        }
        auto pageFiles = pageFilesIn(destination.path());
        if (pageFiles.empty()) {
            continue;
        }
        ++editedSteps;
        const std::string edited = pageFiles.front();
        const std::string editedText = destination.readFile(edited) + "my edit\n";
        destination.writeFile(edited, editedText);
        destination.writeFile("notes.md", "my own notes\n");

        expectCopyRefusedNaming(source.path(), destination.path(), edited);

        EXPECT_EQ(destination.readFile(edited), editedText);
        EXPECT_EQ(destination.readFile("notes.md"), "my own notes\n");
        TemporaryFolder elsewhere;
        std::filesystem::rename(destination / edited, elsewhere / edited);
        ASSERT_NO_THROW(VeltoPageLibrary::copyLibrary(source.path(), destination.path()));
        EXPECT_EQ(destination.readFile("notes.md"), "my own notes\n");
        EXPECT_EQ(pageCopy(loadedDocument(destination.path()), pageA)->visibleText(), "alpha\n");
    }
    EXPECT_GT(editedSteps, 3u) << "too few stopped copies left a page file to prove anything";
}

/// A copy whose note cannot be taken away at its end: the note stays, beside the whole copy.
void copyStoppedBeforeItsNoteGoes(const std::filesystem::path &source, const std::filesystem::path &destination) {
    velto::testing::FailingFileSystem stopping;
    stopping.countOnlyPathsContaining(VeltoPageLibrary::unfinishedCopyNoteName);
    stopping.countOnly({FileOperation::remove});
    stopping.failOperation(1);
    EXPECT_ANY_THROW(VeltoPageLibrary::copyLibrary(source, destination, stopping));
}

// What a copy writes into ".velto" is proven its own by its bytes too, and what it did not write there is not
// taken for its own: a changed journal or a file the user put there keeps the folder from being cleared.
TEST(LibraryCopy, MetadataFileNotAsTheStoppedCopyWroteItIsKept) {
    TemporaryFolder source;
    writeLibrary(source.path());
    for (const bool changesJournal : {true, false}) {
        TemporaryFolder destination;
        copyStoppedBeforeItsNoteGoes(source.path(), destination.path());
        std::string changed = ".velto/added-by-hand.txt";
        if (changesJournal) {
            std::filesystem::directory_iterator journals(destination / ".velto/writers");
            changed = ".velto/writers/" + journals->path().filename().string();
            destination.writeFile(changed, destination.readFile(changed) + " ");
        } else {
            destination.writeFile(changed, "mine");
        }

        expectCopyRefusedNaming(source.path(), destination.path(), changed);

        EXPECT_TRUE(destination.exists(changed));
        EXPECT_TRUE(destination.exists(".velto/manifest.json")) << "a refused clearing removes nothing";
    }
}

/// The real file system, with an editor rewriting one file in place while another is read.
class EditedWhileReadingFileSystem : public velto::PosixFileSystem {
public:
    EditedWhileReadingFileSystem(std::filesystem::path read, std::filesystem::path edited)
        : read_(std::move(read))
        , edited_(std::move(edited)) {}

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override {
        if (operation == FileOperation::read && path == read_ && !done_) {
            done_ = true;
            std::ofstream(edited_, std::ios::binary | std::ios::app) << "my edit\n";
        }
    }

private:
    std::filesystem::path read_;
    std::filesystem::path edited_;
    bool done_ = false;
};

// Clearing a stopped copy proves each file as it takes it away: a page file an editor rewrites in place after it was
// proven, while the next one is still read, is kept with the edit and named, never removed and written over.
TEST(LibraryCopy, PageFileEditedWhileTheNextIsProvenIsKept) {
    TemporaryFolder source;
    writeLibrary(source.path());
    TemporaryFolder destination;
    copyStoppedBeforeItsNoteGoes(source.path(), destination.path());
    auto pageFiles = pageFilesIn(destination.path());
    ASSERT_EQ(pageFiles.size(), 2u);
    const std::string edited = destination.readFile(pageFiles[0]) + "my edit\n";

    EditedWhileReadingFileSystem editing(destination / pageFiles[1], destination / pageFiles[0]);
    try {
        VeltoPageLibrary::copyLibrary(source.path(), destination.path(), editing);
        ADD_FAILURE() << "the copy went ahead over an edited file";
    } catch (const VeltoLibraryConnectionError &error) {
        EXPECT_EQ(error.kind(), VeltoLibraryConnectionError::Kind::unfinishedCopyChanged) << error.what();
        EXPECT_NE(std::string(error.what()).find(pageFiles[0]), std::string::npos) << error.what();
    }
    EXPECT_EQ(destination.readFile(pageFiles[0]), edited);
}

// A note of an earlier version names its page files without checksums: none of them is taken for the copy's.
TEST(LibraryCopy, NoteWithoutChecksumsClearsNoPageFile) {
    TemporaryFolder source;
    TemporaryFolder destination;
    writeLibrary(source.path());
    destination.writeFile("page.md", "---\nvelto_id: " + pageA.uppercaseText() + "\n---\nmy edit\n");
    destination.writeFile(std::string(".velto/") + VeltoPageLibrary::unfinishedCopyNoteName,
                          R"({"pageFiles": [{"name": "page.md", "id": ")" + pageA.lowercaseText() + R"("}]})");

    expectCopyRefusedNaming(source.path(), destination.path(), "page.md");

    EXPECT_NE(destination.readFile("page.md").find("my edit"), std::string::npos);
}

TEST(LibraryCopy, SourceWithoutLibraryIsUnavailable) {
    TemporaryFolder source;
    TemporaryFolder destination;
    try {
        VeltoPageLibrary::copyLibrary(source.path(), destination.path());
        FAIL();
    } catch (const VeltoLibraryConnectionError &error) {
        EXPECT_EQ(error, VeltoLibraryConnectionError::sourceLibraryUnavailable("Its manifest is missing."));
    }
}

TEST(LibraryRecovery, FolderWithoutManifestIsWrittenAndGivesNoRecoveryFile) {
    TemporaryFolder folder;
    auto request = requestFor(documentOf(pageWithBody(pageA, "alpha\n")), {pageA});
    EXPECT_FALSE(VeltoPageLibrary::recover(request, folder.path()));
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), "alpha\n");
}

TEST(LibraryRecovery, DamagedManifestIsKeptAsARecoveryFileAndReplaced) {
    TemporaryFolder folder;
    writeLibrary(folder.path());
    folder.writeFile(".velto/manifest.json", "{ garbled");
    auto request = requestFor(documentOf(pageWithBody(pageA, "alpha again\n")), {pageA});
    request.structureRevision = 1;

    auto first = VeltoPageLibrary::recover(request, folder.path());
    folder.writeFile(".velto/manifest.json", "{ garbled again");
    auto second = VeltoPageLibrary::recover(request, folder.path());

    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_EQ(recoveryFiles(folder.path()).size(), 2u);
    auto name = first->filename().string();
    EXPECT_EQ(name.substr(18, 36), Uuid::parse(name.substr(18, 36))->uppercaseText());
    EXPECT_EQ(folder.readFile(first->lexically_relative(folder.path())), "{ garbled");
    EXPECT_EQ(pageCopy(loadedDocument(folder.path()), pageA)->visibleText(), "alpha again\n");
}

/// Fails the journal write of a save, and then the given number of steps that put a manifest in place.
class FailingJournalFileSystem : public PosixFileSystem {
public:
    explicit FailingJournalFileSystem(int failingManifestRenames)
        : failingManifestRenames(failingManifestRenames) {}

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override {
        if (operation == FileOperation::write && path.parent_path().filename() == "writers") {
            journalFailed = true;
            throw FileSystemError(EIO, path, "write");
        }
        if (journalFailed && operation == FileOperation::rename && path.filename() == "manifest.json" &&
            failingManifestRenames > 0) {
            --failingManifestRenames;
            throw FileSystemError(EIO, path, "rename");
        }
    }

private:
    int failingManifestRenames;
    bool journalFailed = false;
};

TEST(LibraryRecovery, FailedWriteLeavesALibraryThatLoadsWithoutLoss) {
    // 0: the manifest is moved back; 1: the move back fails and its bytes are written back instead;
    // 2: both fail, and the library is left without its manifest.
    for (int failingRenames : {0, 1, 2}) {
        TemporaryFolder folder;
        writeLibrary(folder.path());
        auto manifestBefore = folder.readFile(".velto/manifest.json");
        FailingJournalFileSystem fileSystem(failingRenames);
        auto request =
            requestFor(documentOf(pageWithBody(pageA, "alpha 2\n"), {pageWithBody(pageB, "beta\n")}), {pageA});

        EXPECT_ANY_THROW(VeltoPageLibrary::recover(request, folder.path(), fileSystem)) << failingRenames;

        if (failingRenames < 2) {
            EXPECT_EQ(folder.readFile(".velto/manifest.json"), manifestBefore) << failingRenames;
            EXPECT_TRUE(recoveryFiles(folder.path()).empty()) << failingRenames;
        } else {
            EXPECT_EQ(recoveryFiles(folder.path()).size(), 1u);
        }
        auto reloaded = loadedDocument(folder.path());
        EXPECT_TRUE(pageCopy(reloaded, pageA)) << failingRenames;
        EXPECT_TRUE(pageCopy(reloaded, pageB)) << failingRenames;
    }
}

} // namespace
