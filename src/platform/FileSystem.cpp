#include "platform/FileSystem.h"

#include "platform/UncachedFileAccess.h"
#include "platform/Uuid.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velto {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------------------------------------------
// Errors

FileSystemError::FileSystemError(int code, std::filesystem::path path, const std::string &operation)
    : std::runtime_error(operation + " “" + path.string() + "”: " + std::generic_category().message(code))
    , code_(code)
    , path_(std::move(path))
    , operation_(operation) {}

FileSystemError::FileSystemError(int code, std::filesystem::path path, const std::string &operation,
                                 std::string description)
    : std::runtime_error(operation + " “" + path.string() + "”: " + description)
    , code_(code)
    , path_(std::move(path))
    , operation_(operation)
    , description_(std::move(description)) {}

FileSystemError FileSystemError::notARegularFile(std::filesystem::path path, const std::string &operation) {
    FileSystemError error(EINVAL, std::move(path), operation, "Not a regular file");
    error.notARegularFile_ = true;
    return error;
}

std::string FileSystemError::localizedDescription() const {
    return description_.empty() ? std::generic_category().message(code_) : description_;
}

const char *fileOperationName(FileOperation operation) {
    switch (operation) {
    case FileOperation::read:
        return "read";
    case FileOperation::write:
        return "write";
    case FileOperation::fsync:
        return "fsync";
    case FileOperation::rename:
        return "rename";
    case FileOperation::remove:
        return "remove";
    case FileOperation::list:
        return "list";
    case FileOperation::createDirectory:
        return "createDirectory";
    case FileOperation::stat:
        return "stat";
    case FileOperation::copy:
        return "copy";
    }
    return "unknown";
}

bool FileSystem::isDirectory(const std::filesystem::path &path) {
    auto found = status(path);
    return found && found->type == FileType::directory;
}

bool FileSystem::isRegularFile(const std::filesystem::path &path) {
    auto found = status(path);
    return found && found->type == FileType::regular;
}

bool FileSystem::holdsExactly(const std::filesystem::path &path, std::string_view bytes) {
    try {
        // One byte more than expected is enough to tell a longer file, without reading all of a huge one.
        return readFile(path, bytes.size()) == bytes;
    } catch (const FileSystemError &) {
        return false;
    }
}

bool FileSystem::refusesWriting(const std::filesystem::path &folder) {
    if (::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) == 0) {
        return false;
    }
    return errno == EROFS || errno == EACCES || errno == EPERM;
}

std::vector<DirectoryEntry> FileSystem::entriesOfDirectory(const std::filesystem::path &path) {
    std::vector<DirectoryEntry> entries;
    for (auto &name : contentsOfDirectory(path)) {
        std::optional<FileStatus> found;
        try {
            found = status(path / name, false);
        } catch (const FileSystemError &) {
            // Counted as other, like an entry gone since the listing.
        }
        entries.push_back({std::move(name), found ? found->type : FileType::other});
    }
    return entries;
}

namespace {

[[noreturn]] void throwErrno(const fs::path &path, const char *operation) {
    throw FileSystemError(errno, path, operation);
}

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
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }

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

FileDescriptor openOrThrow(const fs::path &path, int flags, const char *operation, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throwErrno(path, operation);
    }
    return FileDescriptor(fd);
}

/// The refusal of a file that is neither a regular file nor a folder (a FIFO, a device, a socket).
/// Opens a file for reading without waiting: a FIFO or a device at the path would otherwise block the open
/// (or the reads) for as long as no other program writes to it. Only a regular file is kept open.
FileDescriptor openRegularFileForReading(const fs::path &path, const char *operation = "Opening") {
    FileDescriptor file = openOrThrow(path, O_RDONLY | O_NONBLOCK | O_NOCTTY, operation);
    struct stat info {};
    if (::fstat(file.get(), &info) < 0) {
        throwErrno(path, operation);
    }
    if (S_ISDIR(info.st_mode)) {
        throw FileSystemError(EISDIR, path, "Reading");
    }
    if (!S_ISREG(info.st_mode)) {
        throw FileSystemError::notARegularFile(path, operation);
    }
    return file;
}

void writeAll(int fd, std::string_view bytes, const fs::path &path) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t result = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(path, "Writing");
        }
        written += static_cast<std::size_t>(result);
    }
}

