#include "store/FolderWatchBeforeLoad.h"

#include <utility>

namespace velto {

std::shared_ptr<VeltoFolderWatchBeforeLoad> VeltoFolderWatchBeforeLoad::begin(const std::filesystem::path &folderURL) {
    std::unique_ptr<VeltoFolderMonitor> monitor = VeltoFolderMonitor::make(folderURL, std::nullopt);
    if (monitor == nullptr) {
        return nullptr;
    }
    return std::shared_ptr<VeltoFolderWatchBeforeLoad>(new VeltoFolderWatchBeforeLoad(std::move(monitor)));
}

VeltoFolderWatchBeforeLoad::VeltoFolderWatchBeforeLoad(std::unique_ptr<VeltoFolderMonitor> monitor)
    : folderURL_(monitor->folderURL())
    , monitor_(std::move(monitor)) {
    // The relay is shared with the handler, which goes with the monitor to its new owner.
    monitor_->startWatchingNow([relay = relay_](const VeltoFolderChangeNotification &notification) {
        if (relay->receiver) {
            relay->receiver(notification);
        } else {
            relay->held.push_back(notification);
        }
    });
}

std::unique_ptr<VeltoFolderMonitor> VeltoFolderWatchBeforeLoad::takeOver(VeltoFolderMonitor::OnChange onChange) {
    for (const VeltoFolderChangeNotification &notification : std::exchange(relay_->held, {})) {
        onChange(notification);
    }
    relay_->receiver = std::move(onChange);
    return std::move(monitor_);
}

} // namespace velto
