#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstddef>

namespace velto::editor {

/// How far the full pass's searches that start before a cut candidate can read past it: the end of
/// every unit (or place between units) that any attempt of any of its patterns, started in
/// `attemptsFrom` before the candidate, inspects. Nothing there or beyond it changes what those
/// attempts find, so text edited beyond it changes no match they make.
///
/// The candidate is a line's letter after a blank (LineCutPoints::isCandidate), which stops every
/// pattern anchored at a line start, every bare address and every list or rule marker. What can read
/// further are the delimited patterns (their content runs to the next "*", "_" or "~"), and links
/// (a label runs to the next "]", a destination to the next ")" no backslash precedes), so each of
/// these counts only when its opening unit occurs in `attemptsFrom` before the candidate. Every
/// search stays within the line-feed line, whose end (its line feed included) is `lineEnd`.
std::size_t markdownPatternReach(const TextStorage &storage, std::size_t candidate, std::size_t attemptsFrom,
                                 std::size_t lineEnd);

} // namespace velto::editor
