#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>

namespace velto {

/// What this process last left at each file it wrote or removed, so that the folder monitor can tell its
/// own saves from other writers' changes. inotify cannot filter by process; instead an event is ours when
/// the file is still exactly as this process left it: the same inode, size, modification time, permissions and
/// owner after our write, or still absent after our removal. Another process's write always changes one of them
/// (an atomic write brings a new inode, an in-place write a new modification time), so it is always reported; so
/// is a change of who may read or change the file (chmod, chown), which can make a file readable again.
class VeltoOwnFileChanges {
public:
    /// The process's record, shared by the library writes and every folder monitor.
    static VeltoOwnFileChanges &shared();

    void recordWrite(const std::filesystem::path &path, const FileStatus &status);
    void recordRemoval(const std::filesystem::path &path);

    /// Whether the file at `path`, now in state `current` (nothing when absent), is as this process left it.
    bool isAsLeftByThisProcess(const std::filesystem::path &path, const std::optional<FileStatus> &current) const;
    /// Another program changed the file since this process left it: it is another's until this process writes or
    /// removes it again, also when a later change brings it back to how this process left it (a permission taken
    /// away and given back, which leaves a file unreadable meanwhile and readable again).
    void forgetFile(const std::filesystem::path &path);

    /// A replacement of the file is under way: its new file is in place before the replacement has compared the
    /// file it took out and recorded the new one, so what is there cannot be told ours or another's until then.
    void beginReplacing(const std::filesystem::path &path);
    void endReplacing(const std::filesystem::path &path);
    bool isBeingReplaced(const std::filesystem::path &path) const;

private:
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        Date modificationDate;
        std::uint32_t permissions = 0;
        std::uint32_t ownerID = 0;
        std::uint32_t groupID = 0;
        friend bool operator==(const Identity &, const Identity &) = default;
    };

    static Identity identityOf(const FileStatus &status);

    static std::filesystem::path key(const std::filesystem::path &path);

    mutable std::mutex mutex_;
    std::map<std::filesystem::path, std::optional<Identity>> lastLeft_; // nothing: removed by this process
    std::multiset<std::filesystem::path> beingReplaced_;
};

/// A file system that tells `changes` about every file it writes, moves, copies or removes, and otherwise
/// does exactly what `base` does. The store hands it to every library operation it runs.
class OwnChangeRecordingFileSystem : public FileSystem {
public:
    OwnChangeRecordingFileSystem(FileSystem &base, VeltoOwnFileChanges &changes);

    std::optional<FileStatus> status(const std::filesystem::path &path, bool followLinks = true) override;
    using FileSystem::readFile;
    std::string readFile(const std::filesystem::path &path, std::size_t maximumBytes) override;
    std::string readPrefix(const std::filesystem::path &path, std::size_t maxBytes) override;
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
    /// The record takes its own lock, so this adds nothing to what `base` allows.
    bool allowsConcurrentCalls() const override { return base_.allowsConcurrentCalls(); }
    void adviseWillRead(const std::filesystem::path &path) override { base_.adviseWillRead(path); }

private:
    void recordWritten(const std::filesystem::path &path);

    FileSystem &base_;
    VeltoOwnFileChanges &changes_;
};

/// The file system of the store's production operations: the real one, recording into the shared record.
FileSystem &ownChangeRecordingFileSystem();

} // namespace velto
