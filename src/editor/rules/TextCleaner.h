#pragma once

#include <string>
#include <string_view>

namespace velto::editor::TextCleaner {

/// Tidies clipboard text before it is appended to a page: CRLF and lone CR become LF, no-break spaces
/// become spaces, spaces and tabs at the end of every line go, and runs of three or more line feeds
/// become one empty line. Leading and trailing blank lines and everything else stay.
///
/// One linear pass, so that long runs of blanks cost no more than other text.
std::u16string clean(std::u16string_view text);

} // namespace velto::editor::TextCleaner
