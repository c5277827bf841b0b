#pragma once

#include "editor/rules/PasteRules.h"

#include <QtCore/QByteArray>

#include <qcoro/qcorotask.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class QMimeData;

namespace velto::editor {

/// What the clipboard held at one moment, copied out at once: the clipboard may change while rich text
/// is converted on a worker thread. A type larger than its cap is left out, as if it were not offered.
struct ClipboardSnapshot {
    static constexpr std::size_t maximumPlainTextSize = 64 * 1024 * 1024; // UTF-16 units
    static constexpr std::size_t maximumRichTextSize = 8 * 1024 * 1024;   // bytes, for RTF and for HTML
    static constexpr std::size_t maximumURIListSize = 1024 * 1024;        // bytes

    std::optional<std::u16string> plainText; // "text/plain", exactly as stored
    std::optional<QByteArray> rtf;           // "text/rtf", "application/rtf" or "text/richtext"
    std::optional<QByteArray> html;          // "text/html"
    std::vector<std::u16string> uris;        // the entries of "text/uri-list"

    static ClipboardSnapshot take(const QMimeData *data);
};

/// Clipboard text for appending to a page and for pasting: the plain text exactly as stored when there is
/// some; else the text of the rich text; else of the HTML (converted on a worker thread); else the
/// URI list's entries, one a line. A type that cannot be read gives way to the next.
namespace ClipboardTextReader {

QCoro::Task<std::optional<std::u16string>> read(ClipboardSnapshot snapshot);

/// What a paste offers the paste rules: the first URI as address, the plain text, and the best text.
QCoro::Task<PasteRules::ClipboardTexts> readForPaste(ClipboardSnapshot snapshot);

} // namespace ClipboardTextReader

} // namespace velto::editor
