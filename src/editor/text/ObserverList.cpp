#include "editor/text/ObserverList.h"

#include <algorithm>

namespace velto::editor {

void ObserverSlots::remove(void *observer) {
    const auto found = std::find(observers_.begin(), observers_.end(), observer);
    if (found == observers_.end()) {
        return;
    }
    if (notifying_ > 0) {
        *found = nullptr;
        hasEmptySlots_ = true;
        return;
    }
    observers_.erase(found);
}

void ObserverSlots::endNotifying() {
    if (--notifying_ > 0 || !hasEmptySlots_) {
        return;
    }
    std::erase(observers_, nullptr);
    hasEmptySlots_ = false;
}

} // namespace velto::editor
