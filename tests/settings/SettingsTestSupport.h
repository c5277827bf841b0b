#pragma once

#include "preferences/Preferences.h"
#include "settings/SettingsWindowController.h"

#include <QtCore/QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

/// Readable failure messages for texts.
inline void PrintTo(const QString &text, std::ostream *stream) {
    *stream << '"' << text.toStdString() << '"';
}

namespace velto::testing {

/// Callables that record every call, answer what the test set, and dialogs that answer from a queue.
struct SettingsDoubles {
    std::vector<std::string> calls;
    std::filesystem::path pagesFolder;
    VeltoArchiveSnapshot archive;
    bool canDelete = true;
    LaunchAtLoginStatus launchStatus = LaunchAtLoginStatus::disabled;
    std::optional<std::string> registerError;
    std::optional<std::string> unregisterError;
    /// Answers of onShortcutChange, in order; empty: both available.
    std::deque<ShortcutRegistrationAvailability> registrations;
    /// What the last registration left usable, as the shell answers it.
    ShortcutRegistrationAvailability availability;
    std::vector<VeltoFolderConnectionDecision> folderChanges;
    std::optional<std::string> folderChangeError;
    std::optional<std::string> deletionError;

    std::vector<SettingsAlert> alerts;
    /// Responses of the alerts, in order; empty: the second button (Cancel in confirmations).
    std::deque<int> alertAnswers;
    std::optional<std::filesystem::path> chosenFolder;
    std::optional<std::filesystem::path> chosenImportFile;
    std::optional<std::filesystem::path> chosenExportFile;
    int beeps = 0;
    /// Whether "Show in File Manager" finds something that opens the folder.
    bool hasFileManager = true;
    /// Called while an alert is on screen.
    std::function<void(const SettingsAlert &)> duringAlert;

    SettingsWindowCallbacks callbacks();
    SettingsPresenters presenters();
    std::vector<std::string> alertTitles() const;
    int count(const std::string &call) const;
};

/// A temporary preferences domain, the doubles and the controller made from them.
class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Made on first use, so a test can change the doubles first.
    SettingsWindowController &controller();
    void makeController(SettingsWindowCallbacks callbacks);
    /// Runs a task of the controller to its end.
    static void finish(QCoro::Task<void> &&task);

    QTemporaryDir folder;
    VeltoNotificationCenter center;
    std::unique_ptr<PreferencesStore> store;
    SettingsDoubles doubles;
    std::unique_ptr<SettingsWindowController> controller_;
    int preferenceChanges = 0;
};

} // namespace velto::testing
