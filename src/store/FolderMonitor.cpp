#include "store/FolderMonitor.h"

#include "platform/desktop/InotifyWatcher.h"
#include "platform/desktop/Scheduler.h"
#include "store/FolderChangeCoalescer.h"

#include <QtCore/QMetaObject>
#include <QtCore/QSocketNotifier>

#include <algorithm>
#include <set>
#include <system_error>

namespace velto {

/// The monitor's state on its own thread: the inotify watcher, the gathered batch and the coalescer.
class FolderMonitorQueue : public QObject {
public:
    FolderMonitorQueue(VeltoFolderMonitor &monitor)
        : monitor_(monitor)
        , coalescer_(qtScheduler(), VeltoFolderMonitor::quietTime,
                     [this](const VeltoFolderChangeNotification &notification, std::uint64_t generation) {
                         monitor_.deliver(notification, generation);
                     }) {}

    void start(bool rescanAtStart) {
        if (coalescer_.isStarted() || stopped_) {
            return;
        }
        try {
            watcher_ = std::make_unique<InotifyWatcher>(monitor_.folderURL());
        } catch (const std::exception &) {
            monitor_.lostFolder_ = true; // a folder that cannot be watched leaves the monitor silent
            return;
        }
        notifier_ = std::make_unique<QSocketNotifier>(watcher_->descriptor(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readEvents(); });
        coalescer_.start();
        monitor_.isStarted_ = true;
        // Nothing tells what changed before the watches were in place, nor in a folder left unwatched.
        if (rescanAtStart || !watcher_->watchesEveryFolder()) {
            coalescer_.schedule(VeltoFolderChangeNotification::fullRescan());
        }
    }

    void stop() {
        stopped_ = true;
        coalescer_.stop();
        monitor_.generation_ = coalescer_.generation();
        monitor_.isStarted_ = false;
        latencyWorkItem_.reset();
        gathered_ = {};
        notifier_.reset();
        watcher_.reset();
    }

private:
    void readEvents() {
        InotifyWatcher::Batch batch = watcher_->readAvailableEvents();
        gathered_.requiresFullRescan = gathered_.requiresFullRescan || batch.requiresFullRescan;
        gathered_.changedPaths.insert(gathered_.changedPaths.end(), batch.changedPaths.begin(),
                                      batch.changedPaths.end());
        if (watcher_->hasLostFolder()) {
            monitor_.lostFolder_ = true;
            notifier_.reset(); // the descriptor reports nothing more about the folder
        }
        if (latencyWorkItem_ == nullptr) {
            latencyWorkItem_ = qtScheduler().schedule(VeltoFolderMonitor::latency, [this] { reportGathered(); });
        }
    }

    void reportGathered() {
        InotifyWatcher::Batch batch = std::exchange(gathered_, {});
        latencyWorkItem_.reset();
        if (batch.requiresFullRescan) {
            coalescer_.schedule(VeltoFolderChangeNotification::fullRescan());
            return;
        }
        std::set<std::string> relativePaths;
        std::sort(batch.changedPaths.begin(), batch.changedPaths.end());
        batch.changedPaths.erase(std::unique(batch.changedPaths.begin(), batch.changedPaths.end()),
                                 batch.changedPaths.end());
        for (const std::filesystem::path &path : batch.changedPaths) {
            std::optional<std::string> relative = VeltoFolderMonitor::relativeMarkdownPath(path, watcher_->folder());
            if (!relative.has_value()) {
                continue;
            }
            std::optional<FileStatus> current;
            try {
                current = defaultFileSystem().status(path, false);
            } catch (const std::exception &) {
                relativePaths.insert(*relative); // unreadable now: let the load find out
                continue;
            }
            if (monitor_.ownChanges_.isBeingReplaced(path)) {
                gathered_.changedPaths.push_back(path); // told once this process's replacement has ended
                continue;
            }
            if (!monitor_.ownChanges_.isAsLeftByThisProcess(path, current)) {
                monitor_.ownChanges_.forgetFile(path);
                relativePaths.insert(*relative);
            }
        }
        if (!relativePaths.empty()) {
            coalescer_.schedule(VeltoFolderChangeNotification::paths(std::move(relativePaths)));
        }
        if (!gathered_.changedPaths.empty() && latencyWorkItem_ == nullptr) {
            latencyWorkItem_ = qtScheduler().schedule(VeltoFolderMonitor::latency, [this] { reportGathered(); });
        }
    }

