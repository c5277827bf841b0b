#pragma once

#include "app/lifecycle/PagesFolderAccessController.h"
#include "app/shell/SettingsPresentationCoordinator.h"
#include "settings/SettingsCallbacks.h"

#include <QtCore/QObject>
#include <qcoro/qcorotask.h>

#include <memory>

namespace velto {

class ApplicationShell;
class InlineShortcutRecorder;
class SettingsWindowController;
class ShellMenus;

/// The shell's side of the Settings window: creating it once with the application's callables, presenting it,
/// and changing the Pages folder when the window has decided how to connect one.
class ShellSettings : public QObject {
public:
    ShellSettings(ApplicationShell &shell, ShellMenus &menus, PagesFolderAccessController &pagesFolderAccess,
                  SettingsPresentationCoordinator presentation, LaunchAtLoginService launchAtLoginService);
    ~ShellSettings() override;

    /// Shows the Settings window (raised and active), creating it on first use.
    void show();
    /// Shows the window on its Shortcuts page with the show/hide recorder recording: the next combination the
    /// user presses becomes the shortcut.
    void showShowOrHideRecorder();
    /// The same with the clipboard shortcut's recorder.
    void showAppendClipboardRecorder();
    SettingsWindowController *windowController() const { return windowController_.get(); }
    /// Pages archived from the panel, by another writer or by the auto-archive show in a visible window.
    void refreshVisibleWindow();
    /// What the Settings window is given: each callable reaches the shell's current collaborators and does
    /// nothing once these settings are gone.
    SettingsWindowCallbacks makeCallbacks();
    /// Connects the chosen Pages folder: the store first, then the record of it; a failure changes nothing
    /// that is recorded.
    QCoro::Task<void> changePagesFolder(VeltoFolderConnectionDecision decision);

private:
    /// Shows the Shortcuts page with the recorder focused and recording.
    void startRecorder(InlineShortcutRecorder *recorder);

    ApplicationShell &shell_;
    ShellMenus &menus_;
    PagesFolderAccessController &pagesFolderAccess_;
    SettingsPresentationCoordinator presentation_;
    LaunchAtLoginService launchAtLoginService_;
    std::unique_ptr<SettingsWindowController> windowController_;
};

} // namespace velto
