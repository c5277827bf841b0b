#pragma once

#include <string_view>

// A temporary file beside a page's file may be the only copy of someone's words (another program's file that a
// replacement swapped out, the text of a write that never finished): it goes only when every line it holds is in the
// page's file, and is kept otherwise.
namespace VeltoPageLibrary {

/// Whether `text` holds a line that `pageText` lacks; empty lines carry no one's words and count for nothing, and a
/// line break is a line break with or without "\r". With `lastLineMayBeCutShort`, for the file of a write that a kill
/// may have cut off anywhere, a last line without its line break is a torn piece of a line, no line the page lacks,
/// when the page's text ends with a line break or the piece begins one of the page's lines.
bool holdsLinesThePageLacks(std::string_view text, std::string_view pageText, bool lastLineMayBeCutShort);

} // namespace VeltoPageLibrary
