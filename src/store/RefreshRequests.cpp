#include "store/RefreshRequests.h"

namespace velto {

bool VeltoRefreshRequests::add(const std::optional<std::set<std::string>> &changedRelativePaths) {
    giveBack(changedRelativePaths);
    if (running_) {
        needsFollowUp_ = true;
        return false;
    }
    running_ = true;
    return true;
}

std::optional<std::set<std::string>> VeltoRefreshRequests::take() {
    needsFollowUp_ = false;
    std::optional<std::set<std::string>> taken;
    if (!requiresWholeLibrary_) {
        taken = std::move(changedRelativePaths_);
    }
    requiresWholeLibrary_ = false;
    changedRelativePaths_.clear();
    return taken;
}

void VeltoRefreshRequests::giveBack(const std::optional<std::set<std::string>> &changedRelativePaths) {
    if (changedRelativePaths.has_value()) {
        changedRelativePaths_.insert(changedRelativePaths->begin(), changedRelativePaths->end());
    } else {
        requiresWholeLibrary_ = true;
    }
}

void VeltoRefreshRequests::clear() {
    needsFollowUp_ = false;
    changedRelativePaths_.clear();
    requiresWholeLibrary_ = false;
}

} // namespace velto
