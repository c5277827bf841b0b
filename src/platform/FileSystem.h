#pragma once

#include "platform/Date.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

class EntryBeneath;
namespace posix {
struct FolderEntry;
}

/// A failed file-system call: the errno, the path it concerned and the operating system's description.
class FileSystemError : public std::runtime_error {
public:
    FileSystemError(int code, std::filesystem::path path, const std::string &operation);
    /// The same with a description of our own where the system has no fitting text.
    FileSystemError(int code, std::filesystem::path path, const std::string &operation, std::string description);

    /// The refusal of a file that is not a regular one (a FIFO, a device, a socket) where only a regular file is read.
    static FileSystemError notARegularFile(std::filesystem::path path, const std::string &operation);

    int code() const { return code_; }
    const std::filesystem::path &path() const { return path_; }
    /// What was being done: "Opening" when the file could not be opened, "Reading" when reading it failed, ….
    const std::string &operation() const { return operation_; }
    bool isNotARegularFile() const { return notARegularFile_; }
    /// "No such file or directory": the sentence that user-facing messages quote.
    std::string localizedDescription() const;

private:
    int code_;
    std::filesystem::path path_;
    std::string operation_;
    std::string description_;
    bool notARegularFile_ = false;
};

/// The largest file that readFile reads whole by default: far above the largest page text kept active
/// (5 MiB), far below what would exhaust memory. A larger file is refused with EFBIG, never cut short.
inline constexpr std::size_t largestReadableFileBytes = 64 * 1024 * 1024;

enum class FileType { regular, directory, symbolicLink, other };

struct FileStatus {
    FileType type = FileType::other;
    std::uint64_t size = 0;
    Date modificationDate;
    std::optional<Date> creationDate; // birth time where the file system keeps it
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    /// Who may read and change the file: its permission bits (07777 of the mode) and its owner and group.
    std::uint32_t permissions = 0;
    std::uint32_t ownerID = 0;
    std::uint32_t groupID = 0;
    friend bool operator==(const FileStatus &, const FileStatus &) = default;
};

struct DirectoryEntry {
    std::string relativePath; // "/"-separated, relative to the enumerated folder
    FileType type = FileType::other;
    friend bool operator==(const DirectoryEntry &, const DirectoryEntry &) = default;
};

/// The kinds of primitive step that a file-system operation is made of. Test doubles fail or record
/// steps by kind (see tests/support).
enum class FileOperation { read, write, fsync, rename, remove, list, createDirectory, stat, copy };

const char *fileOperationName(FileOperation operation);

/// What a conditional replacement did: replaced the file, or left it alone because another program had
/// changed, removed or created it since it was read.
enum class ReplacementOutcome { replaced, changedMeanwhile };

/// What a removal that had to prove the file first did: removed it, found no file there, or kept it because its
/// bytes did not prove it (it is back at its path, or, where another file has come to the path meanwhile, at the
/// name keptFileName gives).
enum class ProvenRemovalOutcome { removed, absent, kept };

/// Whether the bytes of a file about to be removed are the ones its remover may take away.
using RemovalProof = std::function<bool(std::string_view bytes)>;

/// "page (kept 3f2a9c).md": the visible name beside `path` under which a file that could not go back to its path
/// stays, so that it is found (a Markdown file is taken in as a page) rather than hidden.
std::filesystem::path keptFileName(const std::filesystem::path &path);

/// The file system as the page library uses it. Every call that fails throws FileSystemError.
/// The library takes one of these as its injected file manager; production code passes
/// defaultFileSystem().
class FileSystem {
public:
    virtual ~FileSystem() = default;

    /// The status of the file, following a final symbolic link when asked; nothing when no file is
    /// there (ENOENT, ENOTDIR). Other errors throw.
    virtual std::optional<FileStatus> status(const std::filesystem::path &path, bool followLinks = true) = 0;

