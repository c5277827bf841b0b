// The General, Pages & Storage and Keyboard shortcuts pages of the Settings window: their sections, rows and
// controls, in the order they are shown.
#include "preferences/Preferences.h"
#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsControls.h"
#include "settings/SettingsTasks.h"
#include "settings/SettingsTexts.h"
#include "settings/SettingsViewFactory.h"
#include "settings/SettingsWindowController.h"
#include "ui/HoverButton.h"
#include "ui/HoverIconButton.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include <QtGui/QAction>
#include <QtGui/QGuiApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QScrollArea>

namespace velto {

namespace {

using SettingsViewFactory::makeSwitch;
using SettingsViewFactory::preferenceRow;
using SettingsViewFactory::section;
using Prominence = HoverButton::Prominence;
constexpr auto none = std::nullopt;

QWidget *horizontalStack(std::initializer_list<QWidget *> views, int spacing) {
    auto *stack = new QWidget;
    auto *layout = new QHBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget *view : views) {
        layout->addWidget(view, 0, Qt::AlignVCenter);
    }
    return stack;
}

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

QScrollArea *SettingsWindowController::makeGeneralPage() {
    appearanceControl =
        new SegmentedControl({QStringLiteral("System"), QStringLiteral("Light"), QStringLiteral("Dark")}, 72);
    appearanceControl->setAccessibleName(QStringLiteral("Appearance"));
    appearanceControl->setAccessibleDescription(
        QStringLiteral("Choose whether Velto follows the system appearance or always uses light or dark mode."));
    appearanceControl->onChange = [this](int index) { changeAppearance(index); };

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
        [this] { callbacks_.launchAtLoginService.openSystemSettings(); },
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
        [this] { runDetached(confirmRestoreAllDefaults()); },
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

QScrollArea *SettingsWindowController::makeStoragePage() {
    pagesFolderControl = new PathLabel;
    pagesFolderControl->setAccessibleName(QStringLiteral("Pages folder"));
    pagesFolderButton = new HoverButton;
    VeltoUI::configure(
        *pagesFolderButton, QStringLiteral("Change…"), Prominence::plain, [this] { runDetached(choosePagesFolder()); },
        QStringLiteral("Choose where Velto stores Markdown page files."));
    pagesFolderActionsMenu = new QMenu(QStringLiteral("Pages folder actions"), window_.get());
    revealPagesFolderAction = pagesFolderActionsMenu->addAction(QStringLiteral("Show in File Manager"));
    connect(revealPagesFolderAction, &QAction::triggered, this, [this] { revealPagesFolder(); });
    resetPagesFolderAction = pagesFolderActionsMenu->addAction(QStringLiteral("Reset to Default"));
    connect(resetPagesFolderAction, &QAction::triggered, this, [this] { resetPagesFolder(); });
    pagesFolderActionsButton = new HoverIconButton;
    VeltoUI::configure(*pagesFolderActionsButton, QStringLiteral("ellipsis"), QStringLiteral("Pages folder actions"),
                       [this] {
                           endRecording();
                           pagesFolderActionsMenu->popup(pagesFolderActionsButton->mapToGlobal(QPoint(0, 0)));
                       });

    auto *folderControl = new QWidget;
    auto *folderLayout = new QVBoxLayout(folderControl);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing10));
    auto *pathRow = new QHBoxLayout;
    pathRow->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing8));
    pathRow->addWidget(pagesFolderControl, 1);
    pathRow->addWidget(pagesFolderActionsButton);
    folderLayout->addLayout(pathRow);
    folderLayout->addWidget(pagesFolderButton, 0, Qt::AlignRight);

    archiveSizeLabel = new QLabel;
    archiveSizeLabel->setFont(VeltoUI::systemFont(VeltoUI::Typography::smallSystemFontSize() - 1));
    archiveSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    archiveSizeLabel->setAccessibleName(QStringLiteral("Archived pages storage"));
    deleteArchivedPagesButton = new HoverButton;
    VeltoUI::configure(
        *deleteArchivedPagesButton, SettingsTexts::deleteArchivedPagesTitle(0), Prominence::plain,
        [this] { runDetached(confirmDeleteArchivedPages()); },
        QStringLiteral("Permanently delete every archived Markdown file."));
    auto *archiveControl = new QWidget;
    auto *archiveLayout = new QVBoxLayout(archiveControl);
    archiveLayout->setContentsMargins(0, 0, 0, 0);
    archiveLayout->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing4));
    archiveLayout->addWidget(deleteArchivedPagesButton, 0, Qt::AlignRight);
    archiveLayout->addWidget(archiveSizeLabel, 0, Qt::AlignRight);

    return SettingsViewFactory::page(
        QStringLiteral("Pages & Storage"), none,
        {section(QStringLiteral("Files"),
                 QStringLiteral("Each page is stored as a Markdown file you can sync or edit anywhere."),
                 {SettingsViewFactory::stackedPreferenceRow(
                      QStringLiteral("Pages folder"),
                      QStringLiteral("Choose where Velto stores its Markdown files. Use a synced folder to access "
                                     "them across computers."),
                      folderControl),
                  preferenceRow(QStringLiteral("Archived pages"),
                                QStringLiteral("Archived Markdown files remain available until you delete them."),
                                archiveControl)})});
}

