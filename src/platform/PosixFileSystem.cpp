// The process's file system through POSIX calls: the status and the bytes of files, and the operations on folders
// (creating, removing, moving, copying, listing). Replacing a file lies in FileReplacement.cpp.
#include "platform/FileSystem.h"

#include "platform/PosixFiles.h"
#include "platform/UncachedFileAccess.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include <sys/sysmacros.h>

namespace velto {

namespace fs = std::filesystem;
using namespace posix;

namespace {

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
            const std::size_t count = readSome(input.get(), buffer, sizeof buffer, from, "Copying");
            if (count == 0) {
                break;
            }
            writeAll(output.get(), std::string_view(buffer, count), to);
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
    status.permissions = info.stx_mode & 07777;
    status.ownerID = info.stx_uid;
    status.groupID = info.stx_gid;
    return status;
}

std::string PosixFileSystem::readFile(const std::filesystem::path &path, std::size_t maximumBytes) {
    beforeOperation(FileOperation::read, path);
    struct stat opened {};
    FileDescriptor file = openRegularFileForReading(path, "Opening", &opened);
    std::string bytes = readUpTo(file.get(), maximumBytes == SIZE_MAX ? SIZE_MAX : maximumBytes + 1, path,
                                 static_cast<std::uint64_t>(opened.st_size));
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
    return entryHoldsExactly(FolderEntry::ofPath(path), bytes);
}

bool PosixFileSystem::entryHoldsExactly(const FolderEntry &entry, std::string_view bytes) {
    try {
        return comparesEqual(entry, bytes);
    } catch (const FileSystemError &) {
        return false;
    }
}

// Read as a page is read (a link followed, only a regular file), one byte past the bytes at most.
bool PosixFileSystem::comparesEqual(const FolderEntry &entry, std::string_view bytes) {
    beforeOperation(FileOperation::read, entry.shown);
    FileDescriptor file = openRegularFileForReading(entry);
    UncachedComparison uncached = compareWholeBlocksUncached(file.get(), bytes);
    if (uncached.error != 0) {
        throw FileSystemError(uncached.error, entry.shown, "Reading");
    }
    if (uncached.differs) {
        return false;
    }
    return readsExactly(file.get(), bytes.substr(uncached.compared), entry.shown);
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

void PosixFileSystem::adviseWillRead(const std::filesystem::path &path) {
    // Without waiting for a FIFO's writer, and never made the process's terminal. A file that can't be opened
    // or take the advice is simply read later as it would have been.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
    ::close(fd);
}

} // namespace velto
