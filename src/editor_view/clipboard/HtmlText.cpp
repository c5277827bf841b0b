#include "editor_view/clipboard/HtmlText.h"

#include <QtConcurrent/QtConcurrentRun>
#include <QtCore/QStringConverter>
#include <QtCore/QThreadPool>
#include <QtCore/QVariant>
#include <QtGui/QTextDocument>
#include <qcoro/qcorofuture.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace velto::editor::HtmlText {

namespace {

/// A document that never loads what the HTML names: a style sheet link to a local file (even one that
/// blocks when read) or an image gives nothing.
class ResourceFreeDocument final : public QTextDocument {
protected:
    QVariant loadResource(int, const QUrl &) override { return {}; }
};

bool isLetter(char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

/// Elements that hold nothing or whose end tag may be left out.
bool isUncounted(std::string_view name) {
    static constexpr std::array<std::string_view, 31> names{
        "area",   "base",  "br",     "col",      "embed",    "hr", "img", "input", "link", "meta", "param",
        "source", "track", "wbr",    "p",        "li",       "dt", "dd",  "tr",    "td",   "th",   "thead",
        "tbody",  "tfoot", "option", "optgroup", "colgroup", "rt", "rp",  "html",  "body"};
    for (std::string_view uncounted : names) {
        if (name.size() == uncounted.size() &&
            std::equal(name.begin(), name.end(), uncounted.begin(), [](char a, char b) { return (a | 0x20) == b; })) {
            return true;
        }
    }
    return false;
}

std::u16string withoutObjectReplacements(const QString &text) {
    std::u16string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (QChar character : text) {
        if (character.unicode() != 0xFFFC) { // where an image stood
            result += character.unicode();
        }
    }
    return result;
}

} // namespace

std::size_t nestingDepth(const QByteArray &html) {
    const std::string_view text(html.constData(), static_cast<std::size_t>(html.size()));
    std::size_t depth = 0;
    std::size_t deepest = 0;
    std::size_t position = 0;
    while ((position = text.find('<', position)) != std::string_view::npos) {
        if (text.substr(position, 4) == "<!--") {
            const std::size_t end = text.find("-->", position + 4);
            position = end == std::string_view::npos ? text.size() : end + 3;
            continue;
        }
        const bool closing = position + 1 < text.size() && text[position + 1] == '/';
        std::size_t nameStart = position + (closing ? 2 : 1);
        std::size_t nameEnd = nameStart;
        while (nameEnd < text.size() &&
               (isLetter(text[nameEnd]) ||
                (nameEnd > nameStart && std::isdigit(static_cast<unsigned char>(text[nameEnd]))))) {
            ++nameEnd;
        }
        const std::size_t tagEnd = text.find('>', nameEnd);
        position = tagEnd == std::string_view::npos ? text.size() : tagEnd + 1;
        const std::string_view name = text.substr(nameStart, nameEnd - nameStart);
        if (name.empty() || isUncounted(name)) {
            continue;
        }
        const bool selfClosing = tagEnd != std::string_view::npos && tagEnd > 0 && text[tagEnd - 1] == '/';
        if (closing) {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (!selfClosing) {
            deepest = std::max(deepest, ++depth);
        }
    }
    return deepest;
}

std::optional<std::u16string> plainText(const QByteArray &html) {
    if (static_cast<std::size_t>(html.size()) > maximumInputSize || nestingDepth(html) > maximumNesting) {
        return std::nullopt;
    }
    const std::optional<QStringConverter::Encoding> encoding = QStringConverter::encodingForHtml(html);
    QStringDecoder decoder(encoding.value_or(QStringConverter::Utf8));
    const QString decoded = decoder(html);
    ResourceFreeDocument document;
    document.setHtml(decoded);
    return withoutObjectReplacements(document.toPlainText());
}

QCoro::Task<std::optional<std::u16string>> plainTextOffMainThread(QByteArray html) {
    // The future is made in a statement of its own: a lambda built inside the awaited expression is
    // destroyed twice by the compiler's coroutine lowering.
    QFuture<std::optional<std::u16string>> future =
        QtConcurrent::run(QThreadPool::globalInstance(), [html] { return plainText(html); });
    std::optional<std::u16string> text = co_await future;
    co_return text;
}

} // namespace velto::editor::HtmlText
