#include "support/async/ManualScheduler.h"

#include <algorithm>

namespace velto::testing {
namespace {

class ManualScheduledAction : public VeltoScheduledAction {
public:
    ManualScheduledAction(ManualScheduler &scheduler, std::shared_ptr<bool> cancelled)
        : scheduler_(scheduler)
        , cancelled_(std::move(cancelled)) {}
    ~ManualScheduledAction() override { *cancelled_ = true; }
    void cancel() override { *cancelled_ = true; }
    bool postpone(std::chrono::milliseconds delay) override { return scheduler_.postpone(cancelled_, delay); }

private:
    ManualScheduler &scheduler_;
    std::shared_ptr<bool> cancelled_;
};

} // namespace

std::unique_ptr<VeltoScheduledAction> ManualScheduler::schedule(std::chrono::milliseconds delay,
                                                                std::function<void()> action) {
    auto cancelled = std::make_shared<bool>(false);
    entries_.push_back(Entry{now_ + delay, nextOrder_++, std::move(action), cancelled});
    return std::make_unique<ManualScheduledAction>(*this, cancelled);
}

void ManualScheduler::advance(std::chrono::milliseconds interval) {
    const std::chrono::milliseconds target = now_ + interval;
    while (true) {
        std::erase_if(entries_, [](const Entry &entry) { return *entry.cancelled; });
        auto next = std::min_element(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
            return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
        if (next == entries_.end() || next->due > target) {
            break;
        }
        now_ = std::max(now_, next->due);
        Entry entry = std::move(*next);
        entries_.erase(next);
        *entry.cancelled = true;
        entry.action();
    }
    now_ = target;
}

bool ManualScheduler::postpone(const std::shared_ptr<bool> &cancelled, std::chrono::milliseconds delay) {
    if (*cancelled) {
        return false;
    }
    auto entry = std::find_if(entries_.begin(), entries_.end(),
                              [&cancelled](const Entry &waiting) { return waiting.cancelled == cancelled; });
    if (entry == entries_.end()) {
        return false;
    }
    // Ordered as if scheduled now, as a cancelled action scheduled anew would be.
    entry->due = now_ + delay;
    entry->order = nextOrder_++;
    ++postponedCount_;
    return true;
}

std::size_t ManualScheduler::pendingCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const Entry &entry) { return !*entry.cancelled; }));
}

} // namespace velto::testing
