#pragma once

#include "editor/text/TextRange.h"
#include "platform/Uuid.h"

#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velto::editor {

class EditingCore;
class PageUndoHistories;
class VeltoTextView;

/// The text view's exchanges with the clipboard and X11's primary selection: copy, cut, the two pastes
/// and the plain insertions of a middle click. A paste reads rich text off the main thread, so it lands
/// only where it was asked for: on the same page, with the same characters.
class TextViewClipboard : public QObject {
    Q_OBJECT

public:
    TextViewClipboard(VeltoTextView &view, EditingCore &core, const PageUndoHistories &undoHistories);

    void copySelection();
    void cutSelection();
    /// Paste with the paste rules: code pasted into a fenced block re-indented, an address pasted over a
    /// selection made a link, anything else as plain text with LF line ends. Rich text and HTML are read
    /// on a worker thread; the task ends when the paste is done.
    QCoro::Task<void> paste();
    /// Paste and Match Style: the clipboard's text as plain text, no rule applied.
    QCoro::Task<void> pasteAsPlainText();
    /// Inserts the text as it is, at the position or over the selection.
    void pastePlainText(const QString &text, std::optional<std::size_t> at = std::nullopt);
    /// Puts a non-empty selection on X11's primary selection, where a middle click pastes it.
    void offerSelectionAsPrimary();
    std::u16string selectedText() const;

    /// The characters changed (styling aside): a paste in flight was meant for other characters.
    void charactersDidChange() { ++characterChanges_; }

signals:
    /// A paste that the owner should interpret as Markdown: a code or link paste, or one that changed the text.
    void pastedMarkdown();
    /// Paste and Match Style changed the text.
    void pastedAsPlainText();

private:
    /// Where a paste was asked for: the page shown, how often its characters had changed, the selection.
    struct PasteTarget {
        std::optional<Uuid> pageID;
        std::uint64_t characterChanges = 0;
        TextRange selection;
    };
    PasteTarget pasteTarget() const;
    /// After the clipboard was read off the main thread: the selection of the paste's page and place again,
    /// or false (with a beep) when the page, its text or its editability changed meanwhile.
    bool returnToPasteTarget(const PasteTarget &target);
    void showHead();

    VeltoTextView &view_;
    EditingCore &core_;
    const PageUndoHistories &undoHistories_;
    /// Counts the changes of characters (styling aside), so that a paste can tell its text is still there.
    std::uint64_t characterChanges_ = 0;
};

} // namespace velto::editor
