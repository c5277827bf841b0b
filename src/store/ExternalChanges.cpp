#include "store/ExternalChanges.h"

#include "model/ReloadError.h"
#include "store/Store.h"

namespace velto {

bool VeltoExternalChanges::isTemporaryUnavailability(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const VeltoReloadError &reloadError) {
        return reloadError.kind() == VeltoReloadError::Kind::temporarilyUnavailable;
    } catch (...) {
        return false;
    }
}

VeltoExternalChanges::VeltoExternalChanges(VeltoStore &store, VeltoScheduler &scheduler)
    : store_(store)
    , scheduler_(scheduler) {}

VeltoExternalChanges::~VeltoExternalChanges() {
    cancellation_.cancel();
}

void VeltoExternalChanges::startMonitoring(const std::filesystem::path &folderURL) {
    folderMonitor_.reset(); // stops the old monitor before the new one watches
    // The manifest's checkpoint is not read: Linux keeps no event history to resume from, so every start
    // begins with a full rescan whatever the checkpoint says.
    folderMonitor_ = VeltoFolderMonitor::make(folderURL, std::nullopt);
    if (folderMonitor_ == nullptr) {
        return; // no folder yet; the first successful save starts monitoring
    }
    // The monitor delivers nothing once it is destroyed, and it goes with this object.
    folderMonitor_->start([this](const VeltoFolderChangeNotification &notification) { request(notification); });
}

void VeltoExternalChanges::takeOverMonitoring(VeltoFolderWatchBeforeLoad &watch) {
    folderMonitor_.reset();
    folderMonitor_ =
        watch.takeOver([this](const VeltoFolderChangeNotification &notification) { request(notification); });
}

void VeltoExternalChanges::request(const VeltoFolderChangeNotification &notification) {
    if (const std::set<std::string> *paths = notification.changedPaths()) {
        request(*paths);
    } else {
        request(std::nullopt);
    }
}

void VeltoExternalChanges::resumeMonitoringIfLost(const std::filesystem::path &folderURL) {
    // A monitor whose folder went (and was made again by a save) watches nothing: it counts as none.
    if (!isMonitoring()) {
        startMonitoring(folderURL);
    }
}

void VeltoExternalChanges::request(const std::optional<std::set<std::string>> &changedRelativePaths) {
    if (requests_.add(changedRelativePaths)) {
        runRefreshLoop(); // runs on by itself; it ends when no follow-up is asked for
    }
}

QCoro::Task<void> VeltoExternalChanges::runRefreshLoop() {
    const VeltoSessionTicket ticket = store_.session_.ticket();
    CancellationToken cancellation = cancellation_;
    while (true) {
        std::optional<std::set<std::string>> paths = requests_.take();
        std::exception_ptr error;
        try {
            store_.throwSaveFailureAwaitingRetry();
            QCoro::Task<void> reloading = reload(false, paths);
            co_await reloading;
        } catch (...) {
            error = std::current_exception();
        }
        if (!ticket.storeIsAlive()) {
            co_return;
        }
        bool waitForAvailability = false;
        if (error) {
            store_.noteRefreshFailure(error);
            waitForAvailability = isTemporaryUnavailability(error);
        }
        if (waitForAvailability) {
            requests_.giveBack(paths);
            QCoro::Task<bool> sleeping = sleepFor(scheduler_, unavailableRetryDelay, cancellation);
            bool slept = co_await sleeping;
            if (!ticket.storeIsAlive()) {
                co_return;
            }
            if (!slept) {
                break; // the request given back stays pending for the next refresh
            }
            requests_.askForFollowUp();
        }
        if (!requests_.needsFollowUp() || cancellation.isCancelled()) {
            break;
        }
    }
    requests_.finish();
}

QCoro::Task<void> VeltoExternalChanges::reload(bool applyAutoArchive,
                                               std::optional<std::set<std::string>> changedRelativePaths) {
    VeltoSessionTicket ticket = store_.session_.ticket();
    while (true) {
        co_await store_.flush();
        if (!ticket.stillCurrent()) {
            co_return; // another library session began
        }
        if (store_.hasOutstandingSave()) {
            continue; // edited while the flush waited: that edit is saved too before anything is loaded
        }
        std::uint64_t mutationRevision = store_.mutations().revision;
        // Started outside co_await: GCC 12 destroys argument temporaries of a co_await expression twice.
        QCoro::Task<VeltoLibraryLoadResult> loading =
            changedRelativePaths.has_value()
                ? store_.incrementalLoadOperation_(ticket.folderURL(), store_.documentToReuse(), *changedRelativePaths)
                : store_.loadOperation_(ticket.folderURL());
        VeltoLibraryLoadResult result = co_await loading;
        if (!ticket.stillCurrent()) {
            co_return;
        }
        if (store_.mutations().revision == mutationRevision) {
            store_.askEditorForPendingText();
        }
        if (store_.mutations().revision == mutationRevision) {
            store_.applyReload(std::move(result), changedRelativePaths);
            if (applyAutoArchive) {
                QCoro::Task<int> archiving = store_.autoArchiveEligiblePages(store_.now());
                co_await archiving;
            }
            co_return;
        }
        // Edited while the load ran: the loaded files are older than the document. Save, then load again.
        ticket = store_.session_.ticket();
    }
}

QCoro::Task<std::set<Uuid>> VeltoExternalChanges::refreshPages(std::set<Uuid> pageIDs) {
    const VeltoSessionTicket ticket = store_.session_.ticket();
    std::set<Uuid> refreshed;
    for (const Uuid &pageID : pageIDs) {
        const VeltoPage *held = findPage(store_.document(), pageID);
        if (held == nullptr) {
            continue;
        }
        std::uint64_t saveCountBeforeRead = store_.pageSaveCount(pageID);
        // Read off the main thread: the shared lock may wait for another process's save.
        std::optional<VeltoPage> latest;
        std::exception_ptr error;
        try {
            QCoro::Task<std::optional<VeltoPage>> reading = store_.latestPageLoadOperation_(*held, ticket.folderURL());
            latest = co_await reading;
        } catch (...) {
            error = std::current_exception();
        }
        if (!ticket.stillCurrent()) {
            co_return refreshed;
        }
        if (error) {
            store_.noteRefreshFailure(error);
            continue;
        }
        if (store_.pageSaveCount(pageID) != saveCountBeforeRead) {
            continue; // a save of this page finished while it was read: the text read may be older than it
        }
        if (store_.takeLatestPage(pageID, latest)) {
            refreshed.insert(pageID);
        }
    }
    co_return refreshed;
}

} // namespace velto
