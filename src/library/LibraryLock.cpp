#include "library/LibraryLock.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace VeltoPageLibrary {

namespace {

// One open lock file. Lock files are told apart by device and inode, not by path: the same folder reached
// through a symbolic link is one file, and locking it twice through two descriptors would wait forever.
struct OpenLockFile {
    int descriptor = -1;
    dev_t device = 0;
    ino_t inode = 0;
    std::filesystem::path path;
};

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

// Without waiting: a FIFO or a device at the lock file's path could block the open for ever, while the
// caller (and every other writer behind it) waits for the library.
int openRetryingInterrupts(const std::filesystem::path &path) {
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, S_IRUSR | S_IWUSR);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

int flockRetryingInterrupts(int descriptor, int operation) {
    int result;
    do {
        result = ::flock(descriptor, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

/// The lock granted within the wait limit, asked for again and again without blocking: a process that never
/// lets go (a stuck tool) must not hold this one, and the interface behind it, for good. Throws
/// LibraryBusyError when the limit passes first.
void acquireWithinLimit(const std::filesystem::path &path, int descriptor, int operation,
                        std::chrono::steady_clock::duration limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(2);
    while (flockRetryingInterrupts(descriptor, operation | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            throw velto::FileSystemError(errno, path, "flock");
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            throw libraryBusyError(path);
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::milliseconds>(pause * 2, std::chrono::milliseconds(50));
    }
}

/// The descriptors of one call, released in reverse order of opening whatever way the call ends.
class HeldLockFiles {
public:
    HeldLockFiles() = default;
    HeldLockFiles(const HeldLockFiles &) = delete;
    HeldLockFiles &operator=(const HeldLockFiles &) = delete;
    ~HeldLockFiles() {
        for (auto file = files.rbegin(); file != files.rend(); ++file) {
            ::flock(file->descriptor, LOCK_UN);
            ::close(file->descriptor);
        }
    }

    std::vector<OpenLockFile> files;
};

// The sentence the user sees names the lock file, as every load failure names the file it is about. A folder
// without its metadata folder keeps the system's sentence: callers take that as "no library here".
velto::FileSystemError lockFileError(int code, const std::filesystem::path &path, const std::string &operation) {
    if (code == ENOENT) {
        return velto::FileSystemError(code, path, operation);
    }
    return velto::FileSystemError(code, path, operation,
                                  "The library file “.velto/transaction.lock” can’t be opened: " +
                                      std::generic_category().message(code) + ".");
}

void openLockFile(const std::filesystem::path &folder, HeldLockFiles &held) {
    auto path = libraryLockFileURL(folder);
    OpenLockFile file;
    file.path = path;
    file.descriptor = openRetryingInterrupts(path);
    if (file.descriptor < 0) {
        throw lockFileError(errno, path, "open");
    }
    struct stat status {};
    if (::fstat(file.descriptor, &status) != 0) {
        int code = errno;
        ::close(file.descriptor);
        throw lockFileError(code, path, "fstat");
    }
    if (!S_ISREG(status.st_mode)) {
        ::close(file.descriptor);
        // The sentence the user sees names the file, so that it can be taken away.
        throw velto::FileSystemError(EINVAL, path, "Opening",
                                     "The library file “.velto/transaction.lock” isn’t a regular file.");
    }
    file.device = status.st_dev;
    file.inode = status.st_ino;
    for (const auto &open : held.files) {
        if (open.device == file.device && open.inode == file.inode) {
            ::close(file.descriptor);
            return;
        }
    }
    held.files.push_back(file);
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
    std::sort(held.files.begin(), held.files.end(), [](const OpenLockFile &a, const OpenLockFile &b) {
        return std::pair(a.device, a.inode) < std::pair(b.device, b.inode);
    });
    int operation = mode == LibraryLockMode::shared ? LOCK_SH : LOCK_EX;
    for (const auto &file : held.files) {
        if (beforeAcquiring) {
            beforeAcquiring();
        }
        acquireWithinLimit(file.path, file.descriptor, operation, libraryLockWaitLimit);
    }
    perform();
}

} // namespace VeltoPageLibrary
