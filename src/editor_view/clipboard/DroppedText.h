#pragma once

#include <QString>

#include <optional>
#include <string>

class QMimeData;

namespace velto::editor {

/// Plain text from outside the page as the page takes it: CRLF and lone CR become LF, so that a paste
/// or a drop never changes the page file's line ending, and lone surrogates become U+FFFD.
std::u16string insertableText(const QString &text);

/// The text a drop brings, made insertable; nothing when the drop carries no plain text.
std::optional<std::u16string> droppedText(const QMimeData &data);

} // namespace velto::editor
