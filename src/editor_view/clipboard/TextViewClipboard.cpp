#include "editor_view/clipboard/TextViewClipboard.h"

#include "editor/editing/EditingCore.h"
#include "editor/editing/PageUndoHistories.h"
#include "editor/editing/TextBoundaries.h"
#include "editor/rules/PasteRules.h"
#include "editor_view/clipboard/ClipboardTextReader.h"
#include "editor_view/clipboard/DroppedText.h"
#include "editor_view/layout/QtText.h"
#include "editor_view/view/VeltoTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QPointer>

namespace velto::editor {

namespace {

PasteRules::ClipboardTexts withoutLoneSurrogates(PasteRules::ClipboardTexts texts) {
    for (std::optional<std::u16string> *text : {&texts.addressText, &texts.plainText, &texts.readableText}) {
        if (*text) {
            **text = replacingLoneSurrogates(**text);
        }
    }
    return texts;
}

} // namespace

TextViewClipboard::TextViewClipboard(VeltoTextView &view, EditingCore &core, const PageUndoHistories &undoHistories)
    : view_(view)
    , core_(core)
    , undoHistories_(undoHistories) {}

std::u16string TextViewClipboard::selectedText() const {
    return core_.textStorage().substring(core_.selectedRange());
}

void TextViewClipboard::copySelection() {
    if (core_.selectedRange().length == 0) {
        return;
    }
    QGuiApplication::clipboard()->setText(qtString(selectedText()), QClipboard::Clipboard);
}

void TextViewClipboard::cutSelection() {
    const TextRange selected = core_.selectedRange();
    if (!core_.isEditable() || selected.length == 0) {
        return;
    }
    const QString text = qtString(selectedText());
    if (core_.replaceText(selected, u"", TextRange{selected.location, 0})) {
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
}

QCoro::Task<void> TextViewClipboard::paste() {
    if (!core_.isEditable()) {
        co_return;
    }
    QPointer<TextViewClipboard> self(this);
    const PasteTarget target = pasteTarget();
    const PasteRules::ClipboardTexts texts = co_await ClipboardTextReader::readForPaste(
        ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
    if (self.isNull() || !returnToPasteTarget(target)) {
        co_return; // the view went away, or moved on, while rich text was read
    }
    if (PasteRules::paste(view_, withoutLoneSurrogates(texts))) {
        emit pastedMarkdown();
    }
    showHead();
}

QCoro::Task<void> TextViewClipboard::pasteAsPlainText() {
    if (!core_.isEditable()) {
        co_return;
    }
    QPointer<TextViewClipboard> self(this);
    const PasteTarget target = pasteTarget();
    const std::optional<std::u16string> text = co_await ClipboardTextReader::read(
        ClipboardSnapshot::take(QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard)));
    if (self.isNull() || !text || !returnToPasteTarget(target)) {
        co_return;
    }
    if (PasteRules::pastePlainText(view_, replacingLoneSurrogates(*text))) {
        emit pastedAsPlainText();
    }
    showHead();
}

void TextViewClipboard::showHead() {
    view_.scrollRangeToVisible(TextRange{core_.selectionHead(), 0});
}

TextViewClipboard::PasteTarget TextViewClipboard::pasteTarget() const {
    return {undoHistories_.activePageID(), characterChanges_, core_.selectedRange()};
}

bool TextViewClipboard::returnToPasteTarget(const PasteTarget &target) {
    // Another page, or the same page with other characters: the place the paste was meant for is gone, and
    // pasting where the caret is now would put the text where the user never asked for it.
    if (!core_.isEditable() || undoHistories_.activePageID() != target.pageID ||
        characterChanges_ != target.characterChanges) {
        QApplication::beep();
        return false;
    }
    if (core_.selectedRange() != target.selection) {
        core_.setSelectedRange(target.selection);
    }
    return true;
}

void TextViewClipboard::pastePlainText(const QString &text, std::optional<std::size_t> at) {
    if (!core_.isEditable() || text.isEmpty()) {
        return;
    }
    const std::u16string inserted = insertableText(text);
    const TextRange range = at ? TextRange{*at, 0} : core_.selectedRange();
    core_.replaceText(range, inserted, TextRange{range.location + inserted.size(), 0});
}

void TextViewClipboard::offerSelectionAsPrimary() {
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && core_.selectedRange().length > 0) {
        clipboard->setText(qtString(selectedText()), QClipboard::Selection);
    }
}

} // namespace velto::editor
