#pragma once

#include <QtCore/QString>

#include <cstdint>
#include <optional>

namespace velto {

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

} // namespace velto
