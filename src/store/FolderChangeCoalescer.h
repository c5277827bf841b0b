#pragma once

#include "library/load/FolderChangeReplay.h"
#include "platform/desktop/Scheduler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace velto {

/// Folds the folder monitor's reports into one notification after a quiet time: every accepted report
/// restarts the wait, a full rescan absorbs the paths, and a stop makes any delivery already under way
/// recognisable as stale through its generation. Confined to the thread that calls it.
class VeltoFolderChangeCoalescer {
public:
    /// Called when the quiet time has passed, with the generation that was current when it was scheduled.
    using Deliver = std::function<void(const VeltoFolderChangeNotification &notification, std::uint64_t generation)>;

    VeltoFolderChangeCoalescer(VeltoScheduler &scheduler, std::chrono::milliseconds quietTime, Deliver deliver);

    void start() { isStarted_ = true; }
    bool isStarted() const { return isStarted_; }
    std::uint64_t generation() const { return generation_; }

    /// Takes one report; dropped when not started.
    void schedule(const VeltoFolderChangeNotification &notification);
    /// Forgets everything pending and raises the generation.
    void stop();

private:
    void deliverPending(std::uint64_t generation);

    VeltoScheduler &scheduler_;
    const std::chrono::milliseconds quietTime_;
    const Deliver deliver_;
    bool isStarted_ = false;
    std::uint64_t generation_ = 0;
    std::set<std::string> pendingRelativePaths_;
    bool pendingFullRescan_ = false;
    std::unique_ptr<VeltoScheduledAction> debounceWorkItem_;
};

} // namespace velto
