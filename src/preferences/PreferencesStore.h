#pragma once

#include "preferences/DefaultsDomain.h"
#include "preferences/NotificationCenter.h"

#include <functional>
#include <memory>
#include <mutex>

namespace velto {

/// Pairs the defaults domain with the notification centre and decides when "VeltoPreferencesDidChange"
/// is posted: at once for a write outside a batch, once at the end of the outermost batch otherwise.
class PreferencesStore {
public:
    PreferencesStore(std::unique_ptr<DefaultsDomain> defaults, VeltoNotificationCenter &notificationCenter);

    /// The shared store: the standard domain and the default centre, created on first use.
    static PreferencesStore &standard();

    DefaultsDomain &defaults() { return *defaults_; }
    VeltoNotificationCenter &notificationCenter() { return notificationCenter_; }

    /// Announces that a preference was written: posts now, or marks the change pending inside a batch.
    void notifyChange();

    /// Runs body as one batch; observers hear of its writes once, after the outermost batch has ended
    /// (also when body throws).
    void performBatch(const std::function<void()> &body);

private:
    void postChange();

    std::unique_ptr<DefaultsDomain> defaults_;
    VeltoNotificationCenter &notificationCenter_;
    // Held for the whole body of a batch, so a writer on another thread waits for the batch to end.
    std::recursive_mutex lock_;
    int batchDepth_ = 0;
    bool hasPendingChange_ = false;
};

} // namespace velto