std::string readUpTo(int fd, std::size_t maxBytes, const fs::path &path) {
    std::string bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        bytes.reserve(std::min<std::size_t>(static_cast<std::size_t>(info.st_size), maxBytes));
    }
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        std::size_t wanted = std::min(sizeof buffer, maxBytes - bytes.size());
        ssize_t result = ::read(fd, buffer, wanted);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(path, "Reading");
        }
        if (result == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(result));
    }
    return bytes;
}

/// Whether the file's bytes are exactly `expected`, read piece by piece into a small buffer and compared as they
/// come: a page of megabytes is compared without a copy of it, and a difference ends the reading. One byte past
/// what is expected is asked for, so a longer file differs too.
bool readsExactly(int fd, std::string_view expected, const fs::path &path) {
    char buffer[65536];
    std::size_t compared = 0;
    while (true) {
        const std::size_t wanted = std::min(sizeof buffer, expected.size() + 1 - compared);
        ssize_t result = ::read(fd, buffer, wanted);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            throwErrno(path, "Reading");
        }
        const auto read = static_cast<std::size_t>(result);
        if (read == 0) {
            return compared == expected.size();
        }
        if (read > expected.size() - compared || std::memcmp(buffer, expected.data() + compared, read) != 0) {
            return false;
        }
        compared += read;
    }
}

void syncDescriptor(int fd, const fs::path &path) {
    int result;
    do {
        result = ::fsync(fd);
    } while (result < 0 && errno == EINTR);
    // Some file systems cannot sync a folder; that is no failure of the write itself.
    if (result < 0 && errno != EINVAL && errno != ENOTSUP) {
        throwErrno(path, "Syncing");
    }
}

FileType fileTypeOfMode(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFREG:
        return FileType::regular;
    case S_IFDIR:
        return FileType::directory;
    case S_IFLNK:
        return FileType::symbolicLink;
    default:
        return FileType::other;
    }
}

FileType fileTypeOfDirectoryEntry(unsigned char type) {
    switch (type) {
    case DT_REG:
        return FileType::regular;
    case DT_DIR:
        return FileType::directory;
    case DT_LNK:
        return FileType::symbolicLink;
    default:
        return FileType::other;
    }
}

Date dateOfTimestamp(const struct statx_timestamp &timestamp) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::seconds(timestamp.tv_sec) +
                                                           std::chrono::nanoseconds(timestamp.tv_nsec)));
}

/// lstat/stat without reporting a step; nothing when the path is absent.
std::optional<FileType> rawFileType(const fs::path &path, bool followLinks) {
    struct stat info {};
    int result = followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info);
    if (result < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throwErrno(path, "Reading the status of");
    }
    return fileTypeOfMode(info.st_mode);
}

struct NamedEntry {
    std::string name;
    FileType type;
};

/// Every entry of the folder except "." and "..", sorted by name, with its own type (links not followed).
std::vector<NamedEntry> directoryEntries(const fs::path &path) {
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(path.c_str()));
    if (!directory) {
        throwErrno(path, "Listing");
    }
    std::vector<NamedEntry> entries;
    while (true) {
        errno = 0;
        const dirent *entry = ::readdir(directory.get());
        if (entry == nullptr) {
            if (errno != 0) {
                throwErrno(path, "Listing");
            }
            break;
        }
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        FileType type = fileTypeOfDirectoryEntry(entry->d_type);
        if (entry->d_type == DT_UNKNOWN) {
            // Some file systems leave the type out of the listing; ask for it (an entry gone since counts as other).
            type = rawFileType(path / name, false).value_or(FileType::other);
        }
        entries.push_back({std::move(name), type});
    }
    std::sort(entries.begin(), entries.end(), [](const NamedEntry &a, const NamedEntry &b) { return a.name < b.name; });
    return entries;
}

bool isHiddenName(const std::string &name) {
    return !name.empty() && name.front() == '.';
}

/// The longest name of one folder entry, in bytes (NAME_MAX of the file systems Linux mounts).
constexpr std::size_t longestFileNameBytes = 255;

