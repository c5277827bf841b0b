#pragma once

#include "settings/SettingsCallbacks.h"

#include <QtCore/QObject>

class QCheckBox;
class QComboBox;
class QScrollArea;

namespace velto {

class HoverButton;
class SegmentedControl;
class SettingsPageHost;

/// The General page of the Settings window: the appearance, the panel's opening size, launching at login,
/// auto-archiving and restoring all defaults. Each control writes its preference, then tells the application.
class GeneralSettingsPage : public QObject {
public:
    /// `actions` are the window's, kept by it for as long as the page lives; a preview disables the controls.
    GeneralSettingsPage(const GeneralSettingsActions &actions, bool isPreview, SettingsPageHost &host);

    /// Builds the page's controls; called once, the window owns what it returns.
    QScrollArea *makePage();
    /// Shows the stored preferences and whether Velto launches at login.
    void refresh();
    /// "Restore all defaults" is offered while anything differs from the defaults, launching at login included.
    void updateRestoreAllDefaultsButton(bool commandShortcutsAtDefaults);

    void changeAppearance(int index);
    void changePanelSize(int itemIndex);
    void toggleLaunchAtLogin(bool wanted);
    void changeAutoArchiveDuration(int itemIndex);

    SegmentedControl *appearanceControl = nullptr;
    QComboBox *panelSizeControl = nullptr;
    QCheckBox *launchAtLoginSwitch = nullptr;
    HoverButton *launchAtLoginApprovalButton = nullptr;
    QComboBox *autoArchiveDurationControl = nullptr;
    HoverButton *restoreAllDefaultsButton = nullptr;

private:
    const GeneralSettingsActions &actions_;
    bool isPreview_;
    SettingsPageHost &host_;
};

} // namespace velto
