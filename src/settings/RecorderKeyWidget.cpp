#include "settings/RecorderKeyWidget.h"

#include "settings/RecorderAccessibility.h"
#include "ui/AccessibilityAnnouncement.h"

#include <QtGui/QKeyEvent>

namespace velto {

RecorderKeyWidget::RecorderKeyWidget(QWidget *parent)
    : QWidget(parent) {
    installRecorderAccessibility();
}

void RecorderKeyWidget::setAccessibilityValue(const QString &value) {
    if (value == accessibilityValue_) {
        return;
    }
    accessibilityValue_ = value;
    QAccessibleValueChangeEvent changed(this, value);
    postAccessibilityEvent(changed);
}

bool RecorderKeyWidget::takeFocusOfWindow() {
    if (!isVisible()) {
        return false;
    }
    setFocus(Qt::OtherFocusReason);
    return window()->focusWidget() == this;
}

void RecorderKeyWidget::handleKeyPress(const RecorderKeyPress &press) {
    RecorderKeyRole role = recorderKeyRole(press);
    switch (role) {
    case RecorderKeyRole::focusNext:
        focusNextPrevChild(true);
        return;
    case RecorderKeyRole::focusPrevious:
        focusNextPrevChild(false);
        return;
    case RecorderKeyRole::clear:
    case RecorderKeyRole::cancel:
    case RecorderKeyRole::capture:
        handleRecorderKey(role, press);
        return;
    }
}

bool RecorderKeyWidget::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While focused the recorder takes every key, so no menu or window shortcut fires instead.
        event->accept();
        return true;
    case QEvent::KeyPress:
        // Before QWidget's own handling, which would move the focus on Tab with any modifier.
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    default:
        return QWidget::event(event);
    }
}

void RecorderKeyWidget::keyPressEvent(QKeyEvent *event) {
    event->accept();
    std::optional<RecorderKeyPress> press = recorderKeyPress(*event);
    if (press) {
        handleKeyPress(*press);
    }
}

} // namespace velto