    VeltoFolderMonitor &monitor_;
    VeltoFolderChangeCoalescer coalescer_;
    std::unique_ptr<InotifyWatcher> watcher_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<VeltoScheduledAction> latencyWorkItem_;
    InotifyWatcher::Batch gathered_;
    bool stopped_ = false;
};

std::unique_ptr<VeltoFolderMonitor>
VeltoFolderMonitor::make(const std::filesystem::path &folderURL,
                         const std::optional<VeltoLibraryReconciliationCheckpoint> & /*checkpoint*/,
                         VeltoOwnFileChanges &ownChanges) {
    // The folder itself, not what a link there points to, must be there to be watched.
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(folderURL, error);
    if (error || status.type() == std::filesystem::file_type::not_found) {
        return nullptr;
    }
    return std::unique_ptr<VeltoFolderMonitor>(new VeltoFolderMonitor(folderURL, ownChanges));
}

VeltoFolderMonitor::VeltoFolderMonitor(std::filesystem::path folderURL, VeltoOwnFileChanges &ownChanges)
    : folderURL_(std::move(folderURL))
    , ownChanges_(ownChanges) {
    thread_.setObjectName("com.quorvane.velto.folder-monitor");
    queue_ = new FolderMonitorQueue(*this);
    queue_->moveToThread(&thread_);
    thread_.start();
}

VeltoFolderMonitor::~VeltoFolderMonitor() {
    stop();
    thread_.quit();
    thread_.wait();
    delete queue_;
}

void VeltoFolderMonitor::start(OnChange onChange) {
    if (onChange_ == nullptr) {
        onChange_ = std::move(onChange);
    }
    QMetaObject::invokeMethod(
        queue_, [queue = queue_] { queue->start(true); }, Qt::QueuedConnection);
}

void VeltoFolderMonitor::startWatchingNow(OnChange onChange) {
    if (onChange_ == nullptr) {
        onChange_ = std::move(onChange);
    }
    QMetaObject::invokeMethod(
        queue_, [queue = queue_] { queue->start(false); }, Qt::BlockingQueuedConnection);
}

void VeltoFolderMonitor::stop() {
    if (thread_.isRunning()) {
        QMetaObject::invokeMethod(
            queue_, [queue = queue_] { queue->stop(); }, Qt::BlockingQueuedConnection);
    }
    onChange_ = nullptr;
}

void VeltoFolderMonitor::deliver(const VeltoFolderChangeNotification &notification, std::uint64_t generation) {
    // On the monitor's thread: hand over to the starting thread, where a stop in between drops the delivery.
    QMetaObject::invokeMethod(
        &deliveryContext_,
        [this, notification, generation] {
            if (isStarted_ && generation_ == generation && onChange_) {
                OnChange handler = onChange_; // the handler may stop this monitor
                handler(notification);
            }
        },
        Qt::QueuedConnection);
}

VeltoFolderChangeNotification
VeltoFolderMonitor::replayChanges(const std::filesystem::path &folderURL,
                                  const VeltoLibraryReconciliationCheckpoint &checkpoint) {
    return VeltoPageLibrary::replayFolderChanges(folderURL, checkpoint);
}

std::optional<std::string> VeltoFolderMonitor::relativeMarkdownPath(const std::filesystem::path &reportedPath,
                                                                    const std::filesystem::path &resolvedFolder) {
    std::filesystem::path file = reportedPath.lexically_normal();
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension != ".md") {
        return std::nullopt;
    }
    std::string folderText = resolvedFolder.lexically_normal().string();
    while (folderText.size() > 1 && folderText.back() == '/') {
        folderText.pop_back();
    }
    std::string fileText = file.string();
    std::string prefix = folderText == "/" ? folderText : folderText + "/";
    if (fileText.size() <= prefix.size() || fileText.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    return fileText.substr(prefix.size());
}

} // namespace velto
