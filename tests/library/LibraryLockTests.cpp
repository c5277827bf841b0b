#include "library/folder/LibraryLock.h"

#include "platform/FileSystem.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>

extern char **environ;

namespace {

using velto::testing::TemporaryFolder;
using VeltoPageLibrary::LibraryLockMode;
using VeltoPageLibrary::withLibraryLocks;
namespace fs = std::filesystem;

fs::path libraryFolder(const TemporaryFolder &temporary, const std::string &name) {
    return temporary.createFolder(name + "/.velto").parent_path();
}

std::size_t openDescriptorCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

/// Whether another open file description could take the folder's lock right now.
bool isLockFree(const fs::path &folder, int operation = LOCK_EX) {
    int descriptor = ::open((folder / ".velto/transaction.lock").c_str(), O_RDWR | O_CLOEXEC);
    if (descriptor < 0) {
        return true;
    }
    bool free = ::flock(descriptor, operation | LOCK_NB) == 0;
    ::close(descriptor);
    return free;
}

TEST(LibraryLock, EmptyFolderListRunsBodyWithoutOpeningAnything) {
    auto before = openDescriptorCount();
    int hooks = 0;
    int result = withLibraryLocks(
        {}, LibraryLockMode::exclusive, [&] { ++hooks; }, [&] { return static_cast<int>(openDescriptorCount()); });
    EXPECT_EQ(result, static_cast<int>(before));
    EXPECT_EQ(hooks, 0);
}

TEST(LibraryLock, BodyRunsWhileLockIsHeldAndLockIsFreeAfterwards) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    bool heldDuringBody = withLibraryLocks({folder}, LibraryLockMode::exclusive, [&] { return !isLockFree(folder); });
    EXPECT_TRUE(heldDuringBody);
    EXPECT_TRUE(isLockFree(folder));
}

TEST(LibraryLock, SameFolderUnderSeveralSpellingsIsLockedOnce) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    temporary.createFolder("Other");
    int hooks = 0;
    withLibraryLocks(
        {folder, folder / ".", folder.parent_path() / "Other" / ".." / "Pages", folder.string() + "/"},
        LibraryLockMode::exclusive, [&] { ++hooks; }, [] {});
    EXPECT_EQ(hooks, 1);
}

TEST(LibraryLock, FolderReachedThroughSymbolicLinkIsLockedOnceWithoutDeadlock) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    fs::create_directory_symlink(folder, temporary / "Link");
    int hooks = 0;
    withLibraryLocks(
        {temporary / "Link", folder}, LibraryLockMode::exclusive, [&] { ++hooks; }, [] {});
    EXPECT_EQ(hooks, 1);
}

TEST(LibraryLock, TwoFoldersAreBothHeldAndReleased) {
    TemporaryFolder temporary;
    auto first = libraryFolder(temporary, "B");
    auto second = libraryFolder(temporary, "A");
    int hooks = 0;
    bool bothHeld = withLibraryLocks(
        {first, second}, LibraryLockMode::exclusive, [&] { ++hooks; },
        [&] { return !isLockFree(first) && !isLockFree(second); });
    EXPECT_TRUE(bothHeld);
    EXPECT_EQ(hooks, 2);
    EXPECT_TRUE(isLockFree(first));
    EXPECT_TRUE(isLockFree(second));
}

TEST(LibraryLock, FolderWithoutMetadataDirectoryFailsWithENOENTAndSkipsBody) {
    TemporaryFolder temporary;
    bool ran = false;
    try {
        withLibraryLocks({temporary.path()}, LibraryLockMode::exclusive, [&] { ran = true; });
        FAIL() << "expected an error";
    } catch (const velto::FileSystemError &error) {
        EXPECT_EQ(error.code(), ENOENT);
        EXPECT_EQ(error.localizedDescription(), "No such file or directory");
    }
    EXPECT_FALSE(ran);
}

TEST(LibraryLock, FailureToOpenSecondFolderReleasesFirstAndClosesEverything) {
    TemporaryFolder temporary;
    auto first = libraryFolder(temporary, "A");
    auto missing = temporary.createFolder("B");
    auto before = openDescriptorCount();
    EXPECT_THROW(withLibraryLocks({missing, first}, LibraryLockMode::exclusive, [] {}), velto::FileSystemError);
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_TRUE(isLockFree(first));
}

TEST(LibraryLock, BodyErrorPassesThroughUnchangedAndLockCanBeTakenAgain) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    auto before = openDescriptorCount();
    try {
        withLibraryLocks({folder}, LibraryLockMode::exclusive, [] { throw std::logic_error("body failed"); });
        FAIL() << "expected the body's error";
    } catch (const std::logic_error &error) {
        EXPECT_STREQ(error.what(), "body failed");
    }
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_EQ(withLibraryLocks({folder}, LibraryLockMode::exclusive, [] { return 7; }), 7);
}

