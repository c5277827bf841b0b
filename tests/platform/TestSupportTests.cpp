#include "support/FailingFileSystem.h"
#include "support/ManualClock.h"
#include "support/RecordingFileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

namespace fs = std::filesystem;
using testing::FailingFileSystem;
using testing::ManualClock;
using testing::RecordedOperation;
using testing::RecordingFileSystem;
using testing::TemporaryFolder;

TEST(TemporaryFolder, IsRemovedWithItsContents) {
    fs::path path;
    {
        TemporaryFolder folder;
        path = folder.path();
        folder.writeFile("a/b/c.md", "text");
        EXPECT_EQ(folder.readFile("a/b/c.md"), "text");
        fs::permissions(folder / "a", fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(ManualClock, MovesOnlyWhenTold) {
    ManualClock clock(dateFromSecondsSince1970(100));
    EXPECT_EQ(clock.now(), dateFromSecondsSince1970(100));
    clock.advanceSeconds(2.5);
    EXPECT_EQ(clock.now(), dateFromSecondsSince1970(102.5));
    clock.set(dateFromSecondsSince1970(7));
    const Clock &asClock = clock;
    EXPECT_EQ(asClock.now(), dateFromSecondsSince1970(7));
}

TEST(RecordingFileSystem, ShowsTheStepsOfAnAtomicWrite) {
    TemporaryFolder folder;
    RecordingFileSystem recording;
    FileSystem &fileSystem = recording;
    fileSystem.writeAtomically(folder / "page.md", "x");
    std::vector<RecordedOperation> operations = recording.operations();
    ASSERT_EQ(operations.size(), 4u);
    EXPECT_EQ(operations[0].operation, FileOperation::write);
    EXPECT_EQ(operations[0].path.parent_path(), folder.path());
    EXPECT_EQ(operations[0].path.filename().string().rfind(".page.md.tmp-", 0), 0u);
    EXPECT_EQ(operations[1], (RecordedOperation{FileOperation::fsync, operations[0].path}));
    EXPECT_EQ(operations[2], (RecordedOperation{FileOperation::rename, folder / "page.md"}));
    EXPECT_EQ(operations[3], (RecordedOperation{FileOperation::fsync, folder.path()}));
    EXPECT_EQ(recording.renamedPaths(), std::vector<fs::path>{folder / "page.md"});
    recording.clear();
    EXPECT_TRUE(recording.operations().empty());
}

TEST(FailingFileSystem, FailsOnlyTheChosenKindWithTheChosenError) {
    TemporaryFolder folder;
    FailingFileSystem failing;
    failing.countOnly({FileOperation::rename});
    failing.failOperation(2, ENOSPC);
    FileSystem &fileSystem = failing;
    fileSystem.writeAtomically(folder / "one.md", "1");
    EXPECT_FALSE(failing.injectedFailure());
    try {
        fileSystem.writeAtomically(folder / "two.md", "2");
        FAIL() << "no failure injected";
    } catch (const FileSystemError &error) {
        EXPECT_EQ(error.code(), ENOSPC);
        EXPECT_EQ(error.path(), folder / "two.md");
    }
    EXPECT_TRUE(failing.injectedFailure());
    EXPECT_EQ(failing.countedOperations(), 2u);
    fileSystem.writeAtomically(folder / "three.md", "3");
    EXPECT_FALSE(folder.exists("two.md"));
    EXPECT_TRUE(folder.exists("three.md"));
}

TEST(FailingFileSystem, CanStayBrokenAndFilterByPath) {
    TemporaryFolder folder;
    FailingFileSystem failing;
    failing.countOnlyPathsContaining("manifest");
    failing.failFromOperation(1, EIO);
    failing.writeAtomically(folder / "page.md", "p");
    EXPECT_THROW(failing.writeAtomically(folder / "manifest.json", "m"), FileSystemError);
    EXPECT_THROW(failing.readFile(folder / "manifest.json"), FileSystemError);
    failing.resetCount();
    EXPECT_FALSE(failing.injectedFailure());
    EXPECT_EQ(failing.countedOperations(), 0u);
    EXPECT_EQ(failing.readFile(folder / "page.md"), "p");
}

} // namespace
} // namespace velto
