#include "platform/LockFile.h"

#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <utility>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

TEST(LockFile, OpeningCreatesTheFileAndTellsItsIdentity) {
    TemporaryFolder folder;
    LockFile file(folder / "transaction.lock");
    EXPECT_TRUE(folder.exists("transaction.lock"));
    EXPECT_TRUE(file.isRegularFile());
    struct stat status {};
    ASSERT_EQ(::stat((folder / "transaction.lock").c_str(), &status), 0);
    EXPECT_EQ(file.device(), status.st_dev);
    EXPECT_EQ(file.inode(), status.st_ino);

    fs::create_symlink(folder / "transaction.lock", folder / "link.lock");
    LockFile throughLink(folder / "link.lock");
    EXPECT_EQ(throughLink.device(), file.device());
    EXPECT_EQ(throughLink.inode(), file.inode());
}

TEST(LockFile, WhatIsNotARegularFileOpensWithoutWaitingAndSaysSo) {
    TemporaryFolder folder;
    ASSERT_EQ(::mkfifo((folder / "fifo.lock").c_str(), 0600), 0);
    LockFile fifo(folder / "fifo.lock");
    EXPECT_FALSE(fifo.isRegularFile());
}

TEST(LockFile, FailedOpeningNamesTheCallAndTheErrno) {
    TemporaryFolder folder;
    folder.createFolder("folder.lock");
    struct Case {
        fs::path path;
        int code;
    };
    const Case cases[] = {
        {folder / "missing" / "transaction.lock", ENOENT},
        {folder / "folder.lock", EISDIR},
    };
    for (const Case &failing : cases) {
        try {
            LockFile file(failing.path);
            ADD_FAILURE() << "opened " << failing.path;
        } catch (const LockFileOpenError &error) {
            EXPECT_EQ(error.code(), failing.code) << failing.path;
            EXPECT_EQ(error.call(), "open");
            EXPECT_EQ(error.path(), failing.path);
        }
    }
}

// The lock belongs to the open file: two in one process exclude each other exactly as two processes do.
TEST(LockFile, TwoOpenFilesOfOnePathShareOrExcludeByMode) {
    TemporaryFolder folder;
    struct Case {
        LockFileMode held;
        LockFileMode asked;
        bool granted;
    };
    const Case cases[] = {
        {LockFileMode::shared, LockFileMode::shared, true},
        {LockFileMode::shared, LockFileMode::exclusive, false},
        {LockFileMode::exclusive, LockFileMode::shared, false},
        {LockFileMode::exclusive, LockFileMode::exclusive, false},
    };
    for (const Case &modes : cases) {
        LockFile holder(folder / "transaction.lock");
        ASSERT_TRUE(holder.tryLock(modes.held));
        LockFile other(folder / "transaction.lock");
        EXPECT_EQ(other.tryLock(modes.asked), modes.granted)
            << static_cast<int>(modes.held) << " then " << static_cast<int>(modes.asked);
    }
}

TEST(LockFile, LockGoesWithTheFileAndStaysWithAMove) {
    TemporaryFolder folder;
    std::optional<LockFile> holder(std::in_place, folder / "transaction.lock");
    ASSERT_TRUE(holder->tryLock(LockFileMode::exclusive));

    LockFile moved(std::move(*holder));
    holder.reset();
    LockFile other(folder / "transaction.lock");
    EXPECT_FALSE(other.tryLock(LockFileMode::exclusive)) << "the moved-from file let the lock go";

    moved = LockFile(folder / "another.lock");
    EXPECT_TRUE(other.tryLock(LockFileMode::exclusive)) << "replacing the file kept its lock";
}

} // namespace
} // namespace velto
