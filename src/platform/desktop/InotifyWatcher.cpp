#include "platform/desktop/InotifyWatcher.h"

#include "platform/FileSystem.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace velto {
namespace {

constexpr std::uint32_t fileEventMask = IN_CREATE | IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF | IN_EXCL_UNLINK |
                                        IN_ONLYDIR;

bool isBelowOrAt(const std::filesystem::path &path, const std::filesystem::path &directory) {
    auto [directoryEnd, pathPosition] = std::mismatch(directory.begin(), directory.end(), path.begin(), path.end());
    return directoryEnd == directory.end();
}

} // namespace

InotifyWatcher::InotifyWatcher(const std::filesystem::path &folder) {
    std::error_code error;
    folder_ = std::filesystem::canonical(folder, error);
    if (error) {
        throw FileSystemError(error.value(), folder, "Watching");
    }
    descriptor_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor_ < 0) {
        throw FileSystemError(errno, folder_, "Watching");
    }
    rootWatch_ = ::inotify_add_watch(descriptor_, folder_.c_str(), fileEventMask);
    if (rootWatch_ < 0) {
        int code = errno;
        ::close(descriptor_);
        throw FileSystemError(code, folder_, "Watching");
    }
    watchedFolders_[rootWatch_] = folder_;
    // The files present now are the starting point, not changes; a folder that cannot be watched is covered
    // by a full rescan at start only, as nothing could report its changes.
    Batch ignored;
    for (std::filesystem::directory_iterator
             entry(folder_, std::filesystem::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end; entry.increment(error)) {
        if (entry->is_directory(error) && !entry->is_symlink(error)) {
            watchTree(entry->path(), ignored);
        }
    }
    watchesEveryFolder_ = !ignored.requiresFullRescan;
}

InotifyWatcher::~InotifyWatcher() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void InotifyWatcher::watchTree(const std::filesystem::path &directory, Batch &batch) {
    int watch = ::inotify_add_watch(descriptor_, directory.c_str(), fileEventMask | IN_DONT_FOLLOW);
    if (watch < 0) {
        // Out of watches (ENOSPC) or a folder that went meanwhile: only a full rescan sees everything.
        batch.requiresFullRescan = true;
        return;
    }
    watchedFolders_[watch] = directory;
    std::error_code error;
    for (std::filesystem::directory_iterator
             entry(directory, std::filesystem::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end; entry.increment(error)) {
        if (entry->is_symlink(error)) {
            batch.changedPaths.push_back(entry->path());
        } else if (entry->is_directory(error)) {
            watchTree(entry->path(), batch);
        } else {
            batch.changedPaths.push_back(entry->path());
        }
    }
}

void InotifyWatcher::unwatchTree(const std::filesystem::path &directory) {
    for (auto watched = watchedFolders_.begin(); watched != watchedFolders_.end();) {
        if (watched->first != rootWatch_ && isBelowOrAt(watched->second, directory)) {
            ::inotify_rm_watch(descriptor_, watched->first);
            watched = watchedFolders_.erase(watched);
        } else {
            ++watched;
        }
    }
}

InotifyWatcher::Batch InotifyWatcher::readAvailableEvents() {
    Batch batch;
    alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
    while (true) {
        ssize_t length = ::read(descriptor_, buffer.data(), buffer.size());
        if (length <= 0) {
            break; // EAGAIN: the queue is empty
        }
        for (ssize_t offset = 0; offset < length;) {
            inotify_event event;
            std::memcpy(&event, buffer.data() + offset, sizeof(event));
            const char *name = event.len > 0 ? buffer.data() + offset + sizeof(inotify_event) : "";
            handleEvent(event.wd, event.mask, name, batch);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
        }
    }
    return batch;
}

void InotifyWatcher::handleEvent(int watch, std::uint32_t mask, const char *name, Batch &batch) {
    if ((mask & IN_Q_OVERFLOW) != 0 || (mask & IN_UNMOUNT) != 0) {
        batch.requiresFullRescan = true;
        return;
    }
    if (watch == rootWatch_ && (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
        lostFolder_ = true;
        batch.requiresFullRescan = true;
        return;
    }
    auto watched = watchedFolders_.find(watch);
    if (watched == watchedFolders_.end()) {
        return;
    }
    if ((mask & IN_IGNORED) != 0) {
        watchedFolders_.erase(watched);
        return;
    }
    if ((mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        return; // the parent's event about this folder tells what happened
    }
    if (*name == '\0') {
        // An event about a watched folder itself: its parent's watch tells of a folder below; for the watched
        // folder, a change of who may read it may have made every file in it readable, or not.
        batch.requiresFullRescan = batch.requiresFullRescan || (watch == rootWatch_ && (mask & IN_ATTRIB) != 0);
        return;
    }
    std::filesystem::path path = watched->second / name;
    if ((mask & IN_ISDIR) != 0) {
        if ((mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
            watchTree(path, batch);
        } else if ((mask & IN_ATTRIB) != 0) {
            // Who may read the folder changed: each of its files may be readable now, or not, while none of them
            // changed, and a folder that could not be watched may be now.
            watchTree(path, batch);
            batch.requiresFullRescan = true;
        } else if ((mask & IN_MOVED_FROM) != 0) {
            // The files of a folder moved away vanish without events of their own.
            unwatchTree(path);
            batch.requiresFullRescan = true;
        }
        return;
    }
    batch.changedPaths.push_back(std::move(path));
}

} // namespace velto
