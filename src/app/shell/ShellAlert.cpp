#include "app/shell/ShellAlert.h"

#include "app/menus/VeltoApplicationIcon.h"

#include <QtCore/QTimer>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <vector>

namespace velto {

int presentShellAlertModally(const ShellAlert &alert) {
    QMessageBox box(alert.style == ShellAlert::Style::warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Velto"), alert.title);
    box.setIconPixmap(VeltoApplicationIcon::adaptiveImage().pixmap(64, 64));
    box.setInformativeText(alert.message);
    std::vector<QPushButton *> buttons;
    for (const QString &title : alert.buttons) {
        buttons.push_back(box.addButton(title, QMessageBox::AcceptRole));
    }
    if (!buttons.empty()) {
        box.setDefaultButton(buttons.front());
    }
    // A tray application has no window in front: the alert comes to the front once shown, over other
    // applications' windows, as it must be answered before Velto goes on.
    QTimer::singleShot(0, &box, [&box] {
        box.raise();
        box.activateWindow();
    });
    box.exec();
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (box.clickedButton() == buttons[index]) {
            return firstAlertButton + static_cast<int>(index);
        }
    }
    return 0;
}

int runAlertModally(QMessageBox::Icon style, const QString &message, const QString &informative,
                    const std::vector<QString> &buttons, QPointer<QMessageBox> *keepOpenAlert) {
    QMessageBox alert;
    alert.setIcon(style);
    alert.setIconPixmap(VeltoApplicationIcon::adaptiveImage().pixmap(64, 64));
    alert.setWindowTitle(QStringLiteral("Velto"));
    alert.setText(message);
    alert.setInformativeText(informative);
    std::vector<QAbstractButton *> added;
    if (buttons.empty()) {
        added.push_back(alert.addButton(QMessageBox::Ok));
    }
    for (const QString &title : buttons) {
        added.push_back(alert.addButton(title, QMessageBox::AcceptRole));
    }
    alert.setDefaultButton(qobject_cast<QPushButton *>(added.front()));
    if (keepOpenAlert != nullptr) {
        *keepOpenAlert = &alert;
    }
    // A tray application has no window in front: its alert comes to the front once shown, over other
    // applications' windows, as the user must answer it before Velto goes on.
    QTimer::singleShot(0, &alert, [&alert] {
        alert.raise();
        alert.activateWindow();
    });
    alert.exec();
    for (std::size_t index = 0; index < added.size(); ++index) {
        if (alert.clickedButton() == added[index]) {
            return firstAlertButton + static_cast<int>(index);
        }
    }
    return 0;
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