TEST(LibraryLock, LockFileIsCreatedOwnerOnlyAndReusedWithoutTruncation) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    auto previous = ::umask(0);
    withLibraryLocks({folder}, LibraryLockMode::shared, [] {});
    ::umask(previous);
    struct stat status {};
    ASSERT_EQ(::stat((folder / ".velto/transaction.lock").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);

    temporary.writeFile("Pages/.velto/transaction.lock", "keep");
    withLibraryLocks({folder}, LibraryLockMode::exclusive, [] {});
    EXPECT_EQ(temporary.readFile("Pages/.velto/transaction.lock"), "keep");
}

TEST(LibraryLock, SharedHoldersCoexistAndExcludeExclusive) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    withLibraryLocks({folder}, LibraryLockMode::shared, [&] {
        EXPECT_TRUE(isLockFree(folder, LOCK_SH));
        EXPECT_FALSE(isLockFree(folder, LOCK_EX));
        // A second shared holder of this process is granted at once.
        withLibraryLocks({folder}, LibraryLockMode::shared, [] {});
    });
}

TEST(LibraryLock, TwoThreadsOfOneProcessExcludeEachOther) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    std::promise<void> firstHolds;
    std::promise<void> firstMayRelease;
    std::atomic<bool> firstReleased = false;
    std::atomic<bool> secondEntered = false;
    bool secondSawFirstReleased = false;

    std::thread first([&] {
        withLibraryLocks({folder}, LibraryLockMode::exclusive, [&] {
            firstHolds.set_value();
            firstMayRelease.get_future().wait();
            firstReleased = true;
        });
    });
    firstHolds.get_future().wait();
    std::promise<void> secondAboutToWait;
    std::thread second([&] {
        withLibraryLocks(
            {folder}, LibraryLockMode::exclusive, [&] { secondAboutToWait.set_value(); },
            [&] {
                secondEntered = true;
                secondSawFirstReleased = firstReleased;
            });
    });
    secondAboutToWait.get_future().wait();
    // Proving that something does not happen needs a moment of waiting.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(secondEntered);
    firstMayRelease.set_value();
    first.join();
    second.join();
    EXPECT_TRUE(secondEntered);
    EXPECT_TRUE(secondSawFirstReleased);
}

/// The test driver holding a folder's lock in another process.
class DriverProcess {
public:
    DriverProcess(const fs::path &folder, double seconds, bool shared) {
        int pipeDescriptors[2];
        if (::pipe(pipeDescriptors) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeDescriptors[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeDescriptors[0]);
        std::string program = std::string(VELTO_TEST_TOOLS_DIR) + "/velto-library-driver";
        std::string secondsText = std::to_string(seconds);
        std::vector<std::string> arguments{program, "lock", folder.string(), "--seconds", secondsText};
        if (shared) {
            arguments.push_back("--shared");
        }
        std::vector<char *> argv;
        for (auto &argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeDescriptors[1]);
        output = pipeDescriptors[0];
        if (error != 0) {
            ::close(output);
            throw std::runtime_error("cannot start " + program);
        }
    }

    ~DriverProcess() {
        if (!exited) {
            ::kill(pid, SIGTERM);
            wait();
        }
        ::close(output);
    }

    /// Blocks until the driver reports that it holds the lock.
    std::string readLine() {
        std::string line;
        char character;
        while (::read(output, &character, 1) == 1 && character != '\n') {
            line += character;
        }
        return line;
    }

    bool isRunning() {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            exitStatus = status;
        }
        return !exited;
    }

    int wait() {
        if (!exited) {
            ::waitpid(pid, &exitStatus, 0);
            exited = true;
        }
        return exitStatus;
    }

private:
    pid_t pid = 0;
    int output = -1;
    bool exited = false;
    int exitStatus = 0;
};

TEST(LibraryLock, OperationWaitsWhileAnotherProcessHoldsTheLock) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    DriverProcess driver(folder, 1.0, false);
    ASSERT_EQ(driver.readLine(), "locked");
    auto start = std::chrono::steady_clock::now();
    withLibraryLocks({folder}, LibraryLockMode::exclusive, [] {});
    auto waited = std::chrono::steady_clock::now() - start;
    // The driver holds the lock for one second after saying so.
    EXPECT_GE(waited, std::chrono::milliseconds(500));
    EXPECT_EQ(driver.wait(), 0);
}

TEST(LibraryLock, SharedLockOfAnotherProcessAdmitsSharedReaders) {
    TemporaryFolder temporary;
    auto folder = libraryFolder(temporary, "Pages");
    DriverProcess driver(folder, 30.0, true);
    ASSERT_EQ(driver.readLine(), "locked");
    withLibraryLocks({folder}, LibraryLockMode::shared, [] {});
    EXPECT_TRUE(driver.isRunning());
    EXPECT_FALSE(isLockFree(folder, LOCK_EX));
}

} // namespace
