#include "settings/GeneralSettingsPage.h"

#include "preferences/Preferences.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsPageHost.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsViewFactory.h"
#include "ui/HoverButton.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QScrollArea>

namespace velto {

namespace {

using SettingsViewFactory::horizontalStack;
using SettingsViewFactory::makeSwitch;
using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
using Prominence = HoverButton::Prominence;
constexpr auto none = std::nullopt;

QComboBox *makePopUp(const std::vector<std::pair<QString, QString>> &items, const QString &separatorBefore) {
    auto *popUp = new QComboBox;
    popUp->setFixedWidth(152);
    for (const auto &[title, raw] : items) {
        if (raw == separatorBefore) {
            popUp->insertSeparator(popUp->count());
        }
        popUp->addItem(title, raw);
    }
    return popUp;
}

} // namespace

GeneralSettingsPage::GeneralSettingsPage(const GeneralSettingsActions &actions, bool isPreview, SettingsPageHost &host)
    : actions_(actions)
    , isPreview_(isPreview)
    , host_(host) {}

QScrollArea *GeneralSettingsPage::makePage() {
    appearanceControl =
        new SegmentedControl({QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark")}, 72);
    appearanceControl->setAccessibleName(QStringLiteral("Appearance"));
    appearanceControl->setAccessibleDescription(
        QStringLiteral("Choose whether Velto follows the system appearance or always uses light or dark mode."));
    connect(appearanceControl, &SegmentedControl::picked, this, &GeneralSettingsPage::changeAppearance);

    std::vector<std::pair<QString, QString>> sizes;
    for (PanelSizeChoice choice : allCases<PanelSizeChoice>()) {
        sizes.emplace_back(SettingsTexts::panelSizeTitle(PanelSizeMode::presetMode(choice)), rawValue(choice));
    }
    sizes.emplace_back(QStringLiteral("Custom"), QStringLiteral("custom"));
    panelSizeControl = makePopUp(sizes, QStringLiteral("custom"));
    panelSizeControl->setAccessibleName(QStringLiteral("Opening size"));
    panelSizeControl->setAccessibleDescription(
        QStringLiteral("Choose a fixed panel size, or Custom to resize from the panel corner."));
    connect(panelSizeControl, &QComboBox::activated, this, [this](int index) { changePanelSize(index); });

    launchAtLoginSwitch = makeSwitch(QStringLiteral("Launch Velto at login"),
                                     QStringLiteral("Automatically open Velto when you log in to this computer."));
    connect(launchAtLoginSwitch, &QCheckBox::clicked, this, [this](bool on) { toggleLaunchAtLogin(on); });
    launchAtLoginApprovalButton = new HoverButton;
    VeltoUI::configure(
        *launchAtLoginApprovalButton, QStringLiteral("Approval Required…"), Prominence::plain,
        [this] { actions_.launchAtLoginService.openSystemSettings(); },
        QStringLiteral("Open your desktop’s startup applications to allow Velto to launch."));

    std::vector<std::pair<QString, QString>> periods;
    for (AutoArchiveDuration duration : allCases<AutoArchiveDuration>()) {
        periods.emplace_back(SettingsTexts::autoArchiveTitle(duration), rawValue(duration));
    }
    autoArchiveDurationControl = makePopUp(periods, QStringLiteral("never"));
    autoArchiveDurationControl->setAccessibleName(QStringLiteral("Auto-archive pages"));
    autoArchiveDurationControl->setAccessibleDescription(
        QStringLiteral("Choose how long pages can remain unedited before they are archived. Their Markdown files "
                       "are not deleted."));
    connect(autoArchiveDurationControl, &QComboBox::activated, this,
            [this](int index) { changeAutoArchiveDuration(index); });

    restoreAllDefaultsButton = new HoverButton;
    VeltoUI::configure(
        *restoreAllDefaultsButton, QStringLiteral("Restore all defaults…"), Prominence::plain,
        [this] { runDetached(host_.confirmRestoreAllDefaults()); },
        QStringLiteral("Restore application preferences without changing pages or the archive."));

    return SettingsViewFactory::page(
        QStringLiteral("General"), none,
        {section(QStringLiteral("Appearance & behavior"), none,
                 {preferenceRow(QStringLiteral("Appearance"), none, appearanceControl),
                  preferenceRow(QStringLiteral("Opening size"), none, panelSizeControl),
                  preferenceRow(QStringLiteral("Launch at login"),
                                QStringLiteral("Start Velto in the system tray when you sign in."),
                                horizontalStack({launchAtLoginApprovalButton, launchAtLoginSwitch}, 10))}),
         section(QStringLiteral("Pages"), none,
                 {preferenceRow(QStringLiteral("Auto-archive pages"),
                                QStringLiteral("Move unedited pages out of navigation while keeping their Markdown "
                                               "files."),
                                autoArchiveDurationControl)}),
         section(QStringLiteral("Defaults"), none,
                 {preferenceRow(QStringLiteral("All settings"),
                                QStringLiteral("Restore preferences and shortcuts without changing your pages."),
                                restoreAllDefaultsButton)})});
}

void GeneralSettingsPage::refresh() {
    appearanceControl->setSelectedIndex(static_cast<int>(VeltoPreferences::appearance()));
    panelSizeControl->setCurrentIndex(
        panelSizeControl->findText(SettingsTexts::panelSizeTitle(VeltoPreferences::panelSizeMode())));
    LaunchAtLoginStatus status = actions_.launchAtLoginService.currentStatus();
    {
        QSignalBlocker blocking(launchAtLoginSwitch);
        launchAtLoginSwitch->setChecked(status == LaunchAtLoginStatus::enabled ||
                                        status == LaunchAtLoginStatus::requiresApproval);
    }
    launchAtLoginApprovalButton->setVisible(status == LaunchAtLoginStatus::requiresApproval);
    autoArchiveDurationControl->setCurrentIndex(
        autoArchiveDurationControl->findText(SettingsTexts::autoArchiveTitle(VeltoPreferences::autoArchiveDuration())));
}

void GeneralSettingsPage::updateRestoreAllDefaultsButton(bool commandShortcutsAtDefaults) {
    bool canRestoreAll = !VeltoPreferences::isUsingDefaults() || !commandShortcutsAtDefaults;
    if (!canRestoreAll) {
        LaunchAtLoginStatus status = actions_.launchAtLoginService.currentStatus();
        canRestoreAll = status != LaunchAtLoginStatus::enabled && status != LaunchAtLoginStatus::requiresApproval;
    }
    restoreAllDefaultsButton->setEnabled(canRestoreAll && !isPreview_);
}

void GeneralSettingsPage::changeAppearance(int index) {
    std::optional<AppearanceChoice> choice = choiceAt<AppearanceChoice>(index);
    if (!choice) {
        return;
    }
    VeltoPreferences::setAppearance(*choice);
    actions_.onAppearanceChange();
    host_.applyWindowAppearance();
}

void GeneralSettingsPage::changePanelSize(int itemIndex) {
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
    actions_.onPanelSizeChange();
}

void GeneralSettingsPage::toggleLaunchAtLogin(bool wanted) {
    const LaunchAtLoginService &service = actions_.launchAtLoginService;
    LaunchAtLoginStatus status = service.currentStatus();
    bool isOn = status == LaunchAtLoginStatus::enabled || status == LaunchAtLoginStatus::requiresApproval;
    try {
        if (wanted && !isOn) {
            service.registerService();
        } else if (!wanted && isOn) {
            service.unregisterService();
        }
    } catch (const std::exception &error) {
        host_.refresh();
        runDetached(
            host_.presentWarning(QStringLiteral("Couldn’t Change Open at Login"), QString::fromUtf8(error.what())));
        return;
    }
    host_.refresh();
}

void GeneralSettingsPage::changeAutoArchiveDuration(int itemIndex) {
    std::optional<AutoArchiveDuration> duration =
        choiceFromRawValue<AutoArchiveDuration>(autoArchiveDurationControl->itemData(itemIndex).toString());
    if (!duration) {
        return;
    }
    VeltoPreferences::setAutoArchiveDuration(*duration);
    actions_.onAutoArchiveChange(*duration);
    host_.refresh();
}

} // namespace velto
