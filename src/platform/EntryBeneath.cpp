#include "platform/EntryBeneath.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include <linux/openat2.h>
#include <sys/syscall.h>

namespace velto {

namespace fs = std::filesystem;
using namespace posix;

namespace {

// The kernel gives up after 40 links too (ELOOP).
constexpr int maximumLinksFollowed = 40;

[[noreturn]] void throwLeadsOut(const fs::path &shown) {
    throw FileSystemError(EXDEV, shown, "Saving",
                          "The file \u201c" + shown.filename().string() +
                              "\u201d would be saved outside the Pages folder, through a symbolic link or a folder "
                              "moved out of it.");
}

[[noreturn]] void throwLinkOnTheWay(const fs::path &shown) {
    throw FileSystemError(ELOOP, shown, "Saving",
                          "A folder on the way to the file \u201c" + shown.filename().string() +
                              "\u201d is a symbolic link, which Velto doesn\u2019t follow when it saves.");
}

/// Whether the path names something below its starting point: no ".." or absolute piece could lead it out.
bool staysBelow(const fs::path &relativePath) {
    if (relativePath.empty() || relativePath.is_absolute()) {
        return false;
    }
    for (const auto &piece : relativePath) {
        if (piece == ".." || piece == "." || piece.empty()) {
            return false;
        }
    }
    return true;
}

int openDirectoryAt(int folder, const char *name, int extraFlags) {
    int fd;
    do {
        fd = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

/// The folder at `relativeFolder` beneath the root's descriptor, no link followed: one call where the kernel resolves
/// names beneath a descriptor itself, else one folder at a time. -1 with errno on failure.
int openFolderBeneath(int root, const fs::path &relativeFolder) {
    if (relativeFolder.empty()) {
        return openDirectoryAt(root, ".", 0);
    }
    struct open_how how {};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    long fd;
    do {
        fd = ::syscall(SYS_openat2, root, relativeFolder.c_str(), &how, sizeof how);
    } while (fd < 0 && errno == EINTR);
    // A kernel before 5.6, or a sandbox that forbids the call: the same one folder at a time.
    if (fd >= 0 || (errno != ENOSYS && errno != EPERM)) {
        return static_cast<int>(fd);
    }
    return posix::openFolderOneAtATime(root, relativeFolder);
}

struct Identity {
    dev_t device;
    ino_t inode;
    friend bool operator==(const Identity &, const Identity &) = default;
};

std::optional<Identity> identityOf(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) < 0) {
        return std::nullopt;
    }
    return Identity{info.st_dev, info.st_ino};
}

/// The target of the link at `name` in the folder, as a path beneath the root; throws where it leads out.
fs::path linkTargetBeneath(int folder, const fs::path &root, const fs::path &relativeFolder, const std::string &name) {
    const fs::path shown = root / relativeFolder / name;
    char buffer[PATH_MAX];
    ssize_t length = ::readlinkat(folder, name.c_str(), buffer, sizeof buffer);
    if (length < 0) {
        throwErrno(shown, "Saving");
    }
    fs::path target(std::string(buffer, static_cast<std::size_t>(length)));
    fs::path beneath = target.is_absolute() ? target.lexically_normal().lexically_relative(root.lexically_normal())
                                            : (relativeFolder / target).lexically_normal();
    if (!staysBelow(beneath)) {
        throwLeadsOut(shown);
    }
    return beneath;
}

} // namespace

int posix::openFolderOneAtATime(int root, const fs::path &relativeFolder) {
    FileDescriptor current(openDirectoryAt(root, ".", 0));
    for (const auto &piece : relativeFolder) {
        if (current.get() < 0) {
            break;
        }
        if (piece == "..") {
            errno = EXDEV; // as the kernel's resolution beneath a folder refuses a way up
            return -1;
        }
        int next = openDirectoryAt(current.get(), piece.c_str(), O_NOFOLLOW);
        struct stat info {};
        if (next < 0 && errno == ENOTDIR && ::fstatat(current.get(), piece.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode)) {
            errno = ELOOP; // as the kernel's own resolution says of a link on the way
        }
        int error = errno;
        current = FileDescriptor(next);
        errno = error;
    }
    return current.release();
}

EntryBeneath::EntryBeneath(fs::path root, FileDescriptor folder, fs::path relativeFolder, std::string name)
    : root_(std::move(root))
    , folder_(std::move(folder))
    , relativeFolder_(std::move(relativeFolder))
    , name_(std::move(name)) {}

EntryBeneath EntryBeneath::resolve(const fs::path &root, const fs::path &relativePath) {
    if (!staysBelow(relativePath)) {
        throwLeadsOut(root / relativePath);
    }
    // The root itself may be a link (a Pages folder kept in a synced folder): it is the folder the user chose.
    FileDescriptor rootFolder(openDirectoryAt(AT_FDCWD, root.c_str(), 0));
    if (rootFolder.get() < 0) {
        throwErrno(root, "Opening");
    }
    fs::path wanted = relativePath;
    for (int linksFollowed = 0;; ++linksFollowed) {
        fs::path relativeFolder = wanted.parent_path();
        FileDescriptor folder(openFolderBeneath(rootFolder.get(), relativeFolder));
        if (folder.get() < 0) {
            if (errno == ELOOP) {
                throwLinkOnTheWay(root / wanted);
            }
            if (errno == EXDEV) {
                throwLeadsOut(root / wanted);
            }
            throwErrno(root / wanted, "Saving");
        }
        std::string name = wanted.filename().string();
        struct stat info {};
        bool isLink = ::fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode);
        if (!isLink) {
            return EntryBeneath(root, std::move(folder), relativeFolder, name);
        }
        if (linksFollowed == maximumLinksFollowed) {
            throw FileSystemError(ELOOP, root / relativePath, "Saving");
        }
        wanted = linkTargetBeneath(folder.get(), root, relativeFolder, name);
    }
}

void EntryBeneath::requireFolderStillBeneath() const {
    const fs::path shown = root_ / relativeFolder_ / name_;
    FileDescriptor rootFolder(openDirectoryAt(AT_FDCWD, root_.c_str(), 0));
    if (rootFolder.get() < 0) {
        throwErrno(root_, "Saving");
    }
    FileDescriptor current(openFolderBeneath(rootFolder.get(), relativeFolder_));
    if (current.get() < 0 || identityOf(current.get()) != identityOf(folder_.get())) {
        throwLeadsOut(shown);
    }
}

} // namespace velto
