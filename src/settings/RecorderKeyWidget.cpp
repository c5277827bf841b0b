#include "settings/RecorderKeyWidget.h"

#include "settings/RecorderAccessibility.h"

#include <QtGui/QKeyEvent>

namespace velto {

RecorderKeyWidget::RecorderKeyWidget(QWidget *parent)
    : QWidget(parent) {
    installRecorderAccessibility();
}

QString RecorderKeyWidget::spokenName() const {
    QString status = accessibleStatus();
    return status.isEmpty() ? accessibleName() : accessibleName() + QStringLiteral(", ") + status;
}

void RecorderKeyWidget::setAccessibleHelp(const QString &help) {
    if (help != accessibleHelp_) {
        accessibleHelp_ = help;
        helpChanged_ = true;
    }
}

void RecorderKeyWidget::announce(const QString &announcement, const QString &help) {
    accessibleHelp_ = help;
    pendingAnnouncement_ = announcement;
}

void RecorderKeyWidget::tellAccessibilityChanges() {
    if (inKeyPress_) {
        return;
    }
    QString name = spokenName();
    if (name != toldName_) {
        toldName_ = name;
        QAccessibleEvent renamed(this, QAccessible::NameChanged);
        postAccessibilityEvent(renamed);
    }
    // After the name, so that a screen reader says what the recorder holds before why a press was refused.
    if (pendingAnnouncement_) {
        AccessibilityAnnouncement announcement(this, *pendingAnnouncement_, AnnouncementPriority::high);
        postAccessibilityEvent(announcement);
    } else if (helpChanged_) {
        QAccessibleEvent described(this, QAccessible::DescriptionChanged);
        postAccessibilityEvent(described);
    }
    pendingAnnouncement_.reset();
    helpChanged_ = false;
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
        // A refused press passes through recording, the old value and the refusal: a screen reader hears where
        // it ends, once.
        inKeyPress_ = true;
        handleRecorderKey(role, press);
        inKeyPress_ = false;
        tellAccessibilityChanges();
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
