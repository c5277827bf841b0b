#pragma once

#include "editor/TextAttributes.h"

#include <cstddef>
#include <vector>

namespace velto::editor {

/// One attribute run of a text storage: where it starts and its attributes; it ends where the next
/// run starts (the last one at the end of the text).
struct StoredRun {
    std::size_t start = 0;
    Attributes attributes;
};

/// The runs of a text storage in a gap buffer. A styling pass sweeps the text from start to end once
/// per pattern, splitting and merging runs as it goes; keeping the free space where the last change
/// happened makes each of those changes cost the distance from the previous one instead of the
/// number of runs after it.
///
/// The runs after the gap keep their starts as they were when they last crossed it, plus one shift
/// shared by all of them: an edit of the text moves every later run by changing that one number,
/// so typing costs nothing per run after the caret.
class AttributeRunBuffer {
public:
    std::size_t size() const { return buffer_.size() - gapLength(); }
    bool empty() const { return size() == 0; }

    std::size_t start(std::size_t index) const {
        return index < gapBegin_
                   ? buffer_[index].start
                   : static_cast<std::size_t>(static_cast<std::ptrdiff_t>(buffer_[index + gapLength()].start) +
                                              shiftAfterGap_);
    }
    void setStart(std::size_t index, std::size_t start);
    const Attributes &attributes(std::size_t index) const { return buffer_[physical(index)].attributes; }
    Attributes &attributes(std::size_t index) { return buffer_[physical(index)].attributes; }
    /// The run with its true start.
    StoredRun run(std::size_t index) const { return StoredRun{start(index), attributes(index)}; }

    /// The index of the last run starting at or before the position (0 when empty).
    std::size_t indexContaining(std::size_t position) const;

    void insert(std::size_t index, StoredRun run);
    void erase(std::size_t index, std::size_t count);
    /// Adds `delta` to the start of every run from `index` on.
    void shiftStarts(std::size_t index, std::ptrdiff_t delta);
    void clear();

private:
    std::size_t gapLength() const { return gapEnd_ - gapBegin_; }
    std::size_t physical(std::size_t index) const { return index < gapBegin_ ? index : index + gapLength(); }
    void moveGap(std::size_t index);
    void grow();

    std::vector<StoredRun> buffer_;
    std::size_t gapBegin_ = 0;
    std::size_t gapEnd_ = 0;
    std::ptrdiff_t shiftAfterGap_ = 0; // added to the stored start of every run after the gap
    mutable std::size_t lastFound_ = 0;
};

} // namespace velto::editor
