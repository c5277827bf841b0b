#include "platform/FileSystem.h"

#include "support/FailingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::FailingFileSystem;
using testing::TemporaryFolder;

/// The error code of the FileSystemError that `action` throws; 0 when it throws none.
template <typename Action> int errorCodeOf(Action action) {
    try {
        action();
    } catch (const FileSystemError &error) {
        return error.code();
    }
    return 0;
}

class FileSystemTest : public ::testing::Test {
protected:
    TemporaryFolder folder;
    PosixFileSystem fileSystem;
};

TEST_F(FileSystemTest, AtomicWriteCreatesAndReplacesLeavingNoTemporaryFile) {
    fs::path page = folder / "page.md";
    fileSystem.writeAtomically(page, "first");
    EXPECT_EQ(fileSystem.readFile(page), "first");
    fileSystem.writeAtomically(page, "second, longer");
    EXPECT_EQ(fileSystem.readFile(page), "second, longer");
    fileSystem.writeAtomically(page, "");
    EXPECT_EQ(fileSystem.readFile(page), "");
    EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), std::vector<std::string>{"page.md"});
}

TEST_F(FileSystemTest, AtomicWriteKeepsLargeContentWhole) {
    std::string bytes(3 * 1024 * 1024 + 17, 'x');
    bytes[12345] = '\0';
    fileSystem.writeAtomically(folder / "big.md", bytes);
    EXPECT_EQ(fileSystem.readFile(folder / "big.md"), bytes);
    EXPECT_EQ(fileSystem.readPrefix(folder / "big.md", 10), std::string(10, 'x'));
}

TEST_F(FileSystemTest, AtomicWriteIntoAMissingFolderFailsAndCreatesNothing) {
    EXPECT_EQ(errorCodeOf([&] { fileSystem.writeAtomically(folder / "missing" / "page.md", "x"); }), ENOENT);
    EXPECT_TRUE(fileSystem.contentsOfDirectory(folder.path()).empty());
}

TEST_F(FileSystemTest, AtomicWriteFailingAtAnyStepLeavesOldOrNewBytesAndNoTemporaryFile) {
    fs::path page = folder / "page.md";
    std::size_t failurePoints = 0;
    for (std::size_t n = 1;; ++n) {
        fileSystem.writeAtomically(page, "old");
        FailingFileSystem failing;
        failing.failOperation(n, ENOSPC);
        int code = errorCodeOf([&] { failing.writeAtomically(page, "new"); });
        if (!failing.injectedFailure()) {
            EXPECT_EQ(code, 0);
            EXPECT_EQ(fileSystem.readFile(page), "new");
            break;
        }
        ++failurePoints;
        EXPECT_EQ(code, ENOSPC) << "step " << n;
        std::string bytes = fileSystem.readFile(page);
        EXPECT_TRUE(bytes == "old" || bytes == "new") << "step " << n << ": " << bytes;
        EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), std::vector<std::string>{"page.md"}) << "step " << n;
    }
    EXPECT_EQ(failurePoints, 4u); // write, fsync, rename, fsync of the folder
}

TEST_F(FileSystemTest, ReadingAMissingFileReportsTheErrnoAndPath) {
    fs::path missing = folder / "missing.md";
    try {
        fileSystem.readFile(missing);
        FAIL() << "no error";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_EQ(error.path(), missing);
        EXPECT_EQ(error.localizedDescription(), "No such file or directory");
    }
}

