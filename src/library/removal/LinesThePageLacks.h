#pragma once

#include <string_view>

// A temporary file beside a page's file may be the only copy of someone's words (another program's file that a
// replacement swapped out, the text of a write that never finished): it goes only when the page's file holds every
// line of it, and is kept otherwise.
namespace VeltoPageLibrary {

/// Whether `text` holds a line that `pageText` lacks. The page holds the text's lines only when they are its lines in
/// the same order (with lines of its own between them), each as often as the text has it: a second "item one" is a
/// line the page lacks although it has one, and so is a line that the page holds only above the text's earlier
/// lines. Empty lines carry no one's words and count for nothing, and a line break is a line break with or without
/// "\r". With `lastLineMayBeCutShort`, for the file of a write that a kill may have cut off anywhere, a last line
/// without its line break may be a torn piece of a line: it is held only where a line of the page, after the text's
/// other lines, begins with it. Typed text usually ends without a line break, so a complete last line is never taken
/// for torn just because the page ends with a line break. Linear in the size of both texts.
bool holdsLinesThePageLacks(std::string_view text, std::string_view pageText, bool lastLineMayBeCutShort);

} // namespace VeltoPageLibrary
