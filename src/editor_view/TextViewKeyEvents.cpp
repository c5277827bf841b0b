#include "editor_view/TextViewKeyEvents.h"

#include <QtGui/QKeyEvent>

#include <utility>

namespace velto::editor {

TextViewKeyEvents::TextViewKeyEvents(TextViewKeyRouter &router, TypedTextLookup typedText)
    : router_(router)
    , typedText_(std::move(typedText)) {}

bool TextViewKeyEvents::isModifierKey(const QKeyEvent &event) {
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}

TextViewKeyEvents::PressIdentity TextViewKeyEvents::identityOf(const QKeyEvent &event) {
    return PressIdentity{event.key(), event.nativeScanCode(), event.modifiers()};
}

bool TextViewKeyEvents::shortcutOverride(const QKeyEvent &event) {
    consumedPress_.reset();
    if (isModifierKey(event)) {
        return false;
    }
    if (!router_.performKeyEquivalent(localKeyEvent(event, typedText_))) {
        return false;
    }
    consumedPress_ = identityOf(event);
    return true;
}

void TextViewKeyEvents::keyPress(const QKeyEvent &event, const std::function<void()> &defaultKeyDown) {
    if (consumedPress_ && *consumedPress_ == identityOf(event)) {
        consumedPress_.reset(); // its key equivalent already ran
        return;
    }
    consumedPress_.reset();
    if (isModifierKey(event)) {
        router_.flagsChanged(modifierFlags(event));
        return;
    }
    router_.keyDown(localKeyEvent(event, typedText_), [&] {
        if (event.key() == Qt::Key_Escape) {
            router_.cancelOperation();
        } else {
            defaultKeyDown();
        }
    });
}

void TextViewKeyEvents::keyRelease(const QKeyEvent &event) {
    if (isModifierKey(event)) {
        router_.flagsChanged(modifierFlags(event));
    }
}

} // namespace velto::editor