    /// The whole file; one larger than maximumBytes fails with EFBIG ("File too large"). Only a regular file
    /// is read: anything else (a FIFO, a device, a folder) is refused without being waited for.
    virtual std::string readFile(const std::filesystem::path &path, std::size_t maximumBytes) = 0;
    std::string readFile(const std::filesystem::path &path) { return readFile(path, largestReadableFileBytes); }

    /// At most maxBytes from the start of the file, which must be a regular file as for readFile.
    virtual std::string readPrefix(const std::filesystem::path &path, std::size_t maxBytes) = 0;

    /// Whether the file (a link followed) is a regular file holding exactly `bytes`. A file that cannot be read
    /// holds nothing: false, never an error. By default the file is read whole and compared.
    virtual bool holdsExactly(const std::filesystem::path &path, std::string_view bytes);

    /// Replaces the file in one step: a temporary file in the same folder is written and synced, renamed
    /// over the target, and the folder synced. Readers see the old or the new bytes, never a mix.
    virtual void writeAtomically(const std::filesystem::path &path, std::string_view bytes) = 0;

    /// Replaces the file as writeAtomically does, but only while it still holds exactly `expected`, the bytes
    /// the caller read there (nothing: while no file is there). Another program that changed, removed or created
    /// the file since keeps its file, and changedMeanwhile is returned. A file there that fails to be read is left
    /// as it is, and its read error is thrown (operation "Reading", named by `path`).
    virtual ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                                  std::optional<std::string_view> expected) = 0;
    /// replaceIfUnchanged that names the file another program's change may be left in. Where the replacement met
    /// that change and yet another file came to the path while it put the change back, the file it took out may be
    /// the only copy of the change: it stays under a hidden name beside the path, and `theirFile` names it for the
    /// caller to keep; otherwise `theirFile` is nothing. By default nothing is left aside.
    virtual ReplacementOutcome replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                              std::optional<std::string_view> expected,
                                                              std::optional<std::filesystem::path> &theirFile);

    /// writeAtomically for the file at `relativePath` beneath `folder`, a write that never leaves the folder: every
    /// folder on the way is reached from the folder's own descriptor without following a link, so that one moved out
    /// and linked back at any moment fails the write (EXDEV, ELOOP) instead of leading it outside. A symbolic link at
    /// the file's own name that names a file inside the folder is that file: the file it names is replaced, and the
    /// link stays a link. By default the path is written as writeAtomically writes it.
    virtual void writeAtomicallyBeneath(const std::filesystem::path &folder, const std::filesystem::path &relativePath,
                                        std::string_view bytes);
    /// replaceIfUnchangedNotingTheirs for the file at `relativePath` beneath `folder`, which it never leaves, as
    /// writeAtomicallyBeneath writes. By default the path is replaced as replaceIfUnchangedNotingTheirs replaces it.
    virtual ReplacementOutcome replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                         const std::filesystem::path &relativePath,
                                                         std::string_view bytes,
                                                         std::optional<std::string_view> expected,
                                                         std::optional<std::filesystem::path> &theirFile);

    /// Creates the folder and any missing parents; an existing folder is no error.
    virtual void createDirectories(const std::filesystem::path &path) = 0;

    /// Removes a file, a symbolic link (not its target) or a folder with its contents.
    virtual void removeItem(const std::filesystem::path &path) = 0;

    /// Removes the file (a symbolic link: the link, its target's bytes proving it) only when its bytes, as they are
    /// at the moment it is taken away, pass `proves`; a file that is no regular one or larger than maximumBytes
    /// proves nothing. A file that another program wrote into, or put in its place, after it was looked at is
    /// kept. Errors are thrown; a file that could not be proven or removed is kept. By default the file is read,
    /// tested and removed in three steps, which a double may do; the process's file system takes it aside first.
    virtual ProvenRemovalOutcome removeIfProven(const std::filesystem::path &path, const RemovalProof &proves,
                                                std::size_t maximumBytes = largestReadableFileBytes);
    /// removeIfProven that also says where a file kept beside another file that came to its path now lies
    /// (`keptBeside`, the name keptFileName gave it; empty otherwise), so that its caller can tell the user. By default
    /// nothing is ever kept beside.
    virtual ProvenRemovalOutcome removeIfProvenNotingKept(const std::filesystem::path &path, const RemovalProof &proves,
                                                          std::optional<std::filesystem::path> &keptBeside,
                                                          std::size_t maximumBytes = largestReadableFileBytes);

    /// Moves a file or folder; fails with EEXIST when the destination exists (never replaces).
    virtual void moveItem(const std::filesystem::path &from, const std::filesystem::path &to) = 0;

    /// Copies a file or a folder with its contents; fails with EEXIST when the destination exists.
    virtual void copyItem(const std::filesystem::path &from, const std::filesystem::path &to) = 0;

    /// The names of a folder's entries, hidden ones included, sorted by byte order.
    virtual std::vector<std::string> contentsOfDirectory(const std::filesystem::path &path) = 0;

    /// The entries of a folder with their own types (a link is a link, not its target), hidden ones included,
    /// sorted by byte order; an entry gone between the listing and its look counts as other. One listing
    /// tells what ten thousand looks at single files would. By default each entry is looked at in turn.
    virtual std::vector<DirectoryEntry> entriesOfDirectory(const std::filesystem::path &path);

    /// Every entry below the folder, depth first in sorted order, skipping hidden entries (a name that
    /// begins with ".") and never descending into a symbolic link. Folders are listed before their contents.
    virtual std::vector<DirectoryEntry> enumerateRecursively(const std::filesystem::path &path) = 0;

    /// The path with every symbolic link resolved (realpath); the path itself when it does not exist.
    virtual std::filesystem::path resolvingSymlinks(const std::filesystem::path &path) = 0;

    /// Whether the folder refuses to be written in: it lies on a read-only file system, or this process may not
    /// add files to it. A folder that is not there, or whose state cannot be told, does not refuse. By default
    /// the system is asked.
    virtual bool refusesWriting(const std::filesystem::path &folder);

    /// Whether calls may come from several threads at once. The process's own file system allows it; a double that
    /// fails or records steps in order does not, and a wrapper allows it when what it wraps does.
    virtual bool allowsConcurrentCalls() const { return false; }

    /// A hint that the regular file at the path is about to be read: the system may start fetching its bytes from
    /// the disk now, while other work goes on. It changes nothing that any call sees, never fails and never waits
    /// for the bytes. By default nothing is done.
    virtual void adviseWillRead(const std::filesystem::path &) {}

    // Conveniences over status().
    bool fileExists(const std::filesystem::path &path) { return status(path).has_value(); }
    bool isDirectory(const std::filesystem::path &path);
    bool isRegularFile(const std::filesystem::path &path);
};