QScrollArea *SettingsWindowController::makeShortcutsPage() {
    shortcutRecorder =
        makeRecorder(QStringLiteral("Show or hide Velto"), VeltoPreferences::defaultGlobalShortcut(), false);
    appendShortcutRecorder = makeRecorder(QStringLiteral("Append clipboard text"),
                                          VeltoPreferences::defaultAppendClipboardShortcut(), false);
    wireGlobalRecorder(shortcutRecorder, true);
    wireGlobalRecorder(appendShortcutRecorder, false);

    std::vector<QWidget *> commandRows;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        const VeltoCommandDescriptor &descriptor = VeltoCommandCatalog::descriptor(id);
        QString name = descriptor.shortcut ? descriptor.shortcut->settingsTitle : descriptor.title;
        std::optional<GlobalShortcut> defaultShortcut;
        if (descriptor.shortcut) {
            defaultShortcut = descriptor.shortcut->defaultShortcut;
        }
        InlineShortcutRecorder *recorder = makeRecorder(name, defaultShortcut, true);
        wireCommandRecorder(recorder, id);
        commandShortcutRecorders.emplace_back(id, recorder);
        commandRows.push_back(preferenceRow(name, none, recorder));
    }

    restoreShortcutsButton = new HoverButton;
    VeltoUI::configure(
        *restoreShortcutsButton, QStringLiteral("Restore default shortcuts"), Prominence::plain,
        [this] { restoreDefaultShortcuts(); },
        QStringLiteral("Restore every Velto keyboard shortcut to its shipped default."));
    restoreShortcutsFooter = new QWidget;
    restoreShortcutsFooter->setFixedHeight(static_cast<int>(VeltoUI::Metrics::controlHeight));
    auto *footerLayout = new QHBoxLayout(restoreShortcutsFooter);
    footerLayout->setContentsMargins(0, 0, 0, 0);
    footerLayout->addStretch(1);
    footerLayout->addWidget(restoreShortcutsButton);

    importKeyboardSettingsButton = new HoverButton;
    VeltoUI::configure(
        *importKeyboardSettingsButton, QStringLiteral("Import…"), Prominence::plain,
        [this] { runDetached(importKeyboardSettings()); },
        QStringLiteral("Import every keyboard shortcut from a Velto JSON file."));
    exportKeyboardSettingsButton = new HoverButton;
    VeltoUI::configure(
        *exportKeyboardSettingsButton, QStringLiteral("Export…"), Prominence::plain,
        [this] { runDetached(exportKeyboardSettings()); },
        QStringLiteral("Export every keyboard shortcut to a Velto JSON file."));

    return SettingsViewFactory::page(
        QStringLiteral("Keyboard shortcuts"),
        QStringLiteral("Press and hold Ctrl when the editor is open to view available shortcuts."),
        {section(QStringLiteral("Global"), none,
                 {preferenceRow(QStringLiteral("Show or hide Velto"),
                                QStringLiteral("Show or hide Velto from anywhere."), shortcutRecorder),
                  preferenceRow(QStringLiteral("Append clipboard text"),
                                QStringLiteral("Append plain text without switching apps."), appendShortcutRecorder)}),
         section(QStringLiteral("App"), none, commandRows, restoreShortcutsFooter),
         section(QStringLiteral("Sharing"), none,
                 {preferenceRow(QStringLiteral("Keyboard settings"),
                                QStringLiteral("Move your shortcuts to another computer or share them with someone "
                                               "else."),
                                horizontalStack({importKeyboardSettingsButton, exportKeyboardSettingsButton}, 8))})});
}

} // namespace velto
