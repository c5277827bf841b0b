#include "platform/PosixFiles.h"

#include "platform/Uuid.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace velto::posix {

namespace fs = std::filesystem;

[[noreturn]] void throwErrno(const fs::path &path, const char *operation) {
    throw FileSystemError(errno, path, operation);
}

FileDescriptor openOrThrow(const fs::path &path, int flags, const char *operation, mode_t mode) {
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
FileDescriptor openRegularFileForReading(const fs::path &path, const char *operation, struct stat *status) {
    return openRegularFileForReading(FolderEntry::ofPath(path), operation, status);
}

FileDescriptor openRegularFileForReading(const FolderEntry &entry, const char *operation, struct stat *status) {
    int fd;
    do {
        fd = ::openat(entry.folder, entry.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        throwErrno(entry.shown, operation);
    }
    FileDescriptor file(fd);
    struct stat info {};
    if (::fstat(file.get(), &info) < 0) {
        throwErrno(entry.shown, operation);
    }
    if (status != nullptr) {
        *status = info;
    }
    if (S_ISDIR(info.st_mode)) {
        throw FileSystemError(EISDIR, entry.shown, "Reading");
    }
    if (!S_ISREG(info.st_mode)) {
        throw FileSystemError::notARegularFile(entry.shown, operation);
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

std::size_t readSome(int fd, char *buffer, std::size_t size, const fs::path &path, const char *operation) {
    while (true) {
        const ssize_t result = ::read(fd, buffer, size);
        if (result >= 0) {
            return static_cast<std::size_t>(result);
        }
        if (errno != EINTR) {
            throwErrno(path, operation);
        }
    }
}

std::string readUpTo(int fd, std::size_t maxBytes, const fs::path &path, std::optional<std::uint64_t> knownSize) {
    std::string bytes;
    if (!knownSize) {
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_size > 0) {
            knownSize = static_cast<std::uint64_t>(info.st_size);
        }
    }
    if (knownSize && *knownSize > 0) {
        bytes.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(*knownSize, maxBytes)));
    }
    char buffer[65536];
    while (bytes.size() < maxBytes) {
        const std::size_t read = readSome(fd, buffer, std::min(sizeof buffer, maxBytes - bytes.size()), path);
        if (read == 0) {
            break;
        }
        bytes.append(buffer, read);
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
        const std::size_t read = readSome(fd, buffer, wanted, path);
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
    return rawFileType(FolderEntry::ofPath(path), followLinks);
}

std::optional<FileType> rawFileType(const FolderEntry &entry, bool followLinks) {
    struct stat info {};
    if (::fstatat(entry.folder, entry.name.c_str(), &info, followLinks ? 0 : AT_SYMLINK_NOFOLLOW) < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        throwErrno(entry.shown, "Reading the status of");
    }
    return fileTypeOfMode(info.st_mode);
}

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

fs::path folderOf(const fs::path &path) {
    fs::path parent = path.parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

namespace {

/// The longest name of one folder entry, in bytes (NAME_MAX of the file systems Linux mounts).
constexpr std::size_t longestFileNameBytes = 255;

} // namespace

fs::path hiddenSiblingPath(const fs::path &path, std::string_view kind) {
    std::string suffix = "." + std::string(kind) + "-" + Uuid::random().lowercaseText().substr(24); // 48 random bits
    std::string name = "." + path.filename().string() + suffix;
    if (name.size() > longestFileNameBytes) {
        name = ".velto" + suffix;
    }
    return path.parent_path() / name;
}

FolderEntry FolderEntry::hiddenSibling(std::string_view kind) const {
    fs::path sibling = hiddenSiblingPath(name, kind);
    return {folder, sibling, shown.parent_path() / sibling.filename()};
}

int renameWithoutReplacing(const fs::path &from, const fs::path &to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return errno;
    }
    // A file system that cannot refuse by itself: a hard link fails with EEXIST instead of replacing.
    if (::link(from.c_str(), to.c_str()) < 0) {
        return errno;
    }
    if (::unlink(from.c_str()) < 0) {
        int error = errno;
        ::unlink(to.c_str());
        return error;
    }
    return 0;
}

} // namespace velto::posix