/// The real file system through POSIX calls. Subclasses see every primitive step through
/// beforeOperation, which may throw to inject a failure.
class PosixFileSystem : public FileSystem {
public:
    std::optional<FileStatus> status(const std::filesystem::path &path, bool followLinks = true) override;
    using FileSystem::readFile;
    std::string readFile(const std::filesystem::path &path, std::size_t maximumBytes) override;
    std::string readPrefix(const std::filesystem::path &path, std::size_t maxBytes) override;
    /// Compared piece by piece as it is read: a page of megabytes is compared without a copy of it, and the first
    /// difference ends the reading.
    bool holdsExactly(const std::filesystem::path &path, std::string_view bytes) override;
    void writeAtomically(const std::filesystem::path &path, std::string_view bytes) override;
    ReplacementOutcome replaceIfUnchanged(const std::filesystem::path &path, std::string_view bytes,
                                          std::optional<std::string_view> expected) override;
    ReplacementOutcome replaceIfUnchangedNotingTheirs(const std::filesystem::path &path, std::string_view bytes,
                                                      std::optional<std::string_view> expected,
                                                      std::optional<std::filesystem::path> &theirFile) override;
    void writeAtomicallyBeneath(const std::filesystem::path &folder, const std::filesystem::path &relativePath,
                                std::string_view bytes) override;
    ReplacementOutcome replaceIfUnchangedBeneath(const std::filesystem::path &folder,
                                                 const std::filesystem::path &relativePath, std::string_view bytes,
                                                 std::optional<std::string_view> expected,
                                                 std::optional<std::filesystem::path> &theirFile) override;
    void createDirectories(const std::filesystem::path &path) override;
    void removeItem(const std::filesystem::path &path) override;
    ProvenRemovalOutcome removeIfProven(const std::filesystem::path &path, const RemovalProof &proves,
                                        std::size_t maximumBytes = largestReadableFileBytes) override;
    ProvenRemovalOutcome removeIfProvenNotingKept(const std::filesystem::path &path, const RemovalProof &proves,
                                                  std::optional<std::filesystem::path> &keptBeside,
                                                  std::size_t maximumBytes = largestReadableFileBytes) override;
    void moveItem(const std::filesystem::path &from, const std::filesystem::path &to) override;
    void copyItem(const std::filesystem::path &from, const std::filesystem::path &to) override;
    std::vector<std::string> contentsOfDirectory(const std::filesystem::path &path) override;
    std::vector<DirectoryEntry> entriesOfDirectory(const std::filesystem::path &path) override;
    std::vector<DirectoryEntry> enumerateRecursively(const std::filesystem::path &path) override;
    std::filesystem::path resolvingSymlinks(const std::filesystem::path &path) override;
    void adviseWillRead(const std::filesystem::path &path) override;

protected:
    /// Called before each primitive step; the default does nothing.
    virtual void beforeOperation(FileOperation operation, const std::filesystem::path &path);

private:
    class TemporaryFile;

