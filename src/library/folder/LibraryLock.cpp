#include "library/folder/LibraryLock.h"

#include "platform/FileSystem.h"
#include "platform/LockFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <optional>
#include <system_error>
#include <thread>

namespace VeltoPageLibrary {

namespace {

/// The folder as an absolute path with "." and ".." resolved and no trailing separator; links stay.
std::filesystem::path standardizedFolder(const std::filesystem::path &folder) {
    auto standardized = std::filesystem::absolute(folder).lexically_normal();
    if (!standardized.has_filename() && standardized.has_parent_path() && standardized != standardized.root_path()) {
        standardized = standardized.parent_path();
    }
    return standardized;
}

/// Each folder once, ordered by path text.
std::vector<std::filesystem::path> distinctStandardizedFolders(const std::vector<std::filesystem::path> &folders) {
    std::map<std::string, std::filesystem::path> byPath;
    for (const auto &folder : folders) {
        auto standardized = standardizedFolder(folder);
        byPath.try_emplace(standardized.string(), standardized);
    }
    std::vector<std::filesystem::path> result;
    for (auto &entry : byPath) {
        result.push_back(entry.second);
    }
    return result;
}

/// The lock granted within the wait limit, asked for again and again without blocking: a process that never
/// lets go (a stuck tool) must not hold this one, and the interface behind it, for good. Throws
/// LibraryBusyError when the limit passes first.
void acquireWithinLimit(velto::LockFile &file, velto::LockFileMode mode, std::chrono::steady_clock::duration limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(2);
    while (!file.tryLock(mode)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            throw libraryBusyError(file.path());
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::milliseconds>(pause * 2, std::chrono::milliseconds(50));
    }
}

/// The lock files of one call, released in reverse order of opening whatever way the call ends.
class HeldLockFiles {
public:
    HeldLockFiles() = default;
    HeldLockFiles(const HeldLockFiles &) = delete;
    HeldLockFiles &operator=(const HeldLockFiles &) = delete;
    ~HeldLockFiles() {
        while (!files.empty()) {
            files.pop_back();
        }
    }

    std::vector<velto::LockFile> files;
};

// The sentence the user sees names the lock file, as every load failure names the file it is about. A folder
// without its metadata folder keeps the system's sentence: callers take that as "no library here".
velto::FileSystemError lockFileError(int code, const std::filesystem::path &path, const std::string &operation) {
    if (code == ENOENT) {
        return velto::FileSystemError(code, path, operation);
    }
    return velto::FileSystemError(
        code, path, operation,
        "The library file “.velto/transaction.lock” can’t be opened: " + std::generic_category().message(code) + ".");
}

void openLockFile(const std::filesystem::path &folder, HeldLockFiles &held) {
    auto path = libraryLockFileURL(folder);
    std::optional<velto::LockFile> file;
    try {
        file.emplace(path);
    } catch (const velto::LockFileOpenError &error) {
        throw lockFileError(error.code(), path, error.call());
    }
    if (!file->isRegularFile()) {
        // The sentence the user sees names the file, so that it can be taken away.
        throw velto::FileSystemError(EINVAL, path, "Opening",
                                     "The library file “.velto/transaction.lock” isn’t a regular file.");
    }
    for (const auto &open : held.files) {
        if (open.device() == file->device() && open.inode() == file->inode()) {
            return;
        }
    }
    held.files.push_back(std::move(*file));
}

} // namespace

velto::FileSystemError libraryBusyError(const std::filesystem::path &lockFileURL) {
    return velto::FileSystemError(EWOULDBLOCK, lockFileURL, "Locking",
                                  "The library is busy: another program has held its lock file “" +
                                      lockFileURL.string() + "” for a while. Velto tries again by itself.");
}

std::filesystem::path libraryLockFileURL(const std::filesystem::path &folderURL) {
    return standardizedFolder(folderURL) / ".velto" / "transaction.lock";
}

void withLibraryLocksRunning(const std::vector<std::filesystem::path> &folders, LibraryLockMode mode,
                             const std::function<void()> &beforeAcquiring, const std::function<void()> &perform) {
    HeldLockFiles held;
    for (const auto &folder : distinctStandardizedFolders(folders)) {
        openLockFile(folder, held);
    }
    // Every caller requests the locks in one order of the files themselves, so two operations that lock
    // the same folders under different names cannot wait for each other in a circle.
    std::sort(held.files.begin(), held.files.end(), [](const velto::LockFile &a, const velto::LockFile &b) {
        return std::pair(a.device(), a.inode()) < std::pair(b.device(), b.inode());
    });
    auto lockMode = mode == LibraryLockMode::shared ? velto::LockFileMode::shared : velto::LockFileMode::exclusive;
    for (auto &file : held.files) {
        if (beforeAcquiring) {
            beforeAcquiring();
        }
        acquireWithinLimit(file, lockMode, libraryLockWaitLimit);
    }
    perform();
}

} // namespace VeltoPageLibrary
