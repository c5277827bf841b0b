#pragma once

#include <QtCore/QByteArray>

#include <qcoro/qcorotask.h>

#include <cstddef>
#include <optional>
#include <string>

namespace velto::editor::HtmlText {

/// HTML larger than this is not read (the clipboard type then counts as unreadable).
inline constexpr std::size_t maximumInputSize = 8 * 1024 * 1024;
/// Elements nested deeper than this make the HTML unreadable: the layout engine's import slows down with
/// the square of the depth.
inline constexpr std::size_t maximumNesting = 512;

/// The deepest nesting of elements in the HTML: start tags open, end tags close; elements that never
/// hold others ("br", "img") or whose end tag the language lets authors leave out ("p", "li", "td")
/// do not count, so that ordinary HTML without end tags measures shallow.
std::size_t nestingDepth(const QByteArray &html);

/// The plain text of an HTML document as the text engine lays it out, paragraphs ending in line feeds;
/// nothing named by the document (style sheets, images) is ever loaded. None when the HTML is larger than
/// maximumInputSize or nests deeper than maximumNesting. Safe on any thread.
std::optional<std::u16string> plainText(const QByteArray &html);

/// plainText on a worker thread, so that a large document never stalls the interface.
QCoro::Task<std::optional<std::u16string>> plainTextOffMainThread(QByteArray html);

} // namespace velto::editor::HtmlText