    /// Puts a file taken aside back at its path, never over a file that has come there since: that one stays, and
    /// the file taken aside goes to keptFileName instead. Where it went.
    std::filesystem::path putBack(const std::filesystem::path &aside, const std::filesystem::path &path);

    /// Replaces the entry's file as writeAtomically does. Where the entry was reached beneath a folder, its folder is
    /// confirmed to lie there still before the new file goes into place and after it went.
    void writeAtomicallyAt(const posix::FolderEntry &target, std::string_view bytes, const EntryBeneath *beneath);
    ReplacementOutcome replaceIfUnchangedAt(const posix::FolderEntry &target, std::string_view bytes,
                                            std::optional<std::string_view> expected,
                                            std::optional<std::filesystem::path> &theirFile,
                                            const EntryBeneath *beneath);
    /// The new bytes in a hidden file beside the target, synced, with the permissions and group of the file they
    /// replace; removed again when writing fails.
    posix::FolderEntry writeTemporarySibling(const posix::FolderEntry &target, std::string_view bytes);
    /// Makes the rename of a file into the entry's folder durable.
    void syncFolderOf(const posix::FolderEntry &entry);
    /// Whether the file (a link followed, a regular file) holds exactly `bytes`; a failing read throws.
    bool comparesEqual(const posix::FolderEntry &entry, std::string_view bytes);
    /// holdsExactly for an entry: a file that cannot be read holds nothing.
    bool entryHoldsExactly(const posix::FolderEntry &entry, std::string_view bytes);
    /// Whether the file at the entry (a link followed) holds exactly `expected`; nothing: whether none is there. A
    /// file there that fails to be read throws its read error.
    bool holdsWhatWasRead(const posix::FolderEntry &entry, std::optional<std::string_view> expected);
    ReplacementOutcome swapInIfHolding(TemporaryFile &temporary, const posix::FolderEntry &target,
                                       std::string_view written, std::string_view expected,
                                       std::optional<std::filesystem::path> &theirFile);
    void swapBack(TemporaryFile &temporary, const posix::FolderEntry &target, std::string_view written,
                  std::string_view expected, std::optional<std::filesystem::path> &theirFile);
    ReplacementOutcome moveInUnlessPresent(TemporaryFile &temporary, const posix::FolderEntry &target);
    ReplacementOutcome replaceAfterComparing(TemporaryFile &temporary, const posix::FolderEntry &target,
                                             std::optional<std::string_view> expected);
};

/// The process's real file system.
FileSystem &defaultFileSystem();

} // namespace velto
