#include "preferences/PreferencesStore.h"

namespace velto {

PreferencesStore::PreferencesStore(std::unique_ptr<DefaultsDomain> defaults,
                                   VeltoNotificationCenter &notificationCenter)
    : defaults_(std::move(defaults))
    , notificationCenter_(notificationCenter) {}

PreferencesStore &PreferencesStore::standard() {
    // Destroyed at exit, so that the domain writes what is still pending to its file.
    static PreferencesStore store{std::make_unique<DefaultsDomain>(DefaultsDomain::standardFilePath()),
                                  VeltoNotificationCenter::defaultCenter()};
    return store;
}

void PreferencesStore::notifyChange() {
    {
        std::lock_guard lock{lock_};
        if (batchDepth_ > 0) {
            hasPendingChange_ = true;
            return;
        }
    }
    postChange();
}

void PreferencesStore::performBatch(const std::function<void()> &body) {
    std::unique_lock lock{lock_};
    ++batchDepth_;
    struct BatchEnd {
        PreferencesStore &store;
        std::unique_lock<std::recursive_mutex> &lock;
        ~BatchEnd() {
            --store.batchDepth_;
            if (store.batchDepth_ == 0 && store.hasPendingChange_) {
                store.hasPendingChange_ = false;
                lock.unlock();
                store.postChange();
            }
        }
    } batchEnd{*this, lock};
    body();
}

void PreferencesStore::postChange() {
    // Observers may read, write or batch again from their handlers: the lock is never held here.
    defaults_->synchronize();
    notificationCenter_.postPreferencesDidChange();
}

} // namespace velto
