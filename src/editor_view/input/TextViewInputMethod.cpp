#include "editor_view/input/TextViewInputMethod.h"

#include "editor/editing/EditingCore.h"
#include "editor/editing/TextBoundaries.h"
#include "editor/rules/TypingRules.h"
#include "editor_view/layout/LayoutCache.h"
#include "editor_view/layout/LayoutFormats.h"
#include "editor_view/layout/QtText.h"
#include "editor_view/view/TextViewCaretMotion.h"
#include "editor_view/view/VeltoTextView.h"

#include <QInputMethodEvent>

#include <algorithm>

namespace velto::editor {

TextViewInputMethod::TextViewInputMethod(VeltoTextView &view, EditingCore &core, LayoutCache &cache,
                                         LayoutFormats &formats, const TextViewCaretMotion &motion)
    : view_(view)
    , core_(core)
    , cache_(cache)
    , formats_(formats)
    , motion_(motion) {}

void TextViewInputMethod::take(QInputMethodEvent &event) {
    const std::size_t caret = core_.selectedRange().location;
    const std::size_t length = core_.length();
    if (!event.commitString().isEmpty() || event.replacementLength() > 0) {
        TextRange range = core_.selectedRange();
        if (event.replacementLength() > 0 || event.replacementStart() != 0) {
            const auto start = static_cast<std::ptrdiff_t>(caret) + event.replacementStart();
            const std::size_t from =
                static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(start, 0, static_cast<std::ptrdiff_t>(length)));
            range = TextRange{
                from, std::min<std::size_t>(static_cast<std::size_t>(event.replacementLength()), length - from)};
        }
        TypingRules::insertText(view_, replacingLoneSurrogates(fromQt(event.commitString())), range);
    }
    if (event.preeditString().isEmpty()) {
        setPreedit(std::nullopt);
    } else {
        PreeditText preedit{core_.selectedRange().location, event.preeditString(),
                            static_cast<int>(event.preeditString().size())};
        for (const QInputMethodEvent::Attribute &attribute : event.attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor) {
                preedit.cursor = attribute.start;
            }
        }
        setPreedit(preedit);
    }
}

bool TextViewInputMethod::setPreedit(const std::optional<PreeditText> &preedit) {
    if (!preedit && !preedit_) {
        return false;
    }
    preedit_ = preedit;
    // The coordinator schedules nothing while an input method composes.
    core_.setHasMarkedText(preedit.has_value());
    if (preedit) {
        cache_.setComposition(
            LayoutCache::Composition{preedit->position, fromQt(preedit->text), core_.typingAttributes()});
    } else {
        cache_.setComposition(std::nullopt);
    }
    return true;
}

std::optional<QVariant> TextViewInputMethod::answer(Qt::InputMethodQuery query) const {
    const TextStorage &storage = core_.textStorage();
    const std::size_t head = core_.selectionHead();
    const ParagraphIndex &index = cache_.index();
    const TextRange paragraph = paragraphContents(storage, index.paragraphRange(index.paragraphContaining(head)));
    const auto inParagraph = [&paragraph](std::size_t position) {
        return static_cast<int>(std::clamp(position, paragraph.location, paragraph.end()) - paragraph.location);
    };
    switch (query) {
    case Qt::ImEnabled:
        return core_.isEditable();
    case Qt::ImCursorRectangle: {
        QRectF caret = view_.caretRectInViewport(head, motion_.headAffinity());
        caret.setWidth(1);
        return caret.translated(view_.viewport()->pos());
    }
    case Qt::ImFont:
        return formats_.font(core_.typingAttributes());
    case Qt::ImCursorPosition:
        return inParagraph(head);
    case Qt::ImAnchorPosition:
        return inParagraph(core_.selectionAnchor());
    case Qt::ImSurroundingText:
        return qtString(storage.substring(paragraph));
    case Qt::ImCurrentSelection:
        return qtString(storage.substring(core_.selectedRange()));
    case Qt::ImAbsolutePosition:
        return static_cast<qlonglong>(head);
    case Qt::ImTextBeforeCursor:
        return qtString(storage.substring(rangeBetween(paragraph.location, std::min(head, paragraph.end()))));
    case Qt::ImTextAfterCursor:
        return qtString(storage.substring(rangeBetween(std::max(head, paragraph.location), paragraph.end())));
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return std::nullopt;
    }
}

} // namespace velto::editor
