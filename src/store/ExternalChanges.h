#pragma once

#include "model/Document.h"
#include "platform/desktop/Cancellation.h"
#include "platform/desktop/Scheduler.h"
#include "store/FolderMonitor.h"
#include "store/FolderWatchBeforeLoad.h"
#include "store/RefreshRequests.h"

#include <qcoro/qcorotask.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace velto {

class VeltoStore;

/// Brings what other writers change in the Pages folder into the store. The folder monitor reports the
/// changed files; the requests gather while a refresh runs, and one refresh at a time loads them. Each load
/// saves what is pending first and hands the store the result, which the store takes into its document.
class VeltoExternalChanges {
public:
    /// How long a temporarily unavailable library waits before it is loaded again.
    static constexpr std::chrono::milliseconds unavailableRetryDelay{10'000};

    /// Whether a refresh failed because the library is unavailable for a while: it is loaded again later.
    static bool isTemporaryUnavailability(const std::exception_ptr &error);

    VeltoExternalChanges(VeltoStore &store, VeltoScheduler &scheduler);
    /// A refresh waiting out its retry delay ends instead of keeping its frame until the timer fires.
    ~VeltoExternalChanges();
    VeltoExternalChanges(const VeltoExternalChanges &) = delete;
    VeltoExternalChanges &operator=(const VeltoExternalChanges &) = delete;

    /// Watches the folder from now on, in place of any folder watched before; nothing when it does not exist.
    void startMonitoring(const std::filesystem::path &folderURL);
    /// Watches the folder with the monitor that has watched it since before the store's load.
    void takeOverMonitoring(VeltoFolderWatchBeforeLoad &watch);
    /// Watches the folder again when no monitor watches it: it did not exist, or went and was made again.
    void resumeMonitoringIfLost(const std::filesystem::path &folderURL);
    bool isMonitoring() const { return folderMonitor_ != nullptr && !folderMonitor_->hasLostFolder(); }
    bool isRefreshing() const { return requests_.isRunning(); }

    /// Asks for a reload of the given changed paths (relative to the Pages folder), or of the whole library.
    void request(const std::optional<std::set<std::string>> &changedRelativePaths);
    /// Forgets the requests gathered: they concerned the Pages folder of another library session.
    void forgetRequests() { requests_.clear(); }

    /// Saves what is pending, then loads the changed paths (or everything) and hands the result to the store,
    /// unless the library session changed meanwhile. Edits made while the load ran make it save and load again.
    QCoro::Task<void> reload(bool applyAutoArchive, std::optional<std::set<std::string>> changedRelativePaths);
    /// Reads the given pages' files as they are now and hands each to the store; answers the identifiers read
    /// (or found without a file).
    QCoro::Task<std::set<Uuid>> refreshPages(std::set<Uuid> pageIDs);

private:
    void request(const VeltoFolderChangeNotification &notification);
    QCoro::Task<void> runRefreshLoop();

    VeltoStore &store_;
    VeltoScheduler &scheduler_;
    std::unique_ptr<VeltoFolderMonitor> folderMonitor_;
    VeltoRefreshRequests requests_;
    CancellationToken cancellation_;
};

} // namespace velto
