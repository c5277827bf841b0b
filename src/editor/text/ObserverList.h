#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

// Observers of the editor's text and editing: a list that tells them in the order they subscribed, and a
// subscription that takes its observer off the list when it goes, so that no one has to clear a hook by
// hand before it is destroyed.
namespace velto::editor {

/// The observers of one list, shared with their subscriptions so that a subscription that outlives the
/// list ends without touching it.
class ObserverSlots {
public:
    void add(void *observer) { observers_.push_back(observer); }
    /// Takes the observer off. During a notification its slot is only emptied, so that the notification
    /// walks on over the same indices; the empty slots go when the outermost notification ends.
    void remove(void *observer);

    std::size_t size() const { return observers_.size(); }
    void *at(std::size_t index) const { return observers_[index]; }

    /// Counts notifications in progress (an observer may cause another one).
    void beginNotifying() { ++notifying_; }
    void endNotifying();

private:
    std::vector<void *> observers_; // in the order they subscribed; null where one left during a notification
    int notifying_ = 0;
    bool hasEmptySlots_ = false;
};

/// An observer's place on a list: while it lives, the observer is told; when it goes (or ends), the observer
/// is taken off. A subscription moves but never copies, and may outlive its list.
class [[nodiscard]] Subscription {
public:
    Subscription() = default;
    Subscription(std::weak_ptr<ObserverSlots> observers, void *observer)
        : slots_(std::move(observers))
        , observer_(observer) {}
    Subscription(Subscription &&other) noexcept
        : slots_(std::move(other.slots_))
        , observer_(std::exchange(other.observer_, nullptr)) {}
    Subscription &operator=(Subscription &&other) noexcept {
        if (this != &other) {
            end();
            slots_ = std::move(other.slots_);
            observer_ = std::exchange(other.observer_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription &) = delete;
    Subscription &operator=(const Subscription &) = delete;
    ~Subscription() { end(); }

    /// Takes the observer off the list now; it is not told again, even by a notification in progress.
    void end() {
        if (std::shared_ptr<ObserverSlots> observers = slots_.lock()) {
            observers->remove(observer_);
        }
        slots_.reset();
        observer_ = nullptr;
    }

private:
    std::weak_ptr<ObserverSlots> slots_;
    void *observer_ = nullptr;
};

/// The observers of one kind that an object tells of its changes, in the order they subscribed. An observer
/// that subscribes during a notification is told from the next one on; one whose subscription ends during a
/// notification is not told by it any more. Telling them allocates nothing.
template <typename Observer> class ObserverList {
public:
    ObserverList() = default;
    // Observers subscribe to one object: a copy of its list would tell them of another's changes.
    ObserverList(const ObserverList &) = delete;
    ObserverList &operator=(const ObserverList &) = delete;

    Subscription subscribe(Observer &observer) {
        if (!slots_) {
            slots_ = std::make_shared<ObserverSlots>(); // made at the first subscription: most lists have none
        }
        slots_->add(&observer);
        return Subscription(slots_, &observer);
    }

    /// Calls `tell(observer)` for every observer, in the order they subscribed.
    template <typename Tell> void notify(Tell tell) {
        if (!slots_) {
            return;
        }
        ObserverSlots &observers = *slots_;
        const std::size_t count = observers.size();
        observers.beginNotifying();
        struct EndNotifying {
            ObserverSlots &observers;
            ~EndNotifying() { observers.endNotifying(); }
        } endNotifying{observers};
        for (std::size_t index = 0; index < count; ++index) {
            if (void *observer = observers.at(index)) {
                tell(*static_cast<Observer *>(observer));
            }
        }
    }

private:
    std::shared_ptr<ObserverSlots> slots_;
};

} // namespace velto::editor
