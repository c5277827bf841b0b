#pragma once

#include "platform/FileSystem.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace velto {

/// How a lock file's advisory lock is held: by many readers at once, or by one holder alone.
enum class LockFileMode { shared, exclusive };

/// A lock file that could not be opened: the errno and the call that failed ("open" or "fstat"), so that the
/// caller can tell the user which file it is about in its own sentence.
class LockFileOpenError : public FileSystemError {
public:
    LockFileOpenError(int code, const std::filesystem::path &path, std::string call)
        : FileSystemError(code, path, call)
        , call_(std::move(call)) {}

    const std::string &call() const { return call_; }

private:
    std::string call_;
};

/// A file held open for its advisory lock (flock). The lock belongs to this open file, so two of these on one
/// file exclude each other in one process as in two. Its lock is released and the file closed when it goes.
class LockFile {
public:
    /// Opens the file at `path`, creating it when missing, without waiting: a FIFO or a device there could
    /// otherwise block the open for ever. Throws LockFileOpenError.
    explicit LockFile(std::filesystem::path path);
    LockFile(LockFile &&other) noexcept;
    LockFile &operator=(LockFile &&other) noexcept;
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;
    ~LockFile();

    const std::filesystem::path &path() const { return path_; }
    /// Whether what was opened is a regular file; a lock on anything else guards nothing.
    bool isRegularFile() const { return isRegularFile_; }
    /// The device and inode of the opened file: the same file reached through a symbolic link has the same.
    std::uint64_t device() const { return device_; }
    std::uint64_t inode() const { return inode_; }

    /// Asks for the lock without waiting: true when it is granted, false while another holder keeps it.
    /// Any other failure throws FileSystemError ("flock").
    bool tryLock(LockFileMode mode);

private:
    void release() noexcept;

    std::filesystem::path path_;
    int descriptor_ = -1;
    bool isRegularFile_ = false;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

} // namespace velto
