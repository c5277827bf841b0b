#pragma once

#include "page_editor/EditorCoordinatorView.h"

#include <functional>

namespace velto {

namespace editor {
class VeltoTextView;
}

/// The panel's text view as the editor coordinator sees it: drawing, the resolved appearance and the beep.
class TextViewCoordinatorView : public editor::EditorCoordinatorView {
public:
    TextViewCoordinatorView(editor::VeltoTextView &textView, std::function<void()> beep);

    void setNeedsDisplay() override;
    void applyEditorAppearance(const editor::EditorAppearance &appearance) override;
    editor::Appearance effectiveAppearance() const override;
    bool increasesContrast() const override;
    bool clearPreviewedTaskCheckbox() override { return false; }
    void beep() override;
    std::optional<editor::TextRange> visibleCharacterRange() override;

private:
    editor::VeltoTextView &textView_;
    std::function<void()> beep_;
};

} // namespace velto
