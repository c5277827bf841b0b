#pragma once

#include "model/LineDiff.h"

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// Gives each distinct line one number, so that a line difference compares integers instead of texts.
///
/// Lines are told apart by their NFC form, so canonically equivalent lines ("é" as one code point or as "e"
/// and a combining accent) share a number. Keys are views: ASCII lines (their own NFC form) point into the
/// caller's text, which must outlive the numbering; other lines keep their NFC form here.
class LineNumbering {
public:
    /// Room for `maximumDistinctLines` without growing.
    explicit LineNumbering(std::size_t maximumDistinctLines);

    std::vector<LineNumber> numbersOf(const std::vector<std::string_view> &lines);

    /// Whether every line numbered so far was in NFC already, so that equal numbers mean equal bytes.
    bool everyLineIsNFC() const { return everyLineIsNFC_; }

private:
    struct Slot {
        std::uint32_t hash = 0;
        LineNumber numberPlusOne = 0; // 0 marks an empty slot
    };

    LineNumber numberOf(std::string_view line);
    /// The key's number and whether it was given just now.
    std::pair<LineNumber, bool> lookUp(std::string_view key);
    void grow();

    // Open addressing with linear probing: far fewer allocations and cache misses than a node-based map,
    // which matters when a megabyte of page text is numbered on every merge.
    std::vector<Slot> slots_;
    std::size_t mask_ = 0;
    std::vector<std::string_view> keys_;      // by number
    std::deque<std::string> normalisedLines_; // NFC forms of non-ASCII keys; a deque keeps them in place
    bool everyLineIsNFC_ = true;
};

} // namespace velto
