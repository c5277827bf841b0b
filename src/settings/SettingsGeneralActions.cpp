// What the controls of the General page do: write the preference, then tell the application.
#include "preferences/Preferences.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWindowController.h"
#include "ui/HoverButton.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>

namespace velto {

void SettingsWindowController::changeAppearance(int index) {
    std::optional<AppearanceChoice> choice = choiceAt<AppearanceChoice>(index);
    if (!choice) {
        return;
    }
    VeltoPreferences::setAppearance(*choice);
    callbacks_.onAppearanceChange();
    applyWindowAppearance();
}

void SettingsWindowController::changePanelSize(int itemIndex) {
    QVariant data = panelSizeControl->itemData(itemIndex);
    if (data.typeId() != QMetaType::QString) {
        return;
    }
    QString raw = data.toString();
    DefaultsDomain &defaults = VeltoPreferences::storage().defaults();
    if (raw == QStringLiteral("custom")) {
        defaults.set(QString::fromLatin1(PreferenceKeys::panelSizeMode), QStringLiteral("custom"));
    } else {
        std::optional<PanelSizeChoice> choice = choiceFromRawValue<PanelSizeChoice>(raw);
        if (!choice) {
            return;
        }
        VeltoPreferences::setPanelSize(*choice);
        defaults.set(QString::fromLatin1(PreferenceKeys::panelSizeMode), QStringLiteral("preset"));
    }
    VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    VeltoPreferences::notifyChange();
    callbacks_.onPanelSizeChange();
}

void SettingsWindowController::toggleLaunchAtLogin(bool wanted) {
    LaunchAtLoginService &service = callbacks_.launchAtLoginService;
    LaunchAtLoginStatus status = service.currentStatus();
    bool isOn = status == LaunchAtLoginStatus::enabled || status == LaunchAtLoginStatus::requiresApproval;
    try {
        if (wanted && !isOn) {
            service.registerService();
        } else if (!wanted && isOn) {
            service.unregisterService();
        }
    } catch (const std::exception &error) {
        refresh();
        runDetached(presentWarning(QStringLiteral("Couldn’t Change Open at Login"), QString::fromUtf8(error.what())));
        return;
    }
    refresh();
}

void SettingsWindowController::changeAutoArchiveDuration(int itemIndex) {
    std::optional<AutoArchiveDuration> duration =
        choiceFromRawValue<AutoArchiveDuration>(autoArchiveDurationControl->itemData(itemIndex).toString());
    if (!duration) {
        return;
    }
    VeltoPreferences::setAutoArchiveDuration(*duration);
    callbacks_.onAutoArchiveChange(*duration);
    refresh();
}

} // namespace velto