TEST_F(FileSystemTest, ReadingStopsAtTheBoundAndRefusesWhatIsNotARegularFile) {
    folder.writeFile("four.md", "1234");
    EXPECT_EQ(fileSystem.readFile(folder / "four.md", 4), "1234") << "a file of exactly the bound is read";
    EXPECT_EQ(errorCodeOf([&] { fileSystem.readFile(folder / "four.md", 3); }), EFBIG);
    EXPECT_EQ(fileSystem.readPrefix(folder / "four.md", 3), "123") << "a prefix is no whole file";

    fs::path fifo = folder / "fifo.md";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        fileSystem.readFile(fifo); // would wait for a writer for ever if it were opened as a file
        FAIL() << "a FIFO was read";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.localizedDescription(), "Not a regular file");
        EXPECT_NE(std::string(error.what()).find(fifo.string()), std::string::npos) << error.what();
    }
    EXPECT_EQ(errorCodeOf([&] { fileSystem.readPrefix(fifo, 10); }), EINVAL);
    EXPECT_EQ(errorCodeOf([&] { fileSystem.readFile(folder.path()); }), EISDIR);
}

TEST_F(FileSystemTest, MoveRefusesToReplaceAnExistingItem) {
    fs::path from = folder.writeFile("a.md", "a");
    fs::path to = folder.writeFile("b.md", "b");
    EXPECT_EQ(errorCodeOf([&] { fileSystem.moveItem(from, to); }), EEXIST);
    EXPECT_EQ(folder.readFile("a.md"), "a");
    EXPECT_EQ(folder.readFile("b.md"), "b");

    folder.createFolder("dir");
    EXPECT_EQ(errorCodeOf([&] { fileSystem.moveItem(from, folder / "dir"); }), EEXIST);
}

TEST_F(FileSystemTest, MoveRenamesFilesAndFolders) {
    folder.writeFile("old/inner.md", "x");
    fileSystem.moveItem(folder / "old", folder / "new");
    EXPECT_FALSE(folder.exists("old"));
    EXPECT_EQ(folder.readFile("new/inner.md"), "x");
    fileSystem.moveItem(folder / "new" / "inner.md", folder / "moved.md");
    EXPECT_EQ(folder.readFile("moved.md"), "x");
    try {
        fileSystem.moveItem(folder / "gone.md", folder / "other.md");
        FAIL() << "no error";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_EQ(error.path(), folder / "gone.md");
    }
}

TEST_F(FileSystemTest, CopyDuplicatesFilesAndFoldersButNeverReplaces) {
    folder.writeFile("src/a.md", "a");
    folder.writeFile("src/.hidden/b.md", "b");
    fileSystem.copyItem(folder / "src", folder / "dst");
    EXPECT_EQ(folder.readFile("dst/a.md"), "a");
    EXPECT_EQ(folder.readFile("dst/.hidden/b.md"), "b");
    EXPECT_EQ(folder.readFile("src/a.md"), "a");
    EXPECT_EQ(errorCodeOf([&] { fileSystem.copyItem(folder / "src" / "a.md", folder / "dst" / "a.md"); }), EEXIST);
    EXPECT_EQ(errorCodeOf([&] { fileSystem.copyItem(folder / "src", folder / "dst"); }), EEXIST);
}

TEST_F(FileSystemTest, CopyRefusesByNameWhatIsNotARegularFileAndLeavesNoHalfCopy) {
    folder.writeFile("src/a.md", "a");
    fs::path fifo = folder / "src" / "b.md";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    try {
        fileSystem.copyItem(folder / "src", folder / "dst"); // would wait for a writer if the FIFO were read
        FAIL() << "a FIFO was copied";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.path(), fifo);
        EXPECT_EQ(error.localizedDescription(), "Not a regular file");
        EXPECT_NE(std::string(error.what()).find(fifo.string()), std::string::npos) << error.what();
    }
    EXPECT_FALSE(folder.exists("dst"));
    EXPECT_EQ(folder.readFile("src/a.md"), "a");
}

TEST_F(FileSystemTest, CopyKeepsModificationDates) {
    fs::path original = folder.writeFile("library/page.md", "text");
    auto past = fs::file_time_type::clock::now() - std::chrono::hours(72);
    fs::last_write_time(original, past);
    fs::last_write_time(folder / "library", past);
    fileSystem.copyItem(folder / "library", folder / "copy");
    EXPECT_EQ(fileSystem.status(folder / "copy" / "page.md")->modificationDate,
              fileSystem.status(original)->modificationDate);
    EXPECT_EQ(fileSystem.status(folder / "copy")->modificationDate,
              fileSystem.status(folder / "library")->modificationDate);
}

