#include "editor/AttributeRunBuffer.h"

#include <utility>

namespace velto::editor {

std::size_t AttributeRunBuffer::indexContaining(std::size_t position) const {
    // Passes walk the text forwards: the run found last, or the one after it, is usually the answer.
    const std::size_t count = size();
    for (std::size_t candidate = lastFound_; candidate < count && candidate <= lastFound_ + 1; ++candidate) {
        if ((*this)[candidate].start <= position &&
            (candidate + 1 == count || (*this)[candidate + 1].start > position)) {
            lastFound_ = candidate;
            return candidate;
        }
    }
    std::size_t low = 0;
    std::size_t high = size();
    // Find the first run starting after the position; the one before it contains the position.
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if ((*this)[middle].start <= position) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    lastFound_ = low == 0 ? 0 : low - 1;
    return lastFound_;
}

void AttributeRunBuffer::moveGap(std::size_t index) {
    const std::size_t gap = gapLength();
    if (index < gapBegin_) {
        for (std::size_t k = gapBegin_; k > index; --k) {
            buffer_[k - 1 + gap] = std::move(buffer_[k - 1]);
        }
    } else {
        for (std::size_t k = gapBegin_; k < index; ++k) {
            buffer_[k] = std::move(buffer_[k + gap]);
        }
    }
    gapBegin_ = index;
    gapEnd_ = index + gap;
}

void AttributeRunBuffer::grow() {
    const std::size_t count = size();
    const std::size_t newGap = count < 16 ? 16 : count;
    std::vector<StoredRun> grown(count + newGap);
    for (std::size_t k = 0; k < gapBegin_; ++k) {
        grown[k] = std::move(buffer_[k]);
    }
    for (std::size_t k = gapEnd_; k < buffer_.size(); ++k) {
        grown[k + newGap] = std::move(buffer_[k]);
    }
    buffer_ = std::move(grown);
    gapEnd_ = gapBegin_ + newGap;
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
        buffer_[k] = StoredRun{}; // let go of the attribute set now
    }
    gapEnd_ += count;
}

void AttributeRunBuffer::shiftStarts(std::size_t index, std::ptrdiff_t delta) {
    if (delta == 0) {
        return;
    }
    const std::size_t count = size();
    for (std::size_t k = index; k < count; ++k) {
        StoredRun &run = (*this)[k];
        run.start = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(run.start) + delta);
    }
}

void AttributeRunBuffer::clear() {
    buffer_.clear();
    gapBegin_ = 0;
    gapEnd_ = 0;
}

} // namespace velto::editor
