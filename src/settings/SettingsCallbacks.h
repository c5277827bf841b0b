#pragma once

#include "library/copy/FolderConnectionAssessment.h"
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

/// What the General page tells the application after writing a preference, and launching at login.
struct GeneralSettingsActions {
    std::function<void()> onAppearanceChange = [] {};
    std::function<void()> onPanelSizeChange = [] {};
    std::function<void(AutoArchiveDuration)> onAutoArchiveChange = [](AutoArchiveDuration) {};
    LaunchAtLoginService launchAtLoginService;
};

/// What the Pages & Storage page reads of the library and asks of the application.
struct StorageSettingsActions {
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
};

/// What the Keyboard Shortcuts page asks of the application.
struct ShortcutSettingsActions {
    /// Registers both global hot keys again from the stored shortcuts; answers which are usable.
    std::function<ShortcutRegistrationAvailability()> onShortcutChange = [] {
        return ShortcutRegistrationAvailability{};
    };
    /// Which global hot keys the last registration left usable.
    std::function<ShortcutRegistrationAvailability()> availability = [] { return ShortcutRegistrationAvailability{}; };
    KeyboardLayoutTranslator keyboardLayoutTranslator = KeyboardLayoutTranslator::unavailable();
};

/// What the About page shows and offers.
struct AboutSettingsActions {
    /// The version line ("Version 2.1 (88)", "Development build").
    QString applicationVersion;
    /// Optional: absent when the build names no feedback address; the button is then disabled.
    std::function<void()> onSendFeedback;
    /// Optional: absent when the build names no changelog page; the button is then disabled.
    std::function<void()> onViewChangelog;
};

/// Everything the Settings window needs from the rest of the application, handed over once when the window
/// is created: each page is given only its own part. Optional callables may stay empty; the others must be set.
struct SettingsWindowCallbacks {
    GeneralSettingsActions general;
    /// The Editor page changed an editor preference.
    std::function<void()> onEditorChange = [] {};
    StorageSettingsActions storage;
    ShortcutSettingsActions shortcuts;
    AboutSettingsActions about;
    /// A recorder started (true) or stopped (false) recording: the shell takes its hot keys off meanwhile.
    std::function<void(bool)> onShortcutRecordingChange = [](bool) {};
    std::function<void()> onClose = [] {};
    /// Every control of a shown page is disabled.
    bool isPreview = false;
};

/// The assessment the window uses when its creator gives none: the page library's, on a worker thread, after
/// checking that the folder can be listed and written (a folder that cannot fails here, before any question).
QCoro::Task<VeltoFolderConnectionAssessment> defaultPagesFolderAssessment(std::filesystem::path folder);

} // namespace velto