TEST_F(FileSystemTest, CreateDirectoriesMakesParentsAndAcceptsExistingFolders) {
    fs::path deep = folder / "a" / "b" / "c";
    fileSystem.createDirectories(deep);
    EXPECT_TRUE(fileSystem.isDirectory(deep));
    fileSystem.createDirectories(deep);
    fileSystem.createDirectories(folder / "a" / "b" / "c" / "");
    folder.writeFile("file", "x");
    EXPECT_NE(errorCodeOf([&] { fileSystem.createDirectories(folder / "file" / "sub"); }), 0);
}

TEST_F(FileSystemTest, RemoveDeletesFoldersWithContentsAndLinksNotTheirTargets) {
    folder.writeFile("tree/a/b.md", "b");
    folder.writeFile("tree/.hidden", "h");
    folder.writeFile("target.md", "t");
    fs::create_symlink(folder / "target.md", folder / "tree" / "link");
    fileSystem.removeItem(folder / "tree");
    EXPECT_FALSE(folder.exists("tree"));
    EXPECT_EQ(folder.readFile("target.md"), "t");
    EXPECT_EQ(errorCodeOf([&] { fileSystem.removeItem(folder / "tree"); }), ENOENT);
}

TEST_F(FileSystemTest, EnumerationSkipsHiddenEntriesAndDoesNotFollowFolderLinks) {
    folder.writeFile("b.md", "");
    folder.writeFile("a/x.md", "");
    folder.writeFile("a/.draft.md", "");
    folder.writeFile("a/sub/y.md", "");
    folder.writeFile(".velto/manifest.json", "");
    fs::create_directory_symlink(folder / "a", folder / "link");
    std::vector<DirectoryEntry> expected = {
        {"a", FileType::directory},    {"a/sub", FileType::directory}, {"a/sub/y.md", FileType::regular},
        {"a/x.md", FileType::regular}, {"b.md", FileType::regular},    {"link", FileType::symbolicLink},
    };
    EXPECT_EQ(fileSystem.enumerateRecursively(folder.path()), expected);
    EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), (std::vector<std::string>{".velto", "a", "b.md", "link"}));
}

TEST_F(FileSystemTest, EntriesOfAFolderCarryTheirOwnTypesHiddenOnesIncluded) {
    folder.writeFile("b.md", "");
    folder.writeFile("a/x.md", "");
    folder.writeFile(".velto/manifest.json", "");
    fs::create_directory_symlink(folder / "a", folder / "link");
    fs::create_symlink(folder / "nowhere.md", folder / "dangling.md");
    std::vector<DirectoryEntry> expected = {
        {".velto", FileType::directory},         {"a", FileType::directory},       {"b.md", FileType::regular},
        {"dangling.md", FileType::symbolicLink}, {"link", FileType::symbolicLink},
    };
    EXPECT_EQ(fileSystem.entriesOfDirectory(folder.path()), expected);
    // A file system that only lists names looks at each entry instead, with the same answer.
    EXPECT_EQ(fileSystem.FileSystem::entriesOfDirectory(folder.path()), expected);
}

TEST_F(FileSystemTest, StatusOfADanglingLinkDependsOnFollowingLinks) {
    fs::create_symlink(folder / "nowhere.md", folder / "dangling");
    auto own = fileSystem.status(folder / "dangling", false);
    ASSERT_TRUE(own);
    EXPECT_EQ(own->type, FileType::symbolicLink);
    EXPECT_EQ(fileSystem.status(folder / "dangling", true), std::nullopt);
    EXPECT_FALSE(fileSystem.fileExists(folder / "dangling"));
}

