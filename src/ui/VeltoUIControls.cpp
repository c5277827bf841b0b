#include "ui/VeltoUIControls.h"

#include "ui/Symbols.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QThread>

namespace velto::VeltoUI {

namespace {

void assertMainThread() {
    Q_ASSERT(QCoreApplication::instance() == nullptr ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
}

void enforceControlHeight(QPushButton &button) {
    button.setFixedHeight(static_cast<int>(Metrics::controlHeight));
}

} // namespace

void configure(HoverButton &button, const QString &title, HoverButton::Prominence prominence,
               std::function<void()> action, const std::optional<QString> &help) {
    assertMainThread();
    button.setText(title);
    button.setFlat(true);
    button.setCheckable(false);
    button.setProminence(prominence);
    button.setFont(Typography::control());
    button.setAction(std::move(action));
    button.setAccessibleName(title);
    button.setAccessibleDescription(help.value_or(QString()));
    enforceControlHeight(button);
}

void configure(HoverIconButton &button, const QString &symbolName, const QString &label, std::function<void()> action) {
    assertMainThread();
    button.setText(QString());
    button.setFlat(true);
    button.setCheckable(false);
    button.setIcon(Symbols::icon(symbolName));
    button.setIconSize(QSize(16, 16));
    button.setAction(std::move(action));
    button.setAccessibleName(label);
    button.setAnchoredToolTip(label);
    enforceControlHeight(button);
    button.setFixedWidth(HoverIconButton::sideLength);
}

void configure(QPushButton &button, NativeActionRole role, const std::optional<QString> &help) {
    assertMainThread();
    button.setFlat(false);
    button.setCheckable(false);
    button.setFont(Typography::control());
    button.setAccessibleName(button.text());
    button.setAccessibleDescription(help.value_or(QString()));
    button.setDefault(role == NativeActionRole::defaultAction);
    // Return presses the focused button, whatever the role, as in the desktop's dialogs; Qt does so only in
    // dialogs unless asked. The default button takes Return while no other button has the focus.
    button.setAutoDefault(true);
    enforceControlHeight(button);
}

} // namespace velto::VeltoUI
