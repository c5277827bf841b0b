#pragma once

#include "editor/editing/EditingTarget.h"

#include <optional>
#include <string>
#include <string_view>

// What Paste does in the editor. Multi-line text pasted into a fenced code block is re-indented to the
// editor's step; an address pasted over a selection outside fenced code turns the selection into a
// Markdown link; anything else is pasted as plain text. Pasted CRLF and lone CR become LF, so that a
// paste never changes the page file's line ending; the page's own characters stay as they are.
namespace velto::editor::PasteRules {

/// What the clipboard offers a paste.
struct ClipboardTexts {
    std::optional<std::u16string> addressText;  // the clipboard's address type (the first entry of a URI list)
    std::optional<std::u16string> plainText;    // the plain-text type, exactly as stored
    std::optional<std::u16string> readableText; // the best text of any type (plain, else rich text, HTML, URIs)
};

/// The text with CRLF and lone CR turned into LF.
std::u16string normalizingLineEnds(std::u16string_view text);

/// Paste at the target's selection. True when the owner should interpret the pasted Markdown: a code or
/// link paste was attempted, or an ordinary paste changed the text.
bool paste(EditingTarget &target, const ClipboardTexts &clipboard);

/// Paste and Match Style, and the primary selection's middle-click paste: the text as plain text over
/// the selection, no rule applied. True when the text changed.
bool pastePlainText(EditingTarget &target, std::u16string_view text);

} // namespace velto::editor::PasteRules
