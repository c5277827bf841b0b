#include "store/FolderChangeCoalescer.h"

namespace velto {

VeltoFolderChangeCoalescer::VeltoFolderChangeCoalescer(VeltoScheduler &scheduler, std::chrono::milliseconds quietTime,
                                                       Deliver deliver)
    : scheduler_(scheduler)
    , quietTime_(quietTime)
    , deliver_(std::move(deliver)) {}

void VeltoFolderChangeCoalescer::schedule(const VeltoFolderChangeNotification &notification) {
    if (!isStarted_) {
        return;
    }
    if (const std::set<std::string> *paths = notification.changedPaths()) {
        if (pendingFullRescan_) {
            return; // the pending rescan covers these paths and keeps its time
        }
        pendingRelativePaths_.insert(paths->begin(), paths->end());
    } else {
        pendingFullRescan_ = true;
        pendingRelativePaths_.clear();
    }
    std::uint64_t generation = generation_;
    debounceWorkItem_ = scheduler_.schedule(quietTime_, [this, generation] { deliverPending(generation); });
}

void VeltoFolderChangeCoalescer::stop() {
    isStarted_ = false;
    generation_ += 1;
    debounceWorkItem_.reset();
    pendingRelativePaths_.clear();
    pendingFullRescan_ = false;
}

void VeltoFolderChangeCoalescer::deliverPending(std::uint64_t generation) {
    VeltoFolderChangeNotification notification = pendingFullRescan_
                                                     ? VeltoFolderChangeNotification::fullRescan()
                                                     : VeltoFolderChangeNotification::paths(pendingRelativePaths_);
    pendingFullRescan_ = false;
    pendingRelativePaths_.clear();
    if (deliver_) {
        deliver_(notification, generation);
    }
}

} // namespace velto
