#include "app/ShellAlert.h"

#include "app/VeltoApplicationIcon.h"

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

} // namespace velto
