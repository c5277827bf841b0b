#include "settings/SettingsPresenters.h"

#include "platform/desktop/FileManagerReveal.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>
#include <QtWidgets/QFileDialog>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <coroutine>
#include <memory>

namespace velto {

namespace {

// Window-modal dialogs opened with open() and awaited until they finish, never exec(): a nested event loop
// inside a coroutine would let a second flow start under the first.
//
// The awaiting coroutine is resumed from an event posted to the application, never to the dialog, and the
// dialog is deleted only after its answer was read: a queued call addressed to a dialog that deletes itself on
// close is dropped together with the dialog, and the flow waiting for the answer would never go on.
class DialogFinished {
public:
    explicit DialogFinished(QDialog *dialog)
        : dialog_(dialog) {}
    // The coroutine machinery copies an awaiter before it suspends on it; the connections are made only on the
    // copy that is suspended on, and end with it.
    ~DialogFinished() {
        QObject::disconnect(finished_);
        QObject::disconnect(destroyed_);
    }

    bool await_ready() const noexcept { return dialog_.isNull(); }
    void await_suspend(std::coroutine_handle<> waiting) {
        waiting_ = waiting;
        finished_ = QObject::connect(dialog_.data(), &QDialog::finished, [this](int result) { settle(result); });
        // A dialog destroyed with its parent window answers as dismissed.
        destroyed_ = QObject::connect(dialog_.data(), &QObject::destroyed, [this] { settle(QDialog::Rejected); });
    }
    int await_resume() const noexcept { return result_; }

private:
    void settle(int result) {
        QObject::disconnect(finished_);
        QObject::disconnect(destroyed_);
        result_ = result;
        QTimer::singleShot(0, QCoreApplication::instance(), [waiting = waiting_] { waiting.resume(); });
    }

    QPointer<QDialog> dialog_;
    std::coroutine_handle<> waiting_;
    QMetaObject::Connection finished_;
    QMetaObject::Connection destroyed_;
    int result_ = QDialog::Rejected;
};

// A window manager gives the keyboard back to the window under a sheet when the sheet closes; without one, X
// leaves it on the root window and the keys the user types next go nowhere. So the window under the sheet is
// activated again, with the focus on the control that had it: the one that opened the sheet. Only while the sheet
// or that window was the active one: a user who went to another application keeps it.
void returnFocusWhenFinished(QDialog *dialog) {
    if (dialog->parentWidget() == nullptr) {
        return;
    }
    QPointer<QWidget> window = dialog->parentWidget()->window();
    QPointer<QWidget> control = window->focusWidget();
    QPointer<QDialog> sheet = dialog;
    QObject::connect(dialog, &QDialog::finished, window, [window, control, sheet] {
        QWidget *active = QApplication::activeWindow();
        bool keyboardWasOurs = active == nullptr || active == sheet || active == window;
        if (!window || !window->isVisible() || !keyboardWasOurs) {
            return;
        }
        if (control && control->isVisible() && control->isEnabled()) {
            control->setFocus(Qt::OtherFocusReason);
        }
        window->activateWindow();
    });
}

void openWindowModal(QDialog *dialog) {
    dialog->setWindowModality(dialog->parentWidget() != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
    returnFocusWhenFinished(dialog);
    dialog->open();
}

QCoro::Task<int> presentMessageBox(QWidget *parent, SettingsAlert alert) {
    QPointer<QMessageBox> box = new QMessageBox(parent);
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
    openWindowModal(box);
    DialogFinished finishing(box);
    co_await finishing;
    if (box.isNull()) {
        co_return 0;
    }
    QAbstractButton *clicked = box->clickedButton();
    box->deleteLater();
    for (std::size_t index = 0; index < buttons.size(); ++index) {
        if (buttons[index] == clicked) {
            co_return firstButtonResponse + static_cast<int>(index);
        }
    }
    co_return 0;
}

QCoro::Task<std::optional<std::filesystem::path>> runFileDialog(QFileDialog *dialog) {
    QPointer<QFileDialog> guarded = dialog;
    openWindowModal(dialog);
    DialogFinished finishing(dialog);
    int result = co_await finishing;
    if (guarded.isNull()) {
        co_return std::nullopt;
    }
    QStringList chosen = guarded->selectedFiles();
    guarded->deleteLater();
    if (result != QDialog::Accepted || chosen.isEmpty()) {
        co_return std::nullopt;
    }
    co_return std::filesystem::path(chosen.constFirst().toStdString());
}

QString dialogFolder(const std::optional<std::filesystem::path> &preferred = std::nullopt) {
    return QString::fromStdString(fileDialogStartFolder(preferred).string());
}

} // namespace

std::filesystem::path fileDialogStartFolder(const std::optional<std::filesystem::path> &preferred) {
    std::error_code error;
    if (preferred && !preferred->empty() && std::filesystem::is_directory(*preferred, error)) {
        return *preferred;
    }
    return QDir::homePath().toStdString();
}

SettingsPresenters SettingsPresenters::live() {
    SettingsPresenters presenters;
    presenters.presentAlert = presentMessageBox;
    presenters.choosePagesFolder = [](QWidget *parent, std::filesystem::path start) {
        auto *dialog = new QFileDialog(parent, QStringLiteral("Choose Pages Folder"), dialogFolder(start));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Use Folder"));
        return runFileDialog(dialog);
    };
    presenters.chooseImportFile = [](QWidget *parent) {
        auto *dialog = new QFileDialog(parent, QStringLiteral("Import Keyboard Settings"), dialogFolder());
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Import"));
        return runFileDialog(dialog);
    };
    presenters.chooseExportFile = [](QWidget *parent) {
        auto *dialog = new QFileDialog(parent, QStringLiteral("Export Keyboard Settings"), dialogFolder());
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
        dialog->setDefaultSuffix(QStringLiteral("json"));
        dialog->selectFile(QStringLiteral("Velto Keyboard Settings.json"));
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Export"));
        return runFileDialog(dialog);
    };
    presenters.revealFolder = [](std::filesystem::path folder, std::function<void(bool shown)> done) {
        fileManager::revealFolder(folder, std::move(done));
    };
    presenters.beep = [] { QApplication::beep(); };
    return presenters;
}

} // namespace velto
