#include "library/folder/IOObservation.h"

#include <utility>

namespace {
thread_local std::shared_ptr<VeltoLibraryIOObserver> currentObserver;
} // namespace

VeltoLibraryIOCounters VeltoLibraryIOObserver::snapshot() const {
    std::lock_guard guard(lock);
    return counters;
}

void VeltoLibraryIOObserver::update(const std::function<void(VeltoLibraryIOCounters &)> &change) {
    std::lock_guard guard(lock);
    change(counters);
}

namespace VeltoLibraryIOObservation {

std::shared_ptr<VeltoLibraryIOObserver> current() {
    return currentObserver;
}

Binding::Binding(std::shared_ptr<VeltoLibraryIOObserver> observer) {
    if (observer) {
        previous = std::exchange(currentObserver, std::move(observer));
        bound = true;
    }
}

Binding::~Binding() {
    if (bound) {
        currentObserver = std::move(previous);
    }
}

void count(const std::function<void(VeltoLibraryIOCounters &)> &change) {
    if (auto observer = currentObserver) {
        observer->update(change);
    }
}

} // namespace VeltoLibraryIOObservation
