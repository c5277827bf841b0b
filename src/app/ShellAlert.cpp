#include "app/ShellAlert.h"

#include "app/VeltoApplicationIcon.h"

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
    box.exec();
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (box.clickedButton() == buttons[index]) {
            return firstAlertButton + static_cast<int>(index);
        }
    }
    return 0;
}

} // namespace velto
