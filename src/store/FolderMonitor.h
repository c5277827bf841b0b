#pragma once

#include "library/load/FolderChangeReplay.h"
#include "model/ReconciliationCheckpoint.h"
#include "store/OwnFileChanges.h"

#include <QtCore/QObject>
#include <QtCore/QThread>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velto {

class FolderMonitorQueue;

/// Watches the Pages folder and tells the store, on the main thread, which Markdown files other writers
/// changed there, or that it must rescan the whole folder.
///
/// Events are read on a thread of the monitor's own. A burst is gathered for `latency` and delivered after a
/// further `quietTime` without reports, so another writer saving many files yields one notification. Files
/// that are exactly as this process left them are not reported (see VeltoOwnFileChanges).
class VeltoFolderMonitor {
public:
    using OnChange = std::function<void(const VeltoFolderChangeNotification &)>;

    static constexpr std::chrono::milliseconds latency{250};
    static constexpr std::chrono::milliseconds quietTime{250};

    /// No monitor when nothing exists at the folder's path. Linux keeps no event history to resume from,
    /// so a checkpoint never spares the full rescan that every start asks for.
    static std::unique_ptr<VeltoFolderMonitor>
    make(const std::filesystem::path &folderURL, const std::optional<VeltoLibraryReconciliationCheckpoint> &checkpoint,
         VeltoOwnFileChanges &ownChanges = VeltoOwnFileChanges::shared());

    /// Stops watching.
    ~VeltoFolderMonitor();
    VeltoFolderMonitor(const VeltoFolderMonitor &) = delete;
    VeltoFolderMonitor &operator=(const VeltoFolderMonitor &) = delete;

    /// Starts watching (once; a second call keeps the first handler) and asks for a full rescan at once.
    /// `onChange` runs on the thread that called start, which must run a Qt event loop.
    void start(OnChange onChange);
    /// Starts watching before it returns, without the full rescan at start: for a caller that reads the whole
    /// folder after this returns, so that its reading sees every change made before and the monitor reports
    /// every change made after. A folder below that cannot be watched still asks for the full rescan.
    void startWatchingNow(OnChange onChange);
    /// Stops watching; once it returns no delivery reaches the handler. A stopped monitor stays stopped.
    void stop();

    const std::filesystem::path &folderURL() const { return folderURL_; }
    /// The watched folder was removed, moved or unmounted (or was gone when watching began): this monitor
    /// reports nothing more, and watching again needs a new one.
    bool hasLostFolder() const { return lostFolder_; }

    /// What changed since the checkpoint. Linux keeps no event history, so the answer is always a full rescan.
    static VeltoFolderChangeNotification replayChanges(const std::filesystem::path &folderURL,
                                                       const VeltoLibraryReconciliationCheckpoint &checkpoint);

    /// The path of a Markdown file ("md" in any case) relative to the folder, "/"-separated; nothing for other
    /// files and for paths outside the folder. Both paths have their links resolved already.
    static std::optional<std::string> relativeMarkdownPath(const std::filesystem::path &reportedPath,
                                                           const std::filesystem::path &resolvedFolder);

private:
    VeltoFolderMonitor(std::filesystem::path folderURL, VeltoOwnFileChanges &ownChanges);
    void deliver(const VeltoFolderChangeNotification &notification, std::uint64_t generation);

    const std::filesystem::path folderURL_;
    VeltoOwnFileChanges &ownChanges_;
    QThread thread_;                      // the monitor's queue: every event and timer runs there
    FolderMonitorQueue *queue_ = nullptr; // lives on thread_
    QObject deliveryContext_;             // lives on the starting thread; deliveries are dropped with it
    OnChange onChange_;
    std::atomic<bool> isStarted_{false};
    std::atomic<std::uint64_t> generation_{0};
    std::atomic<bool> lostFolder_{false};

    friend class FolderMonitorQueue;
};

} // namespace velto
