#pragma once

#include "library/FolderConnectionAssessment.h"
#include "model/ArchiveSnapshot.h"
#include "preferences/KeyboardLayoutTranslator.h"
#include "preferences/PreferenceChoices.h"
#include "preferences/ShortcutRegistrationAvailability.h"
#include "settings/FolderConnectionDecision.h"

#include <QtCore/QString>
#include <qcorotask.h>

#include <filesystem>
#include <functional>
#include <set>

namespace velto {

enum class LaunchAtLoginStatus { enabled, requiresApproval, disabled, unavailable };

/// Whether Velto starts at login, and the means to change it. `registerService` and `unregisterService`
/// throw an exception whose what() is the sentence shown to the user.
struct LaunchAtLoginService {
    std::function<LaunchAtLoginStatus()> currentStatus = [] { return LaunchAtLoginStatus::unavailable; };
    std::function<void()> registerService = [] {};
    std::function<void()> unregisterService = [] {};
    std::function<void()> openSystemSettings = [] {};
};

/// Everything the Settings window needs from the rest of the application, handed over once when the window
/// is created. Optional callables may stay empty; the others must be set.
struct SettingsWindowCallbacks {
    std::function<void()> onAppearanceChange = [] {};
    std::function<void()> onPanelSizeChange = [] {};
    std::function<void()> onEditorChange = [] {};
    std::function<void(AutoArchiveDuration)> onAutoArchiveChange = [](AutoArchiveDuration) {};
    std::function<std::filesystem::path()> pagesFolderURL;
    std::function<VeltoArchiveSnapshot()> archiveSnapshot = [] { return VeltoArchiveSnapshot::empty(); };
    std::function<bool()> canDeleteArchivedPages = [] { return false; };
    /// Deletes the confirmed archived pages; answers how many went.
    std::function<QCoro::Task<int>(std::set<Uuid>)> onDeleteConfirmedArchivedPages;
    /// Empty: the window's own assessment on a worker thread (see defaultPagesFolderAssessment).
    std::function<QCoro::Task<VeltoFolderConnectionAssessment>(std::filesystem::path)> assessPagesFolder;
    /// Optional: answers in place of the connection dialogs.
    std::function<QCoro::Task<VeltoFolderConnectionDecision>(VeltoFolderConnectionAssessment)>
        choosePagesFolderConnection;
    /// Optional: answers in place of the content dialog.
    std::function<QCoro::Task<VeltoFolderContentChoice>(VeltoFolderConnectionAssessment)> choosePagesFolderContent;
    /// Connects the new Pages folder as decided; only ever given a connect decision.
    std::function<QCoro::Task<void>(VeltoFolderConnectionDecision)> onPagesFolderChange;
    /// Registers both global hot keys again from the stored shortcuts; answers which are usable.
    std::function<ShortcutRegistrationAvailability()> onShortcutChange = [] {
        return ShortcutRegistrationAvailability{};
    };
    /// A recorder started (true) or stopped (false) recording: the shell takes its hot keys off meanwhile.
    std::function<void(bool)> onShortcutRecordingChange = [](bool) {};
    /// Optional: absent when the build names no feedback address; the button is then disabled.
    std::function<void()> onSendFeedback;
    /// Optional: absent when the build names no changelog page; the button is then disabled.
    std::function<void()> onViewChangelog;
    std::function<void()> onCheckForUpdates;                 // optional
    std::function<bool()> automaticUpdateChecks;             // optional
    std::function<void(bool)> onAutomaticUpdateChecksChange; // optional
    LaunchAtLoginService launchAtLoginService;
    std::function<void()> onClose = [] {};
    KeyboardLayoutTranslator keyboardLayoutTranslator = KeyboardLayoutTranslator::unavailable();
    /// The version line of the About page ("Version 2.1 (88)", "Development build").
    QString applicationVersion;
    /// Every control of a shown page is disabled.
    bool isPreview = false;
};

/// The assessment the window uses when its creator gives none: the page library's, on a worker thread, after
/// checking that the folder can be listed and written (a folder that cannot fails here, before any question).
QCoro::Task<VeltoFolderConnectionAssessment> defaultPagesFolderAssessment(std::filesystem::path folder);

} // namespace velto