/// ".page.md.tmp-3f2a…": hidden, so enumerations skip it, and unique, so concurrent writers never share one.
/// A name too long to take the prefix and the suffix (file names end at 255 bytes) gets the short form
/// ".velto.tmp-3f2a…" instead, so that every file the library can read it can also save.
fs::path temporarySiblingPath(const fs::path &path) {
    std::string suffix = ".tmp-" + Uuid::random().lowercaseText().substr(24); // the last 48 bits, all random
    std::string name = "." + path.filename().string() + suffix;
    if (name.size() > longestFileNameBytes) {
        name = ".velto" + suffix;
    }
    return path.parent_path() / name;
}

/// The error of a step of an atomic replacement, named by the file being replaced: the temporary file is ours,
/// and its name means nothing to the user.
[[noreturn]] void throwReplacingError(int code, const fs::path &path) {
    throw FileSystemError(code, path, "Saving");
}

/// What the replaced file keeps: its permission bits and its group. Nothing when there is no file to replace.
struct ReplacedFileIdentity {
    mode_t permissions = 0;
    gid_t group = 0;
};

/// The file about to be replaced. A file that its owner marked read-only, or that this process may not write,
/// is refused: saving a new file in its place would quietly undo what was decided for it.
std::optional<ReplacedFileIdentity> replacedFileIdentity(const fs::path &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) < 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throwReplacingError(errno, path);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt; // renaming over anything else fails with its own error
    }
    bool markedReadOnly = (info.st_mode & 0222) == 0;
    if (markedReadOnly || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) < 0) {
        int code = markedReadOnly ? EACCES : errno;
        if (code == EACCES || code == EPERM || code == EROFS) {
            throw FileSystemError(code, path, "Saving",
                                  "You don’t have permission to change the file “" + path.filename().string() + "”.");
        }
    }
    return ReplacedFileIdentity{static_cast<mode_t>(info.st_mode & 07777), info.st_gid};
}

/// Gives the new file the replaced file's group (where this process may) and permission bits, as an editor that
/// saves in place would leave them: a private page stays private.
void keepIdentity(int fd, const ReplacedFileIdentity &identity, const fs::path &path) {
    // Only the group: the owner cannot be given away. A group this process does not belong to is refused with
    // EPERM, and the file then keeps the process's group, as any new file would.
    (void)::fchown(fd, static_cast<uid_t>(-1), identity.group);
    // After the group, which may clear the set-group-ID bit.
    if (::fchmod(fd, identity.permissions) < 0) {
        throwReplacingError(errno, path);
    }
}

fs::path folderOf(const fs::path &path) {
    fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

void copySymbolicLink(const fs::path &from, const fs::path &to, const struct stat &source) {
    std::string target(static_cast<std::size_t>(source.st_size) + 1, '\0');
    ssize_t length = ::readlink(from.c_str(), target.data(), target.size());
    if (length < 0) {
        throwErrno(from, "Copying");
    }
    target.resize(static_cast<std::size_t>(length));
    if (::symlink(target.c_str(), to.c_str()) < 0) {
        throwErrno(to, "Copying");
    }
}

/// A new file at `to` (never replacing one) with the bytes and permissions of `from`.
void copyFileContents(const fs::path &from, const fs::path &to, const struct stat &source) {
    // Checked again on the open file: what the path named when it was looked at may have been replaced since.
    FileDescriptor input = openRegularFileForReading(from, "Copying");
    FileDescriptor output = openOrThrow(to, O_WRONLY | O_CREAT | O_EXCL, "Copying", source.st_mode & 0777);
    try {
        char buffer[65536];
        while (true) {
            ssize_t count = ::read(input.get(), buffer, sizeof buffer);
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throwErrno(from, "Copying");
            }
            if (count == 0) {
                break;
            }
            writeAll(output.get(), std::string_view(buffer, static_cast<std::size_t>(count)), to);
        }
        if (output.close() < 0) {
            throwErrno(to, "Copying");
        }
    } catch (...) {
        // Leave no half-copied file behind that a later copy would refuse to replace.
        ::unlink(to.c_str());
        throw;
    }
}

