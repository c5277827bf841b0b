#include "platform/FileSystem.h"

#include "platform/Text.h"
#include "platform/Uuid.h"

#include <cerrno>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
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

namespace {

/// The 255 bytes a file name may have (NAME_MAX).
constexpr std::size_t longestFileNameBytes = 255;

/// The longest beginning of the text of whole characters that takes no more than `bytes` bytes; bytes that are no
/// UTF-8 are cut anywhere.
std::string prefixWithinBytes(std::string_view text, std::size_t bytes) {
    if (!text::isValidUTF8(text)) {
        return std::string(text.substr(0, bytes));
    }
    std::size_t characters = text::graphemeCount(text);
    std::string prefix = text::graphemePrefix(text, characters);
    while (prefix.size() > bytes) {
        prefix = text::graphemePrefix(text, --characters);
    }
    return prefix;
}

} // namespace

std::filesystem::path keptFileName(const std::filesystem::path &path) {
    std::string mark = " (kept " + Uuid::random().lowercaseText().substr(30) + ")";
    std::string stem = path.stem().string();
    std::string extension = path.extension().string();
    if (mark.size() + extension.size() > longestFileNameBytes) {
        stem = path.filename().string(); // no extension of a usual length: the mark ends the name
        extension.clear();
    }
    // A name that took nearly all of its bytes already gives up the end of its stem to the mark.
    stem = prefixWithinBytes(stem, longestFileNameBytes - mark.size() - extension.size());
    return path.parent_path() / (stem + mark + extension);
}

ProvenRemovalOutcome FileSystem::removeIfProven(const std::filesystem::path &path, const RemovalProof &proves,
                                                std::size_t maximumBytes) {
    if (!status(path, false)) {
        return ProvenRemovalOutcome::absent;
    }
    std::string bytes;
    try {
        bytes = readFile(path, maximumBytes);
    } catch (const FileSystemError &error) {
        if (error.code() == EFBIG || error.isNotARegularFile() || error.code() == ENOENT || error.code() == ELOOP) {
            return ProvenRemovalOutcome::kept; // too large, no regular file, or a link that leads nowhere
        }
        throw;
    }
    if (!proves(bytes)) {
        return ProvenRemovalOutcome::kept;
    }
    removeItem(path);
    return ProvenRemovalOutcome::removed;
}

ReplacementOutcome FileSystem::replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                              std::optional<std::string_view> expected,
                                                              std::optional<std::filesystem::path> &theirFile) {
    theirFile.reset();
    return replaceIfUnchanged(path, bytes, expected);
}

void FileSystem::writeAtomicallyBeneath(const std::filesystem::path &folder, const std::filesystem::path &relativePath,
                                        std::string_view bytes) {
    writeAtomically(folder / relativePath, bytes);
}

ReplacementOutcome FileSystem::replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                         const std::filesystem::path &relativePath,
                                                         std::string_view bytes,
                                                         std::optional<std::string_view> expected,
                                                         std::optional<std::filesystem::path> &theirFile) {
    return replaceIfUnchangedNotingTheirs(folder / relativePath, bytes, expected, theirFile);
}

ProvenRemovalOutcome FileSystem::removeIfProvenNotingKept(const std::filesystem::path &path, const RemovalProof &proves,
                                                          std::optional<std::filesystem::path> &keptBeside,
                                                          std::size_t maximumBytes) {
    keptBeside.reset();
    return removeIfProven(path, proves, maximumBytes);
}

bool FileSystem::refusesWriting(const std::filesystem::path &folder) {
    // A file its owner marked read-only is refused also where the system would let this process write it (as root):
    // a save that put a new file in its place would undo what was decided for it.
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0) {
        return true;
    }
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
