#include "settings/RecorderKeyWidget.h"

#include "settings/RecorderAccessibility.h"

#include <QtGui/QKeyEvent>

namespace velto {

namespace {

/// An idle recorder takes Space or Return, which start it, and Delete, which clears it as its help says.
bool isTakenWhileIdle(const RecorderKeyPress &press) {
    return startsRecording(press) || recorderKeyRole(press) == RecorderKeyRole::clear;
}

bool isTakenWhileIdle(const QKeyEvent &event) {
    std::optional<RecorderKeyPress> press = recorderKeyPress(event);
    return press && isTakenWhileIdle(*press);
}

} // namespace

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

bool RecorderKeyWidget::handleKeyPress(const RecorderKeyPress &press) {
    RecorderKeyRole role = recorderKeyRole(press);
    if (!isListening()) {
        if (startsRecording(press)) {
            startListening();
            tellAccessibilityChanges();
            return true;
        }
        if (role != RecorderKeyRole::clear) {
            return false;
        }
    }
    switch (role) {
    case RecorderKeyRole::focusNext:
        focusNextPrevChild(true);
        return true;
    case RecorderKeyRole::focusPrevious:
        focusNextPrevChild(false);
        return true;
    case RecorderKeyRole::clear:
    case RecorderKeyRole::cancel:
    case RecorderKeyRole::capture:
        // A refused press passes through recording, the old value and the refusal: a screen reader hears where
        // it ends, once.
        inKeyPress_ = true;
        handleRecorderKey(role, press);
        inKeyPress_ = false;
        tellAccessibilityChanges();
        return true;
    }
    return true;
}

bool RecorderKeyWidget::event(QEvent *event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // While it listens the recorder takes every key, so no menu or window shortcut fires instead; an idle one
        // lets them fire, all but its own keys.
        if (isListening() || isTakenWhileIdle(*static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        return QWidget::event(event);
    case QEvent::KeyPress:
        // Before QWidget's own handling, which would move the focus on Tab with any modifier.
        if (isListening()) {
            keyPressEvent(static_cast<QKeyEvent *>(event));
            return true;
        }
        return QWidget::event(event);
    default:
        return QWidget::event(event);
    }
}

void RecorderKeyWidget::keyPressEvent(QKeyEvent *event) {
    // A listening recorder keeps every press, also those it cannot read; an idle one passes on what it leaves.
    bool listening = isListening();
    std::optional<RecorderKeyPress> press = recorderKeyPress(*event);
    bool handled = press && handleKeyPress(*press);
    event->setAccepted(listening || handled);
}

} // namespace velto