/// Gives the copy the original's access and modification times: reconciliation reads a page's last change from
/// its file's modification date, so a copied library must not look freshly edited.
void keepTimestamps(const fs::path &to, const struct stat &source) {
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    // The bytes are copied already; a file system that refuses to set times leaves a usable copy.
    (void)::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// PosixFileSystem

void PosixFileSystem::beforeOperation(FileOperation, const std::filesystem::path &) {}

std::optional<FileStatus> PosixFileSystem::status(const std::filesystem::path &path, bool followLinks) {
    beforeOperation(FileOperation::stat, path);
    struct statx info {};
    int flags = followLinks ? 0 : AT_SYMLINK_NOFOLLOW;
    if (::statx(AT_FDCWD, path.c_str(), flags, STATX_BASIC_STATS | STATX_BTIME, &info) < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throwErrno(path, "Reading the status of");
    }
    FileStatus status;
    status.type = fileTypeOfMode(info.stx_mode);
    status.size = info.stx_size;
    status.modificationDate = dateOfTimestamp(info.stx_mtime);
    if (info.stx_mask & STATX_BTIME) {
        status.creationDate = dateOfTimestamp(info.stx_btime);
    }
    status.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    status.inode = info.stx_ino;
    return status;
}

std::string PosixFileSystem::readFile(const std::filesystem::path &path, std::size_t maximumBytes) {
    beforeOperation(FileOperation::read, path);
    FileDescriptor file = openRegularFileForReading(path);
    std::string bytes = readUpTo(file.get(), maximumBytes == SIZE_MAX ? SIZE_MAX : maximumBytes + 1, path);
    if (bytes.size() > maximumBytes) {
        throw FileSystemError(EFBIG, path, "Reading");
    }
    return bytes;
}

std::string PosixFileSystem::readPrefix(const std::filesystem::path &path, std::size_t maxBytes) {
    beforeOperation(FileOperation::read, path);
    FileDescriptor file = openRegularFileForReading(path);
    return readUpTo(file.get(), maxBytes, path);
}

bool PosixFileSystem::holdsExactly(const std::filesystem::path &path, std::string_view bytes) {
    try {
        return comparesEqual(path, bytes);
    } catch (const FileSystemError &) {
        return false;
    }
}

// Read as a page is read (a link followed, only a regular file), one byte past the bytes at most.
bool PosixFileSystem::comparesEqual(const std::filesystem::path &path, std::string_view bytes) {
    beforeOperation(FileOperation::read, path);
    FileDescriptor file = openRegularFileForReading(path);
    UncachedComparison uncached = compareWholeBlocksUncached(file.get(), bytes);
    if (uncached.error != 0) {
        throw FileSystemError(uncached.error, path, "Reading");
    }
    if (uncached.differs) {
        return false;
    }
    return readsExactly(file.get(), bytes.substr(uncached.compared), path);
}

/// A temporary file of a replacement: removed when it goes out of scope, unless it went into place or holds
/// what must not be lost. Knows the identity it had when written, to tell it from a file put in its place.
class PosixFileSystem::TemporaryFile {
public:
    explicit TemporaryFile(fs::path path)
        : path_(std::move(path))
        , written_(identityOf(path_)) {}
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile() {
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }

    const fs::path &path() const { return path_; }
    /// Whether the file at the temporary name is still the one written there, neither replaced nor rewritten.
    bool holdsWhatWasWritten() const { return !written_ || identityOf(path_) == written_; }
    /// Nothing is removed any more: the file went into place, or it holds another program's text.
    void keep() { path_.clear(); }

private:
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        struct timespec modified {};
        friend bool operator==(const Identity &a, const Identity &b) {
            return a.device == b.device && a.inode == b.inode && a.size == b.size &&
                   a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec;
        }
    };

    static std::optional<Identity> identityOf(const fs::path &path) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) < 0) {
            return std::nullopt;
        }
        return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }

    fs::path path_;
    std::optional<Identity> written_;
};

// Besides what the interface promises: a replaced file's permission bits and group carry over, a file marked
// read-only or that this process may not write is refused (EACCES) and stays as it is, and every error names the
// target, never the temporary file.
std::filesystem::path PosixFileSystem::writeTemporarySibling(const std::filesystem::path &path,
                                                             std::string_view bytes) {
    fs::path temporaryPath = temporarySiblingPath(path);
    bool temporaryExists = false;
    try {
        beforeOperation(FileOperation::write, temporaryPath);
        auto replaced = replacedFileIdentity(path);
        // Private until it has the replaced file's permissions: nobody reads the new text through a wider mode.
        int fd;
        do {
            fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaced ? 0600 : 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            throwReplacingError(errno, path);
        }
        FileDescriptor file(fd);
        temporaryExists = true;
        if (replaced) {
            keepIdentity(file.get(), *replaced, path);
        }
        UncachedWrite uncached = writeWholeBlocksUncached(file.get(), bytes);
        if (uncached.error != 0) {
            throw FileSystemError(uncached.error, path, "Writing");
        }
        writeAll(file.get(), bytes.substr(uncached.written), path);
        beforeOperation(FileOperation::fsync, temporaryPath);
        syncDescriptor(file.get(), path);
        if (file.close() < 0) {
            throwReplacingError(errno, path);
        }
    } catch (...) {
        if (temporaryExists) {
            ::unlink(temporaryPath.c_str());
        }
        throw;
    }
    return temporaryPath;
}

