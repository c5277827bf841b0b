// How the process's file system replaces a file in one step: a hidden temporary file beside it, written and synced,
// renamed over it, and the folder synced; and, for a file other programs may change at any moment, swapped in only
// while the file still holds what was read.
#include "platform/FileSystem.h"

#include "platform/EntryBeneath.h"
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
std::optional<ReplacedFileIdentity> replacedFileIdentity(const FolderEntry &target) {
    const fs::path &path = target.shown;
    struct stat info {};
    if (::fstatat(target.folder, target.name.c_str(), &info, 0) < 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        throwReplacingError(errno, path);
    }
    if (!S_ISREG(info.st_mode)) {
        return std::nullopt; // renaming over anything else fails with its own error
    }
    bool markedReadOnly = (info.st_mode & 0222) == 0;
    if (markedReadOnly || ::faccessat(target.folder, target.name.c_str(), W_OK, AT_EACCESS) < 0) {
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
    explicit TemporaryFile(FolderEntry entry)
        : entry_(std::move(entry))
        , written_(identityOf(entry_)) {}
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile() {
        if (!kept_) {
            ::unlinkat(entry_.folder, entry_.name.c_str(), 0);
        }
    }

    const FolderEntry &entry() const { return entry_; }
    /// Whether the file at the temporary name is still the one written there, neither replaced nor rewritten.
    bool holdsWhatWasWritten() const { return !written_ || identityOf(entry_) == written_; }
    /// Nothing is removed any more: the file went into place, or it holds another program's text.
    void keep() { kept_ = true; }

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

    static std::optional<Identity> identityOf(const FolderEntry &entry) {
        struct stat info {};
        if (::fstatat(entry.folder, entry.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) < 0) {
            return std::nullopt;
        }
        return Identity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
    }

    FolderEntry entry_;
    std::optional<Identity> written_;
    bool kept_ = false;
};

// Besides what the interface promises: a replaced file's permission bits and group carry over, a file marked
// read-only or that this process may not write is refused (EACCES) and stays as it is, and every error names the
// target, never the temporary file.
FolderEntry PosixFileSystem::writeTemporarySibling(const FolderEntry &target, std::string_view bytes) {
    const fs::path &path = target.shown;
    FolderEntry temporary = target.hiddenSibling("tmp");
    bool temporaryExists = false;
    try {
        beforeOperation(FileOperation::write, temporary.shown);
        auto replaced = replacedFileIdentity(target);
        // Private until it has the replaced file's permissions: nobody reads the new text through a wider mode.
        int fd;
        do {
            fd = ::openat(temporary.folder, temporary.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          replaced ? 0600 : 0666);
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
        beforeOperation(FileOperation::fsync, temporary.shown);
        syncDescriptor(file.get(), path);
        if (file.close() < 0) {
            throwReplacingError(errno, path);
        }
    } catch (...) {
        if (temporaryExists) {
            ::unlinkat(temporary.folder, temporary.name.c_str(), 0);
        }
        throw;
    }
    return temporary;
}

void PosixFileSystem::syncFolderOf(const FolderEntry &entry) {
    // The rename is durable only once the folder's entry is on disk.
    fs::path folder = folderOf(entry.shown);
    beforeOperation(FileOperation::fsync, folder);
    if (entry.folder != AT_FDCWD) {
        syncDescriptor(entry.folder, folder);
        return;
    }
    FileDescriptor directory = openOrThrow(folderOf(entry.name), O_RDONLY | O_DIRECTORY, "Opening");
    syncDescriptor(directory.get(), folder);
}

namespace {

/// Confirms that a folder reached beneath the Pages folder still lies there; nothing to confirm for a path.
void requireStillBeneath(const EntryBeneath *beneath) {
    if (beneath != nullptr) {
        beneath->requireFolderStillBeneath();
    }
}

} // namespace

void PosixFileSystem::writeAtomically(const std::filesystem::path &path, std::string_view bytes) {
    writeAtomicallyAt(FolderEntry::ofPath(path), bytes, nullptr);
}

void PosixFileSystem::writeAtomicallyBeneath(const std::filesystem::path &folder,
                                             const std::filesystem::path &relativePath, std::string_view bytes) {
    EntryBeneath target = EntryBeneath::resolve(folder, relativePath);
    writeAtomicallyAt(target.entry(), bytes, &target);
}

// A folder moved out of the Pages folder while the temporary file was written takes the temporary with it: the file
// never goes into place there. One moved out after the rename holds the new file outside: the write fails, so that
// it is never taken for a save.
void PosixFileSystem::writeAtomicallyAt(const FolderEntry &target, std::string_view bytes,
                                        const EntryBeneath *beneath) {
    TemporaryFile temporary(writeTemporarySibling(target, bytes));
    beforeOperation(FileOperation::rename, target.shown);
    requireStillBeneath(beneath);
    if (::renameat(temporary.entry().folder, temporary.entry().name.c_str(), target.folder, target.name.c_str()) < 0) {
        throwReplacingError(errno, target.shown);
    }
    temporary.keep();
    syncFolderOf(target);
    requireStillBeneath(beneath);
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
    return replaceIfUnchangedAt(FolderEntry::ofPath(path), bytes, expected, theirFile, nullptr);
}

ReplacementOutcome PosixFileSystem::replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                              const std::filesystem::path &relativePath,
                                                              std::string_view bytes,
                                                              std::optional<std::string_view> expected,
                                                              std::optional<std::filesystem::path> &theirFile) {
    theirFile.reset();
    EntryBeneath target = EntryBeneath::resolve(folder, relativePath);
    return replaceIfUnchangedAt(target.entry(), bytes, expected, theirFile, &target);
}

ReplacementOutcome PosixFileSystem::replaceIfUnchangedAt(const FolderEntry &target, std::string_view bytes,
                                                         std::optional<std::string_view> expected,
                                                         std::optional<std::filesystem::path> &theirFile,
                                                         const EntryBeneath *beneath) {
    theirFile.reset();
    TemporaryFile temporary(writeTemporarySibling(target, bytes));
    beforeOperation(FileOperation::rename, target.shown);
    requireStillBeneath(beneath);
    ReplacementOutcome outcome = expected ? swapInIfHolding(temporary, target, bytes, *expected, theirFile)
                                          : moveInUnlessPresent(temporary, target);
    if (outcome == ReplacementOutcome::replaced) {
        syncFolderOf(target);
        requireStillBeneath(beneath);
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

bool PosixFileSystem::holdsWhatWasRead(const FolderEntry &entry, std::optional<std::string_view> expected) {
    if (!expected) {
        return !rawFileType(entry, true).has_value();
    }
    // Not what was read, so it must not be replaced. A file there that fails to be read (a failing disk) may
    // still hold it: that is no change by another program, and its error is thrown.
    try {
        return comparesEqual(entry, *expected);
    } catch (const FileSystemError &error) {
        if (isNoReadableFile(error)) {
            return false;
        }
        throw;
    }
}

namespace {

bool exchange(const FolderEntry &a, const FolderEntry &b) {
    return ::renameat2(a.folder, a.name.c_str(), b.folder, b.name.c_str(), RENAME_EXCHANGE) == 0;
}

/// The file system cannot swap or refuse to replace in one step (some network and FUSE file systems).
bool isUnsupportedRename(int error) {
    return error == EINVAL || error == ENOSYS || error == ENOTSUP;
}

} // namespace

ReplacementOutcome PosixFileSystem::swapInIfHolding(TemporaryFile &temporary, const FolderEntry &target,
                                                    std::string_view written, std::string_view expected,
                                                    std::optional<std::filesystem::path> &theirFile) {
    if (!exchange(temporary.entry(), target)) {
        int error = errno;
        if (error == ENOENT) {
            return ReplacementOutcome::changedMeanwhile; // removed since it was read: it is not made again
        }
        if (isUnsupportedRename(error)) {
            return replaceAfterComparing(temporary, target, expected);
        }
        throwReplacingError(error, target.shown);
    }
    // The temporary name now holds what was at the path.
    bool unchanged = false;
    try {
        unchanged = holdsWhatWasRead(temporary.entry(), expected);
    } catch (const FileSystemError &error) {
        // Whether the file taken out changed cannot be told: it goes back in place once, and the save fails with
        // the read's error, named by the page file.
        swapBack(temporary, target, written, expected, theirFile);
        throw FileSystemError(error.code(), target.shown, "Reading");
    }
    if (unchanged) {
        return ReplacementOutcome::replaced; // the old file goes with the temporary name
    }
    swapBack(temporary, target, written, expected, theirFile);
    return ReplacementOutcome::changedMeanwhile;
}

// Should yet another file have landed at the path between the two swaps (or been written into ours), it is the
// newest: it is swapped into place once more. The file that then comes to the temporary name is the one the first
// swap took out, which held another program's change: unless it holds what this save wrote or what it read, it may
// be the only copy of that change, and it stays under the temporary name, which the caller is told, to keep it (else
// the library's clean-up of stale temporary files keeps it as a conflict copy).
void PosixFileSystem::swapBack(TemporaryFile &temporary, const FolderEntry &target, std::string_view written,
                               std::string_view expected, std::optional<std::filesystem::path> &theirFile) {
    for (int swaps = 0; swaps < 2; ++swaps) {
        beforeOperation(FileOperation::rename, target.shown);
        if (!exchange(temporary.entry(), target)) {
            int error = errno;
            temporary.keep(); // it may hold the other program's text: it stays under the hidden name
            throwReplacingError(error, target.shown);
        }
        if (temporary.holdsWhatWasWritten()) {
            return;
        }
    }
    if (!entryHoldsExactly(temporary.entry(), written) && !entryHoldsExactly(temporary.entry(), expected)) {
        theirFile = temporary.entry().shown;
        temporary.keep();
    }
}

ReplacementOutcome PosixFileSystem::moveInUnlessPresent(TemporaryFile &temporary, const FolderEntry &target) {
    if (::renameat2(temporary.entry().folder, temporary.entry().name.c_str(), target.folder, target.name.c_str(),
                    RENAME_NOREPLACE) == 0) {
        temporary.keep();
        return ReplacementOutcome::replaced;
    }
    int error = errno;
    if (error != EEXIST && !isUnsupportedRename(error)) {
        throwReplacingError(error, target.shown);
    }
    // A dangling link looked absent to the reader too, as it does here: it is replaced as before.
    return replaceAfterComparing(temporary, target, std::nullopt);
}

ReplacementOutcome PosixFileSystem::replaceAfterComparing(TemporaryFile &temporary, const FolderEntry &target,
                                                          std::optional<std::string_view> expected) {
    if (!holdsWhatWasRead(target, expected)) {
        return ReplacementOutcome::changedMeanwhile;
    }
    if (::renameat(temporary.entry().folder, temporary.entry().name.c_str(), target.folder, target.name.c_str()) < 0) {
        throwReplacingError(errno, target.shown);
    }
    temporary.keep();
    return ReplacementOutcome::replaced;
}

} // namespace velto
