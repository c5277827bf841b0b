#pragma once

#include <QtCore/QPointer>
#include <QtCore/QString>
#include <qcoro/qcorotask.h>

#include <cstdint>
#include <optional>

namespace velto {

namespace editor {
struct ClipboardSnapshot;
}
class VeltoPanelControlling;

/// The editor's clipboard cleaning (line endings, no-break spaces, trailing blanks, runs of empty lines).
QString cleanClipboardText(const QString &text);

/// What one press of the append-clipboard shortcut does.
struct ClipboardAppendPlan {
    enum class Outcome { append, noText, nothingToAppend, pageUnavailable, tooLarge };
    Outcome outcome = Outcome::noText;
    QString text; // the cleaned text to append (untrimmed)

    /// The banner of a refusal; empty for an append.
    QString refusalMessage() const;
};

/// Decides the append: refuses a clipboard without text, text that is only blanks after cleaning, a page whose
/// text is not held (nothing — an archived summary, an unavailable page — to append to), and text that would
/// take the page past `maximumPageBytes` (UTF-8, the separating line break included).
ClipboardAppendPlan planClipboardAppend(const std::optional<QString> &clipboardText,
                                        const std::optional<QString> &currentPageText, std::int64_t maximumPageBytes);

/// Reads the clipboard's text (rich text is converted on a worker thread) and appends it to the panel's current
/// page, or shows in the panel why it does not; true once the page took the text. Nothing without a panel.
QCoro::Task<bool> appendClipboardToPanel(editor::ClipboardSnapshot snapshot, QPointer<VeltoPanelControlling> panel,
                                         std::int64_t maximumPageBytes);

} // namespace velto
