// How the process's file system removes a file only when its bytes prove it the remover's at the moment it goes.
//
// Reading a file and then unlinking its path leaves a moment in which another program's change is removed unseen:
// an editor that rewrites the file in place while a large file is still being hashed, or one that renames a new file
// over it. So the file is first taken aside: renamed, in one step and never over anything, to a hidden name in the
// same folder. From then on the path leads to whatever another program puts there, and that is never touched; only
// the file under the hidden name is read, tested and unlinked, or put back when it does not prove itself. On a
// journaling file system the rename costs about as much as the unlink (bench_library_save times both): it is the price
// of the proof, since a check of the path followed by an unlink would remove a file an editor renamed over it between
// the two.
//
// A program that opened the file before it was taken aside still writes into it through its descriptor. Such a
// write that ends before the bytes are read is in what is tested. One that lands while they are read, or after,
// changes the file's size or its change time, which are compared just before the unlink: the file is kept. What the
// proof cannot see: a rewrite of the same size within one tick of the file system's clock after the last comparison;
// a store through a shared writable mapping (mmap) whose page was already dirtied before the proof began, which
// changes neither the size nor either time until the page is written back, so that bytes stored while the file is
// read, or after, go with it unseen; and a write after the unlink, which goes to a file no name leads to, as it would
// after any removal.
#include "platform/FileSystem.h"

#include "platform/PosixFiles.h"

#include <cerrno>
#include <cstdint>

namespace velto {

namespace fs = std::filesystem;
using namespace posix;

namespace {

/// What a write into an open file changes: its size, its modification and its change time.
struct WrittenState {
    off_t size = 0;
    struct timespec modified {};
    struct timespec changed {};
    friend bool operator==(const WrittenState &a, const WrittenState &b) {
        return a.size == b.size && a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
               a.changed.tv_sec == b.changed.tv_sec && a.changed.tv_nsec == b.changed.tv_nsec;
    }
};

WrittenState writtenState(const struct stat &info) {
    return {info.st_size, info.st_mtim, info.st_ctim};
}

WrittenState writtenState(int fd, const fs::path &path) {
    struct stat info {};
    if (::fstat(fd, &info) < 0) {
        throwErrno(path, "Reading");
    }
    return writtenState(info);
}

bool isLink(const fs::path &path) {
    return rawFileType(path, false) == FileType::symbolicLink;
}

} // namespace

ProvenRemovalOutcome PosixFileSystem::removeIfProven(const std::filesystem::path &path, const RemovalProof &proves,
                                                     std::size_t maximumBytes) {
    std::optional<fs::path> keptBeside;
    return removeIfProvenNotingKept(path, proves, keptBeside, maximumBytes);
}

ProvenRemovalOutcome PosixFileSystem::removeIfProvenNotingKept(const std::filesystem::path &path,
                                                               const RemovalProof &proves,
                                                               std::optional<std::filesystem::path> &keptBeside,
                                                               std::size_t maximumBytes) {
    keptBeside.reset();
    // Where the file lies once put back: a name other than its own is where it was kept beside another file.
    auto noteWhereKept = [&](const fs::path &putAt) {
        if (putAt != path) {
            keptBeside = putAt;
        }
    };
    const fs::path aside = hiddenSiblingPath(path, "aside");
    // Taking the file aside is the first step of its removal, and no write: it is reported as a removal.
    beforeOperation(FileOperation::remove, path);
    if (int error = renameWithoutReplacing(path, aside); error != 0) {
        if (error == ENOENT) {
            return ProvenRemovalOutcome::absent;
        }
        throw FileSystemError(error, path, "Removing");
    }
    bool proven = false;
    try {
        beforeOperation(FileOperation::read, aside);
        // The status the opening looked at is the state before the read: one look before it and one after.
        struct stat opened {};
        FileDescriptor file = openRegularFileForReading(aside, "Reading", &opened);
        const WrittenState before = writtenState(opened);
        std::string bytes = readUpTo(file.get(), maximumBytes == SIZE_MAX ? SIZE_MAX : maximumBytes + 1, path,
                                     static_cast<std::uint64_t>(opened.st_size));
        proven = bytes.size() <= maximumBytes && proves(bytes) && writtenState(file.get(), path) == before;
        if (proven) {
            beforeOperation(FileOperation::remove, aside);
            if (::unlink(aside.c_str()) < 0) {
                throwErrno(path, "Removing");
            }
        }
    } catch (const FileSystemError &error) {
        // A link's target is not what goes: a link that leads nowhere, or to no regular file, is proven by nothing.
        bool provesNothing = error.isNotARegularFile() || (isLink(aside) && error.code() == ENOENT);
        noteWhereKept(putBack(aside, path));
        if (provesNothing) {
            return ProvenRemovalOutcome::kept;
        }
        throw;
    } catch (...) {
        noteWhereKept(putBack(aside, path));
        throw;
    }
    if (!proven) {
        noteWhereKept(putBack(aside, path));
        return ProvenRemovalOutcome::kept;
    }
    return ProvenRemovalOutcome::removed;
}

// The clean-up of a removal that did not go ahead, never failed on purpose: a step that fails here would leave the file
// under its hidden name.
std::filesystem::path PosixFileSystem::putBack(const std::filesystem::path &aside, const std::filesystem::path &path) {
    fs::path putAt = path;
    int error = renameWithoutReplacing(aside, putAt);
    if (error == EEXIST) {
        // Another program has put a file at the path since: both are kept, its own in place.
        putAt = keptFileName(path);
        error = renameWithoutReplacing(aside, putAt);
    }
    if (error != 0) {
        throw FileSystemError(error, path, "Putting back");
    }
    return putAt;
}

} // namespace velto
