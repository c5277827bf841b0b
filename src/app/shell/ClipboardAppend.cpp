#include "app/shell/ClipboardAppend.h"

#include "editor/rules/TextCleaner.h"
#include "editor_view/clipboard/ClipboardTextReader.h"
#include "panel/window/PanelControlling.h"

namespace velto {

QString cleanClipboardText(const QString &text) {
    std::u16string cleaned = editor::TextCleaner::clean(text.toStdU16String());
    return QString::fromUtf16(cleaned.data(), static_cast<qsizetype>(cleaned.size()));
}

QString ClipboardAppendPlan::refusalMessage() const {
    switch (outcome) {
    case Outcome::append:
        return {};
    case Outcome::noText:
        return QStringLiteral("Clipboard doesn’t contain text");
    case Outcome::nothingToAppend:
        return QStringLiteral("Nothing to append");
    case Outcome::pageUnavailable:
        return QStringLiteral("The current page can’t be changed right now");
    case Outcome::tooLarge:
        return QStringLiteral("The clipboard text is too large to append");
    }
    return {};
}

ClipboardAppendPlan planClipboardAppend(const std::optional<QString> &clipboardText,
                                        const std::optional<QString> &currentPageText, std::int64_t maximumPageBytes) {
    using Outcome = ClipboardAppendPlan::Outcome;
    if (!clipboardText) {
        return {Outcome::noText, {}};
    }
    QString cleaned = cleanClipboardText(*clipboardText);
    if (cleaned.trimmed().isEmpty()) {
        return {Outcome::nothingToAppend, {}};
    }
    if (!currentPageText) {
        return {Outcome::pageUnavailable, {}};
    }
    std::int64_t bytes = currentPageText->toUtf8().size() + cleaned.toUtf8().size();
    if (!currentPageText->isEmpty() && !currentPageText->endsWith(QChar('\n'))) {
        bytes += 1;
    }
    if (bytes > maximumPageBytes) {
        return {Outcome::tooLarge, {}};
    }
    return {Outcome::append, cleaned};
}

QCoro::Task<bool> appendClipboardToPanel(editor::ClipboardSnapshot snapshot, QPointer<VeltoPanelControlling> panel,
                                         std::int64_t maximumPageBytes) {
    QCoro::Task<std::optional<std::u16string>> reading = editor::ClipboardTextReader::read(std::move(snapshot));
    std::optional<std::u16string> read = co_await reading;
    if (!panel) {
        co_return false;
    }
    std::optional<QString> text;
    if (read) {
        text = QString::fromStdU16String(*read);
    }
    std::optional<QString> pageText;
    if (panel->canAppendToCurrentPage()) {
        pageText = panel->currentPageText();
    }
    ClipboardAppendPlan plan = planClipboardAppend(text, pageText, maximumPageBytes);
    if (plan.outcome != ClipboardAppendPlan::Outcome::append) {
        panel->showFeedback({plan.refusalMessage(), PanelFeedback::Emphasis::informational, 2.2});
        co_return false;
    }
    // The panel refuses (with a beep) while it cannot keep the text: then nothing is confirmed.
    co_return panel->append(plan.text);
}

} // namespace velto
