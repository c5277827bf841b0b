#include "panel/menu/PanelAlerts.h"

#include "ui/WindowAppearance.h"

#include <QtWidgets/QApplication>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

namespace velto::PanelAlerts {
namespace {

constexpr int iconSize = 64;

std::unique_ptr<QMessageBox> makeAlert(QWidget *parent, const QString &message, const QString &informativeText) {
    auto box = std::make_unique<QMessageBox>(parent);
    followAppearance(box.get());
    const QIcon icon = QApplication::windowIcon();
    box->setWindowIcon(icon);
    if (!icon.isNull()) {
        box->setIconPixmap(icon.pixmap(iconSize, iconSize));
    }
    box->setText(message);
    box->setInformativeText(informativeText);
    return box;
}

} // namespace

std::unique_ptr<QMessageBox> makeConfirmation(QWidget *parent, const QString &message, const QString &informativeText,
                                              const QString &actionButton) {
    std::unique_ptr<QMessageBox> box = makeAlert(parent, message, informativeText);
    QPushButton *action = box->addButton(actionButton, QMessageBox::AcceptRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(action);
    return box;
}

bool confirm(QWidget *parent, const QString &message, const QString &informativeText, const QString &actionButton) {
    std::unique_ptr<QMessageBox> box = makeConfirmation(parent, message, informativeText, actionButton);
    box->exec();
    return box->clickedButton() == box->defaultButton();
}

void notify(QWidget *parent, const QString &message, const QString &informativeText, const QString &button) {
    std::unique_ptr<QMessageBox> box = makeAlert(parent, message, informativeText);
    box->setWindowTitle(message);
    box->addButton(button, QMessageBox::AcceptRole);
    box->exec();
}

} // namespace velto::PanelAlerts
