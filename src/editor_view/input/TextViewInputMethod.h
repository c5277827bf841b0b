#pragma once

#include "editor_view/view/TextViewPainter.h"

#include <QVariant>

#include <optional>

class QInputMethodEvent;

namespace velto::editor {

class EditingCore;
class LayoutCache;
class LayoutFormats;
class TextViewCaretMotion;
class VeltoTextView;

/// The text view's side of an input method: committed text is typed like keys, the text being composed
/// is laid out at the caret without entering the storage, and the input method's questions about the
/// caret's paragraph are answered in that paragraph's offsets.
class TextViewInputMethod {
public:
    TextViewInputMethod(VeltoTextView &view, EditingCore &core, LayoutCache &cache, LayoutFormats &formats,
                        const TextViewCaretMotion &motion);

    /// The text being composed, when an input method composes.
    const std::optional<PreeditText> &preedit() const { return preedit_; }

    /// Takes the event's committed and composed text; the view's height may have changed.
    void take(QInputMethodEvent &event);
    /// Shows the text being composed, or ends the composition; false when nothing changed.
    bool setPreedit(const std::optional<PreeditText> &preedit);
    /// The answer to an input method's question; nothing for those the view's base class answers.
    std::optional<QVariant> answer(Qt::InputMethodQuery query) const;

private:
    VeltoTextView &view_;
    EditingCore &core_;
    LayoutCache &cache_;
    LayoutFormats &formats_;
    const TextViewCaretMotion &motion_;
    std::optional<PreeditText> preedit_;
};

} // namespace velto::editor
