#include "panel/view/TextViewCoordinatorView.h"

#include "editor_view/view/VeltoTextView.h"
#include "platform/desktop/DisplayOptions.h"
#include "ui/Appearance.h"

namespace velto {

TextViewCoordinatorView::TextViewCoordinatorView(editor::VeltoTextView &textView, std::function<void()> beep)
    : textView_(textView)
    , beep_(std::move(beep)) {}

void TextViewCoordinatorView::setNeedsDisplay() {
    textView_.viewport()->update();
}

void TextViewCoordinatorView::applyEditorAppearance(const editor::EditorAppearance &appearance) {
    textView_.setCodeTextColor(appearance.codeTextColor);
    textView_.setHorizontalRuleColor(appearance.horizontalRuleColor);
    textView_.setAppearance(effectiveAppearance());
    textView_.setIncreaseContrast(increasesContrast());
    textView_.setContinuousSpellChecking(appearance.continuousSpellChecking);
    textView_.viewport()->update();
}

editor::Appearance TextViewCoordinatorView::effectiveAppearance() const {
    return VeltoAppearance::shared().current() == DrawingAppearance::dark ? editor::Appearance::darkAqua
                                                                          : editor::Appearance::aqua;
}

bool TextViewCoordinatorView::increasesContrast() const {
    return displayOptions().current().increaseContrast;
}

std::optional<editor::TextRange> TextViewCoordinatorView::visibleCharacterRange() {
    return textView_.visibleCharacterRange(textView_.visibleRect());
}

void TextViewCoordinatorView::beep() {
    if (beep_) {
        beep_();
    }
}

} // namespace velto