TEST_F(FileSystemTest, StatusDescribesFilesAndIsAbsentBelowAFile) {
    folder.writeFile("page.md", "12345");
    auto status = fileSystem.status(folder / "page.md");
    ASSERT_TRUE(status);
    EXPECT_EQ(status->type, FileType::regular);
    EXPECT_EQ(status->size, 5u);
    EXPECT_NE(status->inode, 0u);
    EXPECT_GT(status->modificationDate.time_since_epoch().count(), 0);
    EXPECT_TRUE(fileSystem.isRegularFile(folder / "page.md"));
    EXPECT_FALSE(fileSystem.isDirectory(folder / "page.md"));
    EXPECT_EQ(fileSystem.status(folder / "page.md" / "child"), std::nullopt);
    EXPECT_EQ(fileSystem.status(folder / "missing"), std::nullopt);
}

TEST_F(FileSystemTest, ResolvingSymlinksGivesTheRealPathOrThePathItself) {
    folder.createFolder("real");
    fs::create_directory_symlink(folder / "real", folder / "alias");
    EXPECT_EQ(fileSystem.resolvingSymlinks(folder / "alias"), fs::canonical(folder / "real"));
    EXPECT_EQ(fileSystem.resolvingSymlinks(folder / "missing"), folder / "missing");
}

// File names end at 255 bytes: the temporary file of a page whose name is that long must still fit.
TEST_F(FileSystemTest, AtomicWriteReplacesFilesWhoseNamesReachTheLengthLimit) {
    for (std::size_t length : {200u, 238u, 250u, 255u}) {
        fs::path page = folder / (std::string(length - 3, 'n') + ".md");
        fileSystem.writeAtomically(page, "first");
        fileSystem.writeAtomically(page, "second");
        EXPECT_EQ(fileSystem.readFile(page), "second") << length;
        EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()).size(), 1u) << length;
        fs::remove(page);
    }
}

mode_t permissionBits(const fs::path &path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// A private page stays private and a shared one keeps its group's access: the replacement takes the replaced
// file's bits. A file marked read-only is refused by name and keeps its bytes.
TEST_F(FileSystemTest, AtomicWriteKeepsPermissionBitsAndRefusesReadOnlyFilesByName) {
    fs::path page = folder / "page.md";
    for (mode_t mode : {0600, 0640, 0664, 0700}) {
        fileSystem.writeAtomically(page, "old");
        ASSERT_EQ(::chmod(page.c_str(), mode), 0);
        fileSystem.writeAtomically(page, "new");
        EXPECT_EQ(permissionBits(page), mode);
    }

    ASSERT_EQ(::chmod(page.c_str(), 0444), 0);
    try {
        fileSystem.writeAtomically(page, "overwritten");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), EACCES);
        EXPECT_EQ(error.path(), page);
        EXPECT_NE(error.localizedDescription().find("“page.md”"), std::string::npos) << error.localizedDescription();
    }
    EXPECT_EQ(fileSystem.readFile(page), "new");
    EXPECT_EQ(permissionBits(page), 0444u);
    EXPECT_EQ(fileSystem.contentsOfDirectory(folder.path()), std::vector<std::string>{"page.md"});
}

// The temporary file is ours: a failure to create it names the file the user knows.
TEST_F(FileSystemTest, AtomicWriteErrorsNameTheReplacedFile) {
    try {
        fileSystem.writeAtomically(folder / "missing" / "page.md", "x");
        ADD_FAILURE() << "the write succeeded";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.path(), folder / "missing" / "page.md");
    }
}

TEST_F(FileSystemTest, UnreadableFolderReportsPermissionDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    fs::path locked = folder.createFolder("locked");
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(errorCodeOf([&] { fileSystem.contentsOfDirectory(locked); }), EACCES);
    fs::permissions(locked, fs::perms::owner_all);
}

} // namespace
} // namespace velto
