#pragma once

// The POSIX calls the process's file system is made of, shared by its reading, its folder operations and its
// replacements: descriptors that close themselves, whole reads and writes, file types and sorted folder listings.
// Every failure throws FileSystemError naming the path and what was being done.

#include "platform/FileSystem.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velto::posix {

[[noreturn]] void throwErrno(const std::filesystem::path &path, const char *operation);

// ---------------------------------------------------------------------------------------------------------------
// Descriptors and directory streams that close themselves

class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : fd_(fd) {}
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor(FileDescriptor &&other) noexcept
        : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor &operator=(FileDescriptor &&other) noexcept {
        if (this != &other) {
            if (fd_ >= 0) {
                ::close(fd_);
            }
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    /// The descriptor, which the caller now closes.
    int release() { return std::exchange(fd_, -1); }

    /// Closes now so that a failing close (a late write error on some file systems) is reported.
    int close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

struct DirectoryCloser {
    void operator()(DIR *directory) const { ::closedir(directory); }
};

/// A file named within a folder: the folder's descriptor and the name there, or AT_FDCWD and a path as a path call
/// takes it; `shown` names the file in errors and reported steps.
struct FolderEntry {
    int folder = AT_FDCWD;
    std::filesystem::path name;
    std::filesystem::path shown;

    static FolderEntry ofPath(const std::filesystem::path &path) { return {AT_FDCWD, path, path}; }
    /// ".page.md.<kind>-3f2a9c01b2d4" in the same folder (hiddenSiblingPath).
    FolderEntry hiddenSibling(std::string_view kind) const;
};

FileDescriptor openOrThrow(const std::filesystem::path &path, int flags, const char *operation, mode_t mode = 0);
/// A regular file opened for reading without waiting for a FIFO's or a device's writer; anything else is refused.
/// The status the check looked at goes to `status` when given, so that a caller needs no other look.
FileDescriptor openRegularFileForReading(const std::filesystem::path &path, const char *operation = "Opening",
                                         struct stat *status = nullptr);
FileDescriptor openRegularFileForReading(const FolderEntry &entry, const char *operation = "Opening",
                                         struct stat *status = nullptr);

// ---------------------------------------------------------------------------------------------------------------
// Whole reads and writes

void writeAll(int fd, std::string_view bytes, const std::filesystem::path &path);
/// One read of at most `size` bytes, tried again when a signal interrupts it; 0 at the end of the file.
std::size_t readSome(int fd, char *buffer, std::size_t size, const std::filesystem::path &path,
                     const char *operation = "Reading");
/// At most maxBytes from the file's current offset; `knownSize`, the size its opening found, spares a look at it.
std::string readUpTo(int fd, std::size_t maxBytes, const std::filesystem::path &path,
                     std::optional<std::uint64_t> knownSize = std::nullopt);
/// Whether the rest of the file is exactly `expected`, compared piece by piece as it is read.
bool readsExactly(int fd, std::string_view expected, const std::filesystem::path &path);
/// fsync; a file system that cannot sync (a folder on some) is no failure.
void syncDescriptor(int fd, const std::filesystem::path &path);

// ---------------------------------------------------------------------------------------------------------------
// Types, times and listings

FileType fileTypeOfMode(mode_t mode);
FileType fileTypeOfDirectoryEntry(unsigned char type);
Date dateOfTimestamp(const struct statx_timestamp &timestamp);
/// lstat/stat without reporting a step; nothing when the path is absent.
std::optional<FileType> rawFileType(const std::filesystem::path &path, bool followLinks);
std::optional<FileType> rawFileType(const FolderEntry &entry, bool followLinks);

struct NamedEntry {
    std::string name;
    FileType type;
};

/// Every entry of the folder except "." and "..", sorted by name, with its own type (links not followed).
std::vector<NamedEntry> directoryEntries(const std::filesystem::path &path);
bool isHiddenName(const std::string &name);
/// ".page.md.<kind>-3f2a9c01b2d4": a hidden name beside the file, so enumerations skip it, and unique, so concurrent
/// writers never share one. A name too long to take the prefix and the suffix (file names end at 255 bytes) gets the
/// short form ".velto.<kind>-3f2a…" instead, so that every file that can be read can also be replaced.
std::filesystem::path hiddenSiblingPath(const std::filesystem::path &path, std::string_view kind);
/// Renames a file (not a folder) without ever replacing what is at `to`: 0, or the errno (EEXIST when `to` is
/// taken). On a file system that cannot refuse by itself, a hard link stands in for the rename.
int renameWithoutReplacing(const std::filesystem::path &from, const std::filesystem::path &to);
/// The folder a path lies in; "." for a bare name.
std::filesystem::path folderOf(const std::filesystem::path &path);

} // namespace velto::posix
