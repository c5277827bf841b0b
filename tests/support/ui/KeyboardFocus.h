#pragma once

#include <QtCore/QDeadlineTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

// The keyboard as a user drives a window: keys pressed on the focused control, the focus moved with Tab, so that
// the window learns that the focus came from the keyboard. Header only, for the tests of every layer.
namespace velto::testing {

/// Shows `window` and makes it the active window; false when this platform does not activate windows.
inline bool activate(QWidget &window) {
    window.show();
    QApplication::setActiveWindow(&window);
    for (QDeadlineTimer deadline(5000); !window.isActiveWindow() && !deadline.hasExpired();) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return window.isActiveWindow();
}

/// Presses and releases `key` on the control that has the focus (the release where the focus is then).
inline void pressKey(int key) {
    for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        if (QWidget *focused = QApplication::focusWidget()) {
            QKeyEvent event(type, key, Qt::NoModifier);
            QApplication::sendEvent(focused, &event);
        }
    }
}

/// Presses Tab until `target` has the focus, at most once for each control of its window; false when Tab never
/// reaches it.
inline bool tabTo(QWidget &target) {
    const auto controls = target.window()->findChildren<QWidget *>().size() + 1;
    for (qsizetype step = 0; step < controls && !target.hasFocus(); ++step) {
        pressKey(Qt::Key_Tab);
    }
    return target.hasFocus();
}

} // namespace velto::testing
