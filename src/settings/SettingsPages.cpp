// The five pages of the Settings window: their sections, rows and controls, in the order they are shown.
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

QCheckBox *makeSwitch(const QString &label, const QString &help) {
    auto *box = new QCheckBox;
    box->setAccessibleName(label);
    box->setAccessibleDescription(help);
    return box;
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

QScrollArea *SettingsWindowController::makeEditorPage() {
    fontControl = new SegmentedControl({QStringLiteral("Monospaced"), QStringLiteral("System")}, 108);
    fontControl->setAccessibleName(QStringLiteral("Editor font"));
    fontControl->onChange = [this](int index) { changeFont(index); };

    fontSizeStepper = new FontSizeSpinBox;
    fontSizeStepper->setAccessibleName(QStringLiteral("Editor text size"));
    fontSizeStepper->setAccessibleDescription(QStringLiteral("Increase or decrease the editor text size in points."));
    connect(fontSizeStepper, &QSpinBox::valueChanged, this, [this](int value) { changeFontSize(value); });

    indentationControl =
        new SegmentedControl({QStringLiteral("Tab"), QStringLiteral("2 Spaces"), QStringLiteral("4 Spaces")}, 70);
    indentationControl->setAccessibleName(QStringLiteral("Editor indentation"));
    indentationControl->setAccessibleDescription(
        QStringLiteral("Choose a tab character, two spaces, or four spaces for indentation."));
    indentationControl->onChange = [this](int index) { changeIndentation(index); };

    spellingWhileTypingSwitch = makeSwitch(QStringLiteral("Check spelling while typing"),
                                           QStringLiteral("Underline misspelled words while typing in the editor."));
    connect(spellingWhileTypingSwitch, &QCheckBox::clicked, this, [this](bool on) { toggleSpellingWhileTyping(on); });
    automaticSpellingCorrectionSwitch =
        makeSwitch(QStringLiteral("Correct spelling automatically"),
                   QStringLiteral("Allow Velto to replace misspelled words while typing."));
    connect(automaticSpellingCorrectionSwitch, &QCheckBox::clicked, this,
            [this](bool on) { toggleAutomaticSpellingCorrection(on); });
    formatMarkdownSwitch =
        makeSwitch(QStringLiteral("Format Markdown"),
                   QStringLiteral("Style headings, links, lists, and other Markdown in the editor."));
    connect(formatMarkdownSwitch, &QCheckBox::clicked, this, [this](bool on) { toggleMarkdownFormatting(on); });

    return SettingsViewFactory::page(
        QStringLiteral("Editor"), none,
        {section(QStringLiteral("Text"), none,
                 {preferenceRow(QStringLiteral("Font"), none, fontControl),
                  preferenceRow(QStringLiteral("Text size"), none, fontSizeStepper),
                  preferenceRow(QStringLiteral("Indentation"),
                                QStringLiteral("Used by Tab and automatic code indentation."), indentationControl),
                  preferenceRow(QStringLiteral("Check spelling while typing"),
                                QStringLiteral("Underline misspelled words as you type."), spellingWhileTypingSwitch),
                  preferenceRow(QStringLiteral("Correct spelling automatically"),
                                QStringLiteral("Let Velto replace misspelled words as you type."),
                                automaticSpellingCorrectionSwitch)}),
         section(QStringLiteral("Markdown"), none,
                 {preferenceRow(QStringLiteral("Format Markdown"),
                                QStringLiteral("Render Markdown as you type while keeping the source editable."),
                                formatMarkdownSwitch)})});
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

QScrollArea *SettingsWindowController::makeAboutPage() {
    auto *identity = new QWidget;
    auto *identityLayout = new QHBoxLayout(identity);
    identityLayout->setContentsMargins(0, 14, 0, 14);
    identityLayout->setSpacing(16);
    auto *icon = new QLabel;
    icon->setFixedSize(72, 72);
    icon->setAccessibleName(QStringLiteral("Velto app icon"));
    icon->setPixmap(QGuiApplication::windowIcon().pixmap(72, 72));
    auto *name = new QLabel(QStringLiteral("Velto"));
    name->setFont(VeltoUI::systemFont(17, QFont::DemiBold));
    auto *version = new QLabel(callbacks_.applicationVersion);
    version->setObjectName(QStringLiteral("applicationVersion"));
    version->setFont(VeltoUI::systemFont(12));
    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(name);
    texts->addWidget(version);
    identityLayout->addWidget(icon, 0, Qt::AlignTop);
    identityLayout->addLayout(texts, 1);

    bool canSendFeedback = static_cast<bool>(callbacks_.onSendFeedback);
    sendFeedbackButton = new HoverButton;
    VeltoUI::configure(
        *sendFeedbackButton, QStringLiteral("Send Feedback…"), Prominence::plain,
        [this] {
            if (callbacks_.onSendFeedback) {
                callbacks_.onSendFeedback();
            }
        },
        canSendFeedback ? QStringLiteral("Compose an email with Velto diagnostic details.")
                        : QStringLiteral("Feedback by email is unavailable in this build."));
    sendFeedbackButton->setEnabled(canSendFeedback);
    bool canViewChangelog = static_cast<bool>(callbacks_.onViewChangelog);
    viewChangelogButton = new HoverButton;
    VeltoUI::configure(
        *viewChangelogButton, QStringLiteral("View Changelog"), Prominence::plain,
        [this] {
            if (callbacks_.onViewChangelog) {
                callbacks_.onViewChangelog();
            }
        },
        canViewChangelog ? QStringLiteral("Open the Velto changelog in your default browser.")
                         : QStringLiteral("The changelog is unavailable in this build."));
    viewChangelogButton->setEnabled(canViewChangelog);

    bool canCheck = static_cast<bool>(callbacks_.onCheckForUpdates);
    checkForUpdatesButton = new HoverButton;
    VeltoUI::configure(
        *checkForUpdatesButton, QStringLiteral("Check for Updates…"), Prominence::plain,
        [this] {
            if (callbacks_.onCheckForUpdates) {
                callbacks_.onCheckForUpdates();
            }
        },
        canCheck ? QStringLiteral("Check the signed Velto update feed for a newer version.")
                 : QStringLiteral("Update checks are unavailable in this build."));
    checkForUpdatesButton->setEnabled(canCheck);

    bool canToggle = callbacks_.automaticUpdateChecks && callbacks_.onAutomaticUpdateChecksChange;
    automaticUpdateChecksSwitch =
        makeSwitch(QStringLiteral("Automatically check for updates"),
                   canToggle ? QStringLiteral("Periodically check the signed Velto update feed for new versions.")
                             : QStringLiteral("Automatic update checks are unavailable in this build."));
    automaticUpdateChecksSwitch->setEnabled(canToggle);
    connect(automaticUpdateChecksSwitch, &QCheckBox::clicked, this, [this](bool on) {
        if (callbacks_.onAutomaticUpdateChecksChange) {
            callbacks_.onAutomaticUpdateChecksChange(on);
        }
    });

    return SettingsViewFactory::page(
        QStringLiteral("About Velto"), none,
        {section(QStringLiteral("Application"), none, {identity}),
         section(QStringLiteral("Support"), none,
                 {preferenceRow(QStringLiteral("Send feedback"),
                                QStringLiteral("Report a problem, ask a question, or suggest an improvement."),
                                sendFeedbackButton),
                  preferenceRow(QStringLiteral("Changelog"),
                                QStringLiteral("See what’s new in this version and earlier releases."),
                                viewChangelogButton),
                  preferenceRow(QStringLiteral("Automatically check for updates"),
                                QStringLiteral("Periodically check for new versions and notify you when one is "
                                               "available."),
                                automaticUpdateChecksSwitch),
                  preferenceRow(QStringLiteral("Check for updates"),
                                QStringLiteral("Check whether a newer version of Velto is available."),
                                checkForUpdatesButton)})});
}

} // namespace velto
