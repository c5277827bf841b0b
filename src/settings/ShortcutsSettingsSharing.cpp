// The "Sharing" section of the Shortcuts page: keyboard settings exported to a file and imported from one.
#include "preferences/KeyboardSettingsFile.h"
#include "preferences/Preferences.h"
#include "settings/SettingsPageHost.h"
#include "settings/SettingsTexts.h"
#include "settings/ShortcutsSettingsPage.h"
#include "ui/HoverButton.h"

#include <QtCore/QSaveFile>
#include <qcorofuture.h>

namespace velto {

namespace {

const QString invalidFile = QStringLiteral("This file isn’t a valid Velto keyboard settings file.");

class KeyboardSettingsExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void writeAtomically(const std::filesystem::path &file, const QByteArray &bytes) {
    QSaveFile saving(QString::fromStdString(file.string()));
    if (!saving.open(QIODevice::WriteOnly) || saving.write(bytes) != bytes.size() || !saving.commit()) {
        throw KeyboardSettingsExportError(saving.errorString().toStdString());
    }
}

} // namespace

const KeyboardSettingsImportWorkflow &ShortcutsSettingsPage::keyboardSettingsImportWorkflow() {
    if (!keyboardSettingsImportWorkflow_) {
        keyboardSettingsImportWorkflow_ = KeyboardSettingsImportWorkflow{
            [] { return VeltoPreferences::keyboardSettings(); },
            [](const KeyboardSettings &settings) {
                VeltoPreferences::storage().performBatch([&] { VeltoPreferences::setKeyboardSettings(settings); });
            },
            [this] { return actions_.onShortcutChange(); },
        };
    }
    return *keyboardSettingsImportWorkflow_;
}

QCoro::Task<void> ShortcutsSettingsPage::exportKeyboardSettings() {
    host_.endRecording();
    QPointer<ShortcutsSettingsPage> self = this;
    auto choosing = presenters_.chooseExportFile(host_.pageWindow());
    std::optional<std::filesystem::path> file = co_await choosing;
    if (!self || !file) {
        co_return;
    }
    std::optional<QString> failure;
    try {
        writeAtomically(*file, KeyboardSettingsFile::encode(VeltoPreferences::keyboardSettings()));
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    if (failure) {
        QCoro::Task<void> warning = host_.presentWarning(QStringLiteral("Couldn’t Export Keyboard Settings"), *failure);
        co_await warning;
    }
}

QCoro::Task<void> ShortcutsSettingsPage::importKeyboardSettings() {
    if (isImporting_) {
        co_return;
    }
    host_.endRecording();
    QPointer<ShortcutsSettingsPage> self = this;
    auto choosing = presenters_.chooseImportFile(host_.pageWindow());
    std::optional<std::filesystem::path> file = co_await choosing;
    if (!self || !file) {
        co_return;
    }
    isImporting_ = true;
    importKeyboardSettingsButton->setEnabled(false);
    exportKeyboardSettingsButton->setEnabled(false);
    std::optional<QString> failure;
    std::optional<KeyboardSettings> settings;
    try {
        // A named pipe or a device would never end; only a regular file can be a settings file.
        std::error_code error;
        if (!std::filesystem::is_regular_file(*file, error) && std::filesystem::exists(*file, error)) {
            throw KeyboardSettingsFileError::invalid(invalidFile.toStdString());
        }
        QFuture<QByteArray> loading = KeyboardSettingsFile::loadData(*file);
        auto awaiting = qCoro(loading);
        co_await awaiting.waitForFinished();
        settings = KeyboardSettingsFile::decode(loading.result());
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(error.what());
    }
    if (!self) {
        co_return;
    }
    SettingsAlert alert;
    if (failure) {
        alert.title = QStringLiteral("Couldn’t Import Keyboard Settings");
        alert.message = *failure;
    } else {
        std::optional<KeyboardSettingsImportFailure> outcome = keyboardSettingsImportWorkflow().apply(*settings);
        host_.updateShortcutControls();
        alert = SettingsTexts::importOutcomeAlert(outcome);
    }
    QCoro::Task<void> reporting = host_.presentWarning(alert.title, alert.message, alert.style);
    isImporting_ = false;
    importKeyboardSettingsButton->setEnabled(true);
    exportKeyboardSettingsButton->setEnabled(true);
    co_await reporting;
}

} // namespace velto
