#include "app/shell/ShellAlert.h"

#include "app/menus/VeltoApplicationIcon.h"

#include <QtCore/QEventLoop>
#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <vector>

namespace velto {

namespace {

/// The buttons in order, the first the default. "Cancel" rejects: Escape and closing the window answer it, as in
/// every dialog of the desktop.
std::vector<QAbstractButton *> addButtons(QMessageBox &box, const std::vector<QString> &titles) {
    std::vector<QAbstractButton *> buttons;
    for (const QString &title : titles) {
        const bool isCancel = title == QStringLiteral("Cancel");
        QPushButton *button = box.addButton(title, isCancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        if (isCancel) {
            box.setEscapeButton(button);
        }
        buttons.push_back(button);
    }
    if (!buttons.empty()) {
        box.setDefaultButton(static_cast<QPushButton *>(buttons.front()));
    }
    return buttons;
}

/// Shows the alert in front of every window, waits for its answer and answers the response code of the button
/// chosen; 0 when it was dismissed otherwise.
int runInFront(QMessageBox &box, const std::vector<QAbstractButton *> &buttons, AlertActivation activation) {
    if (activation == AlertActivation::takesFocus) {
        // A tray application has no window in front: the alert the user asked for comes to the front once shown,
        // over other applications' windows, with the keyboard.
        QTimer::singleShot(0, &box, [&box] {
            box.raise();
            box.activateWindow();
        });
        box.exec();
    } else {
        // Not modal: Qt activates every modal window it shows, and would block the keys typed into the panel.
        // Mapped with a user time of zero, which tells a window manager not to give it the focus; without a
        // window manager only a click gives it the focus. Raised once shown: a window manager places a window it
        // does not focus below the focused one, where the notice would go unseen.
        box.setAttribute(Qt::WA_ShowWithoutActivating);
        box.setWindowModality(Qt::NonModal);
        if (box.defaultButton() != nullptr) {
            box.defaultButton()->setFocus(); // the button Return answers once the user turns to the notice
        }
        QEventLoop answered;
        QObject::connect(&box, &QDialog::finished, &answered, &QEventLoop::quit);
        box.show();
        box.raise();
        answered.exec();
    }
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (box.clickedButton() == buttons[index]) {
            return firstAlertButton + static_cast<int>(index);
        }
    }
    return 0;
}

int presentShellAlert(const ShellAlert &alert, AlertActivation activation) {
    QMessageBox box(alert.style == ShellAlert::Style::warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Velto"), alert.title);
    box.setIconPixmap(VeltoApplicationIcon::adaptiveImage().pixmap(64, 64));
    box.setInformativeText(alert.message);
    std::vector<QAbstractButton *> buttons = addButtons(box, {alert.buttons.begin(), alert.buttons.end()});
    return runInFront(box, buttons, activation);
}

} // namespace

int presentShellAlertModally(const ShellAlert &alert) {
    return presentShellAlert(alert, AlertActivation::takesFocus);
}

int presentShellNoticeModally(const ShellAlert &alert) {
    return presentShellAlert(alert, AlertActivation::waitsForTheUser);
}

int runAlertModally(QMessageBox::Icon style, const QString &message, const QString &informative,
                    const std::vector<QString> &buttons, QPointer<QMessageBox> *keepOpenAlert,
                    AlertActivation activation) {
    QMessageBox alert;
    alert.setIcon(style);
    alert.setIconPixmap(VeltoApplicationIcon::adaptiveImage().pixmap(64, 64));
    alert.setWindowTitle(QStringLiteral("Velto"));
    alert.setText(message);
    alert.setInformativeText(informative);
    std::vector<QAbstractButton *> added;
    if (buttons.empty()) {
        added.push_back(alert.addButton(QMessageBox::Ok));
        alert.setDefaultButton(static_cast<QPushButton *>(added.front()));
    } else {
        added = addButtons(alert, buttons);
    }
    if (keepOpenAlert != nullptr) {
        *keepOpenAlert = &alert;
    }
    return runInFront(alert, added, activation);
}

QString alertItemList(const std::vector<QString> &items) {
    constexpr std::size_t namedAtMost = 5;
    QString list;
    for (std::size_t index = 0; index < items.size() && index < namedAtMost; ++index) {
        list += QStringLiteral("\n• ") + items[index];
    }
    if (items.size() > namedAtMost) {
        list += QStringLiteral("\n…and %1 more.").arg(items.size() - namedAtMost);
    }
    return list;
}

} // namespace velto
