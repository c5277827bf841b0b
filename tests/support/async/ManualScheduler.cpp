#include "support/async/ManualScheduler.h"

#include <algorithm>

namespace velto::testing {
namespace {

class ManualScheduledAction : public VeltoScheduledAction {
public:
    explicit ManualScheduledAction(std::shared_ptr<bool> cancelled)
        : cancelled_(std::move(cancelled)) {}
    ~ManualScheduledAction() override { *cancelled_ = true; }
    void cancel() override { *cancelled_ = true; }

private:
    std::shared_ptr<bool> cancelled_;
};

} // namespace

std::unique_ptr<VeltoScheduledAction> ManualScheduler::schedule(std::chrono::milliseconds delay,
                                                                std::function<void()> action) {
    auto cancelled = std::make_shared<bool>(false);
    entries_.push_back(Entry{now_ + delay, nextOrder_++, std::move(action), cancelled});
    return std::make_unique<ManualScheduledAction>(cancelled);
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

std::size_t ManualScheduler::pendingCount() const {
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(), [](const Entry &entry) { return !*entry.cancelled; }));
}

} // namespace velto::testing
