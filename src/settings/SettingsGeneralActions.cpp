// What the controls of the General and Editor pages do: write the preference, then tell the application.
#include "preferences/Preferences.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsWindowController.h"
#include "ui/HoverButton.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>

namespace velto {

namespace {

template <typename Choice> std::optional<Choice> choiceAt(int index) {
    auto cases = allCases<Choice>();
    if (index < 0 || index >= static_cast<int>(cases.size())) {
        return std::nullopt;
    }
    return cases[static_cast<std::size_t>(index)];
}

} // namespace

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

void SettingsWindowController::changeFont(int index) {
    if (std::optional<EditorFontChoice> choice = choiceAt<EditorFontChoice>(index)) {
        VeltoPreferences::setFontChoice(*choice);
        callbacks_.onEditorChange();
    }
}

void SettingsWindowController::changeIndentation(int index) {
    if (std::optional<EditorIndentationChoice> choice = choiceAt<EditorIndentationChoice>(index)) {
        VeltoPreferences::setIndentation(*choice);
        callbacks_.onEditorChange();
    }
}

void SettingsWindowController::changeFontSize(int stepperValue) {
    const auto &sizes = VeltoPreferences::availableFontSizes;
    int index = std::clamp(stepperValue, 0, static_cast<int>(sizes.size()) - 1);
    double size = sizes[static_cast<std::size_t>(index)];
    {
        QSignalBlocker blocking(fontSizeStepper);
        fontSizeStepper->setValue(index);
    }
    VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::editorFontSize), size);
    VeltoPreferences::notifyChange();
    callbacks_.onEditorChange();
}

void SettingsWindowController::toggleSpellingWhileTyping(bool on) {
    EditorTextCheckingSettings settings = VeltoPreferences::textChecking();
    settings.checksSpelling = on;
    VeltoPreferences::setTextChecking(settings);
    callbacks_.onEditorChange();
}

void SettingsWindowController::toggleAutomaticSpellingCorrection(bool on) {
    EditorTextCheckingSettings settings = VeltoPreferences::textChecking();
    settings.correctsSpellingAutomatically = on;
    VeltoPreferences::setTextChecking(settings);
    callbacks_.onEditorChange();
}

void SettingsWindowController::toggleMarkdownFormatting(bool on) {
    VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::formatsMarkdown), on);
    VeltoPreferences::notifyChange();
    callbacks_.onEditorChange();
}

} // namespace velto
