#include "platform/desktop/Cancellation.h"

#include <utility>

namespace velto {

CancellationToken::CancellationToken()
    : shared_(std::make_shared<Shared>()) {}

void CancellationToken::cancel() const {
    std::map<CallbackId, std::function<void()>> callbacks;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->cancelled.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        callbacks.swap(shared_->callbacks);
    }
    // Outside the lock: a callback may take locks of its own that other threads hold while they
    // register or remove callbacks.
    for (auto &[id, callback] : callbacks) {
        callback();
    }
}

void CancellationToken::throwIfCancelled() const {
    if (isCancelled()) {
        throw CancellationError();
    }
}

CancellationToken::CallbackId CancellationToken::onCancel(std::function<void()> callback) const {
    CallbackId id = 0;
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->cancelled.load(std::memory_order_acquire)) {
            id = shared_->nextId++;
            shared_->callbacks.emplace(id, std::move(callback));
            return id;
        }
    }
    callback();
    return id;
}

void CancellationToken::removeCallback(CallbackId id) const {
    std::lock_guard lock(shared_->mutex);
    shared_->callbacks.erase(id);
}

} // namespace velto
