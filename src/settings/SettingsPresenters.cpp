#include "settings/SettingsPresenters.h"

#include "platform/desktop/FileManagerReveal.h"

#include <QtCore/QPointer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>
#include <qcorosignal.h>

#include <memory>

namespace velto {

namespace {

// Window-modal dialogs opened with open() and awaited on their finished signal, never exec(): a nested event
// loop inside a coroutine would let a second flow start under the first.
QCoro::Task<int> presentMessageBox(QWidget *parent, SettingsAlert alert) {
    QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(alert.style == SettingsAlert::Style::warning ? QMessageBox::Warning : QMessageBox::Information);
    if (alert.showsApplicationIcon && !QApplication::windowIcon().isNull()) {
        box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    }
    box->setText(alert.title);
    box->setInformativeText(alert.message);
    std::vector<QAbstractButton *> buttons;
    for (const QString &title : alert.buttons) {
        bool isCancel = title == QStringLiteral("Cancel");
        buttons.push_back(box->addButton(title, isCancel ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    }
    if (!buttons.empty()) {
        box->setDefaultButton(static_cast<QPushButton *>(buttons.front()));
    }
    box->open();
    auto finishing = qCoro(box.data(), &QMessageBox::finished);
    co_await finishing;
    if (box.isNull()) {
        co_return 0;
    }
    QAbstractButton *clicked = box->clickedButton();
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (buttons[index] == clicked) {
            co_return firstButtonResponse + static_cast<int>(index);
        }
    }
    co_return 0;
}

QCoro::Task<std::optional<std::filesystem::path>> runFileDialog(QFileDialog *dialog) {
    QPointer<QFileDialog> guarded = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(dialog->parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    dialog->open();
    auto finishing = qCoro(dialog, &QFileDialog::finished);
    int result = co_await finishing;
    if (guarded.isNull() || result != QDialog::Accepted || guarded->selectedFiles().isEmpty()) {
        co_return std::nullopt;
    }
    co_return std::filesystem::path(guarded->selectedFiles().constFirst().toStdString());
}

} // namespace

SettingsPresenters SettingsPresenters::live() {
    SettingsPresenters presenters;
    presenters.presentAlert = presentMessageBox;
    presenters.choosePagesFolder = [](QWidget *parent, std::filesystem::path start) {
        auto *dialog =
            new QFileDialog(parent, QStringLiteral("Choose Pages Folder"), QString::fromStdString(start.string()));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Use Folder"));
        return runFileDialog(dialog);
    };
    presenters.chooseImportFile = [](QWidget *parent) {
        auto *dialog = new QFileDialog(parent, QStringLiteral("Import Keyboard Settings"));
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Import"));
        return runFileDialog(dialog);
    };
    presenters.chooseExportFile = [](QWidget *parent) {
        auto *dialog = new QFileDialog(parent, QStringLiteral("Export Keyboard Settings"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
        dialog->setDefaultSuffix(QStringLiteral("json"));
        dialog->selectFile(QStringLiteral("Velto Keyboard Settings.json"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Export"));
        return runFileDialog(dialog);
    };
    presenters.revealFolder = [](std::filesystem::path folder) { return fileManager::openFolder(folder); };
    presenters.beep = [] { QApplication::beep(); };
    return presenters;
}

} // namespace velto
