#include "editor_view/clipboard/ClipboardTextReader.h"

#include "editor/rules/RtfTextReader.h"
#include "editor_view/clipboard/HtmlText.h"

#include <QtConcurrent/QtConcurrentRun>
#include <QtCore/QMimeData>
#include <QtCore/QThreadPool>
#include <QtCore/QUrl>
#include <qcoro/qcorofuture.h>

namespace velto::editor {

namespace {

std::optional<QByteArray> dataWithin(const QMimeData *data, const QString &type, std::size_t cap) {
    if (!data->hasFormat(type)) {
        return std::nullopt;
    }
    QByteArray bytes = data->data(type);
    if (static_cast<std::size_t>(bytes.size()) > cap) {
        return std::nullopt;
    }
    return bytes;
}

std::u16string toU16(const QString &text) {
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
}

/// The entries of a URI list: one a line, lines starting with "#" are comments.
std::vector<std::u16string> uriEntries(const QByteArray &list) {
    std::vector<std::u16string> entries;
    for (const QByteArray &line : list.split('\n')) {
        const QByteArray entry = line.trimmed();
        if (!entry.isEmpty() && !entry.startsWith('#')) {
            entries.push_back(toU16(QString::fromUtf8(entry)));
        }
    }
    return entries;
}

QCoro::Task<std::optional<std::u16string>> rtfTextOffMainThread(QByteArray rtf) {
    QFuture<std::optional<std::u16string>> future = QtConcurrent::run(QThreadPool::globalInstance(), [rtf] {
        return RtfTextReader::plainText(std::string_view(rtf.constData(), static_cast<std::size_t>(rtf.size())));
    });
    std::optional<std::u16string> text = co_await future;
    co_return text;
}

} // namespace

ClipboardSnapshot ClipboardSnapshot::take(const QMimeData *data) {
    ClipboardSnapshot snapshot;
    if (data == nullptr) {
        return snapshot;
    }
    // Only the plain-text type itself: Qt also offers the URI list's entries as "text".
    if (data->hasFormat(QStringLiteral("text/plain"))) {
        const QString text = data->text();
        if (static_cast<std::size_t>(text.size()) <= maximumPlainTextSize) {
            snapshot.plainText = toU16(text);
        }
    }
    for (const char *type : {"text/rtf", "application/rtf", "text/richtext"}) {
        if (!snapshot.rtf) {
            snapshot.rtf = dataWithin(data, QString::fromLatin1(type), maximumRichTextSize);
        }
    }
    snapshot.html = dataWithin(data, QStringLiteral("text/html"), maximumRichTextSize);
    if (const auto list = dataWithin(data, QStringLiteral("text/uri-list"), maximumURIListSize)) {
        snapshot.uris = uriEntries(*list);
    }
    return snapshot;
}

namespace ClipboardTextReader {

QCoro::Task<std::optional<std::u16string>> read(ClipboardSnapshot snapshot) {
    if (snapshot.plainText) {
        co_return snapshot.plainText;
    }
    if (snapshot.rtf) {
        std::optional<std::u16string> text = co_await rtfTextOffMainThread(*snapshot.rtf);
        if (text) {
            co_return text;
        }
    }
    if (snapshot.html) {
        std::optional<std::u16string> text = co_await HtmlText::plainTextOffMainThread(*snapshot.html);
        if (text) {
            co_return text;
        }
    }
    if (!snapshot.uris.empty()) {
        std::u16string lines;
        for (const std::u16string &uri : snapshot.uris) {
            lines += (lines.empty() ? u"" : u"\n") + uri;
        }
        co_return lines;
    }
    co_return std::nullopt;
}

QCoro::Task<PasteRules::ClipboardTexts> readForPaste(ClipboardSnapshot snapshot) {
    PasteRules::ClipboardTexts texts;
    if (!snapshot.uris.empty()) {
        texts.addressText = snapshot.uris.front();
    }
    texts.plainText = snapshot.plainText;
    texts.readableText = co_await read(std::move(snapshot));
    co_return texts;
}

} // namespace ClipboardTextReader

} // namespace velto::editor
