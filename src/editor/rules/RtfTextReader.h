#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velto::editor::RtfTextReader {

/// Rich text larger than this is not read (the clipboard type then counts as unreadable).
inline constexpr std::size_t maximumInputSize = 8 * 1024 * 1024;
/// Groups nested deeper than this make the rich text unreadable.
inline constexpr std::size_t maximumNesting = 512;

/// The plain text of an RTF document: paragraphs and line breaks as line feeds, tabs as tabs, "\uN"
/// characters (skipping the "\ucN" fallback characters after each), "\'hh" bytes decoded in the
/// document's code page, special characters (dashes, quotes, bullets, non-breaking space) as themselves;
/// font and colour tables, style sheets, pictures, document information and every ignorable "\*"
/// destination skipped. None when the data is no RTF document, is larger than maximumInputSize, or nests
/// deeper than maximumNesting.
std::optional<std::u16string> plainText(std::string_view rtf);

} // namespace velto::editor::RtfTextReader
