#pragma once

#include <filesystem>
#include <map>
#include <vector>

namespace velto {

/// Watches a folder and every folder below it with inotify, without blocking: the owner polls
/// `descriptor()` and reads what is queued. Folders that appear later are watched as they appear.
class InotifyWatcher {
public:
    /// What one read found: the paths whose files were written, created, moved or removed, or whose permissions
    /// changed, or a demand to look at the whole folder again because single paths cannot tell what happened
    /// (the kernel's queue overflowed, a folder moved away or had its permissions changed, the watched folder
    /// went, or no watch was left to add).
    struct Batch {
        std::vector<std::filesystem::path> changedPaths;
        bool requiresFullRescan = false;
    };

    /// Watches `folder` (links in its path resolved) and its subfolders. Throws FileSystemError when
    /// inotify cannot be opened or the folder cannot be watched.
    explicit InotifyWatcher(const std::filesystem::path &folder);
    ~InotifyWatcher();
    InotifyWatcher(const InotifyWatcher &) = delete;
    InotifyWatcher &operator=(const InotifyWatcher &) = delete;

    /// Readable when events are queued.
    int descriptor() const { return descriptor_; }
    /// The watched folder with links resolved; reported paths begin with it.
    const std::filesystem::path &folder() const { return folder_; }
    /// The watched folder itself was removed, moved or unmounted: nothing more will be reported.
    bool hasLostFolder() const { return lostFolder_; }
    /// Every folder found below the watched one when watching began is watched too. When one could not be
    /// (out of watches), its changes go unreported, and only a full rescan sees them.
    bool watchesEveryFolder() const { return watchesEveryFolder_; }

    /// Reads every event queued now; returns at once when there is none.
    Batch readAvailableEvents();

private:
    void handleEvent(int watch, std::uint32_t mask, const char *name, Batch &batch);
    /// Watches `directory` and everything below it; the files found there are new to the owner.
    void watchTree(const std::filesystem::path &directory, Batch &batch);
    void unwatchTree(const std::filesystem::path &directory);

    int descriptor_ = -1;
    std::filesystem::path folder_;
    int rootWatch_ = -1;
    bool lostFolder_ = false;
    bool watchesEveryFolder_ = true;
    std::map<int, std::filesystem::path> watchedFolders_;
};

} // namespace velto