void PosixFileSystem::syncFolderOf(const std::filesystem::path &path) {
    // The rename is durable only once the folder's entry is on disk.
    fs::path folder = folderOf(path);
    beforeOperation(FileOperation::fsync, folder);
    FileDescriptor directory = openOrThrow(folder, O_RDONLY | O_DIRECTORY, "Opening");
    syncDescriptor(directory.get(), folder);
}

void PosixFileSystem::writeAtomically(const std::filesystem::path &path, std::string_view bytes) {
    TemporaryFile temporary(writeTemporarySibling(path, bytes));
    beforeOperation(FileOperation::rename, path);
    if (::rename(temporary.path().c_str(), path.c_str()) < 0) {
        throwReplacingError(errno, path);
    }
    temporary.keep();
    syncFolderOf(path);
}

// ---------------------------------------------------------------------------------------------------------------
// Replacing a file only while it holds what was read
//
// Other programs (a shell, another editor, a sync client) take no lock of ours. Comparing the file and then
// renaming over it would leave a moment in which their change is overwritten unseen; instead the new file is
// swapped with the old one in one step, and the old one, now under the temporary name, is compared: when it is not
// what was read, the two are swapped back and the other program's file stays.

ReplacementOutcome PosixFileSystem::replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                                       std::optional<std::string_view> expected) {
    TemporaryFile temporary(writeTemporarySibling(path, bytes));
    beforeOperation(FileOperation::rename, path);
    ReplacementOutcome outcome =
        expected ? swapInIfHolding(temporary, path, *expected) : moveInUnlessPresent(temporary, path);
    if (outcome == ReplacementOutcome::replaced) {
        syncFolderOf(path);
    }
    return outcome;
}

namespace {

/// The file is not one that could hold what was read: gone, a folder, a dangling link, a FIFO or a device.
bool isNoReadableFile(const FileSystemError &error) {
    return error.isNotARegularFile() || error.code() == ENOENT || error.code() == ENOTDIR || error.code() == ELOOP ||
           error.code() == EISDIR;
}

} // namespace

bool PosixFileSystem::holdsWhatWasRead(const std::filesystem::path &path, std::optional<std::string_view> expected) {
    if (!expected) {
        return !rawFileType(path, true).has_value();
    }
    // Not what was read, so it must not be replaced. A file there that fails to be read (a failing disk) may
    // still hold it: that is no change by another program, and its error is thrown.
    try {
        return comparesEqual(path, *expected);
    } catch (const FileSystemError &error) {
        if (isNoReadableFile(error)) {
            return false;
        }
        throw;
    }
}

