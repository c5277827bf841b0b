// How the process's file system replaces a file in one step: a hidden temporary file beside it, written and synced,
// renamed over it, and the folder synced; and, for a file other programs may change at any moment, swapped in only
// while the file still holds what was read.
#include "platform/FileSystem.h"

#include "platform/PosixFiles.h"
#include "platform/UncachedFileAccess.h"

#include <cerrno>
#include <cstdio>

namespace velto {

namespace fs = std::filesystem;
using namespace posix;

namespace {

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

} // namespace

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
    fs::path temporaryPath = hiddenSiblingPath(path, "tmp");
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
    std::optional<std::filesystem::path> theirFile; // left for the library's clean-up of stale temporary files
    return replaceIfUnchangedNotingTheirs(path, bytes, expected, theirFile);
}

ReplacementOutcome PosixFileSystem::replaceIfUnchangedNotingTheirs(const std::filesystem::path &path,
                                                                   std::string_view bytes,
                                                                   std::optional<std::string_view> expected,
                                                                   std::optional<std::filesystem::path> &theirFile) {
    theirFile.reset();
    TemporaryFile temporary(writeTemporarySibling(path, bytes));
    beforeOperation(FileOperation::rename, path);
    ReplacementOutcome outcome =
        expected ? swapInIfHolding(temporary, path, bytes, *expected, theirFile) : moveInUnlessPresent(temporary, path);
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
                                                    std::string_view written, std::string_view expected,
                                                    std::optional<std::filesystem::path> &theirFile) {
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
        swapBack(temporary, path, written, expected, theirFile);
        throw FileSystemError(error.code(), path, "Reading");
    }
    if (unchanged) {
        return ReplacementOutcome::replaced; // the old file goes with the temporary name
    }
    swapBack(temporary, path, written, expected, theirFile);
    return ReplacementOutcome::changedMeanwhile;
}

// Should yet another file have landed at the path between the two swaps (or been written into ours), it is the
// newest: it is swapped into place once more. The file that then comes to the temporary name is the one the first
// swap took out, which held another program's change: unless it holds what this save wrote or what it read, it may
// be the only copy of that change, and it stays under the temporary name, which the caller is told, to keep it (else
// the library's clean-up of stale temporary files keeps it as a conflict copy).
void PosixFileSystem::swapBack(TemporaryFile &temporary, const std::filesystem::path &path, std::string_view written,
                               std::string_view expected, std::optional<std::filesystem::path> &theirFile) {
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
    if (!holdsExactly(temporary.path(), written) && !holdsExactly(temporary.path(), expected)) {
        theirFile = temporary.path();
        temporary.keep();
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

} // namespace velto
