#include "editor/AttributeRunBuffer.h"

#include <algorithm>
#include <utility>

namespace velto::editor {

namespace {

/// A run that holds no attribute set (a moved-from one), which is what the gap's slots hold: copying
/// it touches no reference count, so making and clearing gap slots costs almost nothing.
const StoredRun &hollowRun() {
    static const StoredRun hollow = [] {
        StoredRun run;
        StoredRun taken = std::move(run);
        return run;
    }();
    return hollow;
}

std::size_t shifted(std::size_t start, std::ptrdiff_t delta) {
    return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(start) + delta);
}

} // namespace


void AttributeRunBuffer::setStart(std::size_t index, std::size_t start) {
    if (index < gapBegin_) {
        buffer_[index].start = start;
    } else {
        buffer_[index + gapLength()].start = shifted(start, -shiftAfterGap_);
    }
}

std::size_t AttributeRunBuffer::indexContaining(std::size_t position) const {
    const std::size_t count = size();
    // Find the first run starting after the position; the one before it contains the position.
    // Passes walk the text forwards, so the answer usually lies a little after the run found last:
    // gallop forwards from there before searching the bracket found.
    std::size_t low = 0;
    std::size_t high = count;
    if (lastFound_ < count && start(lastFound_) <= position) {
        std::size_t known = lastFound_; // a run starting at or before the position
        std::size_t step = 1;
        while (known + step < count && start(known + step) <= position) {
            known += step;
            step *= 2;
        }
        low = known + 1;
        high = std::min(known + step, count);
    }
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (start(middle) <= position) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    lastFound_ = low == 0 ? 0 : low - 1;
    return lastFound_;
}

void AttributeRunBuffer::moveGap(std::size_t index) {
    // Runs that cross the gap take on or give up the shift of the runs after it.
    const std::size_t gap = gapLength();
    if (index < gapBegin_) {
        for (std::size_t k = gapBegin_; k > index; --k) {
            StoredRun &moved = buffer_[k - 1 + gap];
            moved = std::move(buffer_[k - 1]);
            moved.start = shifted(moved.start, -shiftAfterGap_);
        }
    } else {
        for (std::size_t k = gapBegin_; k < index; ++k) {
            StoredRun &moved = buffer_[k];
            moved = std::move(buffer_[k + gap]);
            moved.start = shifted(moved.start, shiftAfterGap_);
        }
    }
    gapBegin_ = index;
    gapEnd_ = index + gap;
}

void AttributeRunBuffer::grow() {
    // A quarter more each time keeps insertions cheap on average without doubling a large page's
    // runs in memory.
    const std::size_t added = std::max<std::size_t>(16, size() / 4);
    const std::size_t gap = gapLength() + added;
    std::vector<StoredRun> grown;
    grown.reserve(buffer_.size() + added);
    for (std::size_t k = 0; k < gapBegin_; ++k) {
        grown.push_back(std::move(buffer_[k]));
    }
    grown.insert(grown.end(), gap, hollowRun());
    for (std::size_t k = gapEnd_; k < buffer_.size(); ++k) {
        grown.push_back(std::move(buffer_[k]));
    }
    buffer_ = std::move(grown);
    gapEnd_ = gapBegin_ + gap;
}

void AttributeRunBuffer::insert(std::size_t index, StoredRun run) {
    moveGap(index);
    if (gapLength() == 0) {
        grow();
    }
    buffer_[gapBegin_++] = std::move(run);
}

void AttributeRunBuffer::erase(std::size_t index, std::size_t count) {
    if (count == 0) {
        return;
    }
    moveGap(index);
    for (std::size_t k = gapEnd_; k < gapEnd_ + count; ++k) {
        buffer_[k] = hollowRun(); // let go of the attribute set now
    }
    gapEnd_ += count;
}

void AttributeRunBuffer::shiftStarts(std::size_t index, std::ptrdiff_t delta) {
    if (delta == 0 || index >= size()) {
        return;
    }
    moveGap(index);
    shiftAfterGap_ += delta;
}

void AttributeRunBuffer::clear() {
    buffer_.clear();
    gapBegin_ = 0;
    gapEnd_ = 0;
    shiftAfterGap_ = 0;
}

} // namespace velto::editor