namespace {

bool exchange(const fs::path &a, const fs::path &b) {
    return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

/// The file system cannot swap or refuse to replace in one step (some network and FUSE file systems).
bool isUnsupportedRename(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

} // namespace

ReplacementOutcome PosixFileSystem::swapInIfHolding(TemporaryFile &temporary, const std::filesystem::path &path,
                                                    std::string_view expected) {
    if (!exchange(temporary.path(), path)) {
        int error = errno;
        if (error == ENOENT) {
            return ReplacementOutcome::changedMeanwhile; // removed since it was read: it is not made again
        }
        if (isUnsupportedRename(error)) {
            return replaceAfterComparing(temporary, path, expected);
        }
        throwReplacingError(error, path);
    }
    // The temporary name now holds what was at the path.
    bool unchanged = false;
    try {
        unchanged = holdsWhatWasRead(temporary.path(), expected);
    } catch (const FileSystemError &error) {
        // Whether the file taken out changed cannot be told: it goes back in place once, and the save fails with
        // the read's error, named by the page file.
        swapBack(temporary, path);
        throw FileSystemError(error.code(), path, "Reading");
    }
    if (unchanged) {
        return ReplacementOutcome::replaced; // the old file goes with the temporary name
    }
    swapBack(temporary, path);
    return ReplacementOutcome::changedMeanwhile;
}

// Should yet another file have landed at the path between the two swaps (or been written into ours), it is the
// newest: it is swapped into place once more, and the file it replaced goes, as it would have without this save.
void PosixFileSystem::swapBack(TemporaryFile &temporary, const std::filesystem::path &path) {
    for (int swaps = 0; swaps < 2; ++swaps) {
        beforeOperation(FileOperation::rename, path);
        if (!exchange(temporary.path(), path)) {
            int error = errno;
            temporary.keep(); // it may hold the other program's text: it stays under the hidden name
            throwReplacingError(error, path);
        }
        if (temporary.holdsWhatWasWritten()) {
            return;
        }
    }
}

ReplacementOutcome PosixFileSystem::moveInUnlessPresent(TemporaryFile &temporary, const std::filesystem::path &path) {
    if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        temporary.keep();
        return ReplacementOutcome::replaced;
    }
    int error = errno;
    if (error != EEXIST && !isUnsupportedRename(error)) {
        throwReplacingError(error, path);
    }
    // A dangling link looked absent to the reader too, as it does here: it is replaced as before.
    return replaceAfterComparing(temporary, path, std::nullopt);
}

ReplacementOutcome PosixFileSystem::replaceAfterComparing(TemporaryFile &temporary, const std::filesystem::path &path,
                                                          std::optional<std::string_view> expected) {
    if (!holdsWhatWasRead(path, expected)) {
        return ReplacementOutcome::changedMeanwhile;
    }
    if (::rename(temporary.path().c_str(), path.c_str()) < 0) {
        throwReplacingError(errno, path);
    }
    temporary.keep();
    return ReplacementOutcome::replaced;
}

void PosixFileSystem::createDirectories(const std::filesystem::path &path) {
    // Find the deepest folder that exists, then create the missing ones below it, outermost first.
    std::vector<fs::path> missing;
    fs::path current = path.lexically_normal();
    if (!current.empty() && !current.has_filename()) {
        current = current.parent_path(); // "a/b/" names the folder "a/b"
    }
    while (!current.empty()) {
        beforeOperation(FileOperation::stat, current);
        auto type = rawFileType(current, true);
        if (type) {
            if (*type != FileType::directory) {
                throw FileSystemError(ENOTDIR, current, "Creating the folder");
            }
            break;
        }
        missing.push_back(current);
        fs::path parent = current.parent_path();
        if (parent == current) {
            break;
        }
        current = parent;
    }
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        beforeOperation(FileOperation::createDirectory, *folder);
        if (::mkdir(folder->c_str(), 0777) < 0) {
            // Another process may have made it meanwhile; that is what was wanted.
            if (errno == EEXIST && rawFileType(*folder, true) == FileType::directory) {
                continue;
            }
            throwErrno(*folder, "Creating the folder");
        }
    }
}

void PosixFileSystem::removeItem(const std::filesystem::path &path) {
    auto type = rawFileType(path, false);
    if (!type) {
        beforeOperation(FileOperation::remove, path);
        throw FileSystemError(ENOENT, path, "Removing");
    }
    if (*type == FileType::directory) {
        beforeOperation(FileOperation::list, path);
        for (const NamedEntry &entry : directoryEntries(path)) {
            removeItem(path / entry.name);
        }
        beforeOperation(FileOperation::remove, path);
        if (::rmdir(path.c_str()) < 0) {
            throwErrno(path, "Removing");
        }
        return;
    }
    beforeOperation(FileOperation::remove, path);
    if (::unlink(path.c_str()) < 0) {
        throwErrno(path, "Removing");
    }
}

void PosixFileSystem::moveItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    beforeOperation(FileOperation::rename, to);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return;
    }
    int error = errno;
    if (error == EXDEV) {
        // Another file system: copy, then remove the original (as a move between volumes always has to).
        copyItem(from, to);
        removeItem(from);
        return;
    }
    if (error == ENOENT && !rawFileType(from, false)) {
        throw FileSystemError(ENOENT, from, "Moving");
    }
    if (error != EINVAL && error != ENOSYS && error != ENOTSUP) {
        throw FileSystemError(error, to, "Moving");
    }
    // The file system cannot refuse to replace by itself.
    auto type = rawFileType(from, false);
    if (!type) {
        throw FileSystemError(ENOENT, from, "Moving");
    }
    if (*type != FileType::directory) {
        // A hard link fails with EEXIST instead of replacing, so no window exists where a file is overwritten.
        if (::link(from.c_str(), to.c_str()) < 0) {
            throwErrno(to, "Moving");
        }
        if (::unlink(from.c_str()) < 0) {
            int unlinkError = errno;
            ::unlink(to.c_str());
            throw FileSystemError(unlinkError, from, "Moving");
        }
        return;
    }
    if (rawFileType(to, false)) {
        throw FileSystemError(EEXIST, to, "Moving");
    }
    if (::rename(from.c_str(), to.c_str()) < 0) {
        throwErrno(to, "Moving");
    }
}

void PosixFileSystem::copyItem(const std::filesystem::path &from, const std::filesystem::path &to) {
    beforeOperation(FileOperation::copy, to);
    struct stat source {};
    if (::lstat(from.c_str(), &source) < 0) {
        throwErrno(from, "Copying");
    }
    switch (fileTypeOfMode(source.st_mode)) {
    case FileType::directory:
        if (::mkdir(to.c_str(), source.st_mode & 07777) < 0) {
            throwErrno(to, "Copying");
        }
        try {
            for (const NamedEntry &entry : directoryEntries(from)) {
                copyItem(from / entry.name, to / entry.name);
            }
        } catch (...) {
            // Leave no half-copied folder behind that a second attempt would refuse to replace.
            std::error_code ignored;
            fs::remove_all(to, ignored);
            throw;
        }
        break;
    case FileType::symbolicLink:
        copySymbolicLink(from, to, source);
        break;
    case FileType::regular:
        copyFileContents(from, to, source);
        break;
    case FileType::other:
        // Reading a FIFO would wait for a writer that may never come; a device has no bytes of a page.
        throw FileSystemError::notARegularFile(from, "Copying");
    }
    keepTimestamps(to, source);
}

std::vector<std::string> PosixFileSystem::contentsOfDirectory(const std::filesystem::path &path) {
    beforeOperation(FileOperation::list, path);
    std::vector<std::string> names;
    for (NamedEntry &entry : directoryEntries(path)) {
        names.push_back(std::move(entry.name));
    }
    return names;
}

std::vector<DirectoryEntry> PosixFileSystem::entriesOfDirectory(const std::filesystem::path &path) {
    beforeOperation(FileOperation::list, path);
    std::vector<DirectoryEntry> entries;
    for (NamedEntry &entry : directoryEntries(path)) {
        entries.push_back({std::move(entry.name), entry.type});
    }
    return entries;
}

std::vector<DirectoryEntry> PosixFileSystem::enumerateRecursively(const std::filesystem::path &path) {
    std::vector<DirectoryEntry> result;
    // Depth first: a folder's entry, then everything below it, then its next sibling.
    auto appendEntries = [&](auto &self, const fs::path &folder, const std::string &relativeFolder) -> void {
        beforeOperation(FileOperation::list, folder);
        for (const NamedEntry &entry : directoryEntries(folder)) {
            if (isHiddenName(entry.name)) {
                continue;
            }
            std::string relative = relativeFolder.empty() ? entry.name : relativeFolder + "/" + entry.name;
            result.push_back({relative, entry.type});
            // The entry's own type: a link to a folder is listed but never entered.
            if (entry.type == FileType::directory) {
                self(self, folder / entry.name, relative);
            }
        }
    };
    appendEntries(appendEntries, path, "");
    return result;
}

std::filesystem::path PosixFileSystem::resolvingSymlinks(const std::filesystem::path &path) {
    beforeOperation(FileOperation::stat, path);
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved) {
        return path;
    }
    return fs::path(resolved.get());
}

namespace {

/// The real file system as the process shares it: its calls keep no state between them, so any thread may make
/// them at any time.
class ProcessFileSystem final : public PosixFileSystem {
public:
    bool allowsConcurrentCalls() const override { return true; }
};

} // namespace

FileSystem &defaultFileSystem() {
    // Never destroyed: work on other threads (the library's pool) may still use it while the process exits.
    static auto *fileSystem = new ProcessFileSystem;
    return *fileSystem;
}

} // namespace velto
