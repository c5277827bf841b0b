#pragma once

#include "preferences/CommandCatalog.h"
#include "preferences/KeyboardSettingsImportWorkflow.h"
#include "settings/AboutSettingsPage.h"
#include "settings/EditorSettingsPage.h"
#include "settings/SettingsCallbacks.h"
#include "settings/SettingsCategory.h"
#include "settings/SettingsPresenters.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtGui/QKeySequence>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QWidget>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QScrollArea;
class QStackedWidget;

namespace velto {

class FontSizeSpinBox;
class HoverButton;
class HoverIconButton;
class InlineShortcutRecorder;
class PathLabel;
class SegmentedControl;

/// The Settings window itself: a top-level window of fixed size (not a dialog, so Escape stays with the
/// recorders). Ctrl+W closes it; closing a visible window runs `didClose`.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int contentWidth = 840;
    static constexpr int contentHeight = 600;
    static constexpr int sidebarWidth = 176;

    SettingsWindow();
    std::function<void()> didClose = [] {};

    /// The keys the window takes itself (Ctrl+W closes it): a menu bar shows them but must not take them too.
    static QList<QKeySequence> ownKeys();
    /// Puts the application's main menu at the top of the window, replacing the one there; the window grows
    /// by the bar's height, so that the pages keep their size.
    void setMenuBar(QMenuBar *menuBar);
    QMenuBar *menuBar() const { return menuBar_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QMenuBar> menuBar_;
};

/// The shortcut values Settings reads and writes, with the registration of the two hot keys.
struct ShortcutSettingsWorkflow {
    std::function<std::optional<GlobalShortcut>()> toggleShortcut;
    std::function<void(const std::optional<GlobalShortcut> &)> setToggleShortcut;
    std::function<std::optional<GlobalShortcut>()> appendShortcut;
    std::function<void(const std::optional<GlobalShortcut> &)> setAppendShortcut;
    std::function<ShortcutRegistrationAvailability()> registerShortcuts;
};

/// Owns the Settings window: the sidebar of five categories, their pages with every control, and what each
/// control does; the Editor and About pages are presenters of their own. Everything it needs from the rest of
/// the application comes in as callables. It is created once and kept: closing only hides the window, and
/// showWindow refreshes every control first. Main thread.
class SettingsWindowController : public QObject {
    Q_OBJECT

public:
    SettingsWindowController(SettingsWindowCallbacks callbacks,
                             SettingsPresenters presenters = SettingsPresenters::live());
    ~SettingsWindowController() override;

    SettingsWindow *window() const { return window_.get(); }

    /// Refreshes, then shows, raises and activates the window.
    void showWindow();
    /// Re-reads every preference and callable into the controls.
    void refresh();
    void showCategory(SettingsCategory category);
    SettingsCategory selectedCategory() const { return selectedCategory_; }
    QScrollArea *page(SettingsCategory category) const;
    EditorSettingsPage &editorPage() const { return *editorPage_; }
    AboutSettingsPage &aboutPage() const { return *aboutPage_; }

    // Shortcuts.
    bool applyShortcut(const std::optional<GlobalShortcut> &shortcut);
    bool applyAppendShortcut(const std::optional<GlobalShortcut> &shortcut);
    bool apply(const std::optional<GlobalShortcut> &shortcut, VeltoCommandID id);
    std::optional<QString> shortcutConflictDescription(const GlobalShortcut &shortcut,
                                                       std::optional<VeltoCommandID> excluding) const;
    void updateShortcutControls();
    void refreshGlobalShortcutLabels();
    /// The recorder that records now, if any.
    InlineShortcutRecorder *recordingRecorder() const;
    /// Ends the active recording (grab released, one report) before anything else takes the keyboard.
    void endRecording();

    // Restoring defaults.
    void restoreDefaultShortcuts();
    QCoro::Task<void> confirmRestoreAllDefaults();
    void restoreAllDefaults();

    // Pages and Storage.
    QCoro::Task<void> choosePagesFolder();
    void resetPagesFolder();
    void revealPagesFolder();
    QCoro::Task<void> assessAndChangePagesFolder(std::filesystem::path folder);
    QCoro::Task<void> confirmDeleteArchivedPages();
    bool isChangingPagesFolder() const { return isChangingPagesFolder_; }

    // Keyboard settings.
    QCoro::Task<void> importKeyboardSettings();
    QCoro::Task<void> exportKeyboardSettings();
    /// Shows the failure alert (a sheet of the window).
    QCoro::Task<void> presentWarning(QString title, QString message,
                                     SettingsAlert::Style style = SettingsAlert::Style::warning);

    const ShortcutSettingsWorkflow &shortcutWorkflow();
    const KeyboardSettingsImportWorkflow &keyboardSettingsImportWorkflow();

    // The controls, for the shell's tests and ours.
    QListWidget *categoryList = nullptr;
    QStackedWidget *pageContainer = nullptr;
    SegmentedControl *appearanceControl = nullptr;
    QComboBox *panelSizeControl = nullptr;
    QCheckBox *launchAtLoginSwitch = nullptr;
    HoverButton *launchAtLoginApprovalButton = nullptr;
    QComboBox *autoArchiveDurationControl = nullptr;
    HoverButton *restoreAllDefaultsButton = nullptr;
    PathLabel *pagesFolderControl = nullptr;
    HoverButton *pagesFolderButton = nullptr;
    HoverIconButton *pagesFolderActionsButton = nullptr;
    QMenu *pagesFolderActionsMenu = nullptr;
    QAction *revealPagesFolderAction = nullptr;
    QAction *resetPagesFolderAction = nullptr;
    QLabel *archiveSizeLabel = nullptr;
    HoverButton *deleteArchivedPagesButton = nullptr;
    InlineShortcutRecorder *shortcutRecorder = nullptr;
    InlineShortcutRecorder *appendShortcutRecorder = nullptr;
    std::vector<std::pair<VeltoCommandID, InlineShortcutRecorder *>> commandShortcutRecorders;
    QWidget *restoreShortcutsFooter = nullptr;
    HoverButton *restoreShortcutsButton = nullptr;
    HoverButton *importKeyboardSettingsButton = nullptr;
    HoverButton *exportKeyboardSettingsButton = nullptr;

    // What the controls send.
    void changeAppearance(int index);
    void changePanelSize(int itemIndex);
    void toggleLaunchAtLogin(bool wanted);
    void changeAutoArchiveDuration(int itemIndex);

private:
    void buildContent();
    QWidget *makeSidebar();
    QScrollArea *makeGeneralPage();
    QScrollArea *makeStoragePage();
    QScrollArea *makeShortcutsPage();
    InlineShortcutRecorder *makeRecorder(const QString &name, std::optional<GlobalShortcut> defaultShortcut,
                                         bool allowsCommandOnly);
    void wireGlobalRecorder(InlineShortcutRecorder *recorder, bool isToggle);
    void wireCommandRecorder(InlineShortcutRecorder *recorder, VeltoCommandID id);
    void recordingChanged(InlineShortcutRecorder *recorder, bool isRecording);
    void didClose();
    void disablePreviewControls(QWidget *page);
    void applyWindowAppearance();
    bool applyGlobalShortcut(const std::optional<GlobalShortcut> &shortcut, bool isToggle);
    void refreshStorageRows();

    enum class ShortcutRestoreOutcome { success, defaultUnavailable, bothUnavailable };
    using ShortcutSnapshot = std::map<VeltoCommandID, std::optional<GlobalShortcut>>;
    static ShortcutSnapshot takeShortcutSnapshot();
    ShortcutRestoreOutcome restoreShortcutsFrom(const ShortcutSnapshot &snapshot);

    QCoro::Task<VeltoFolderConnectionAssessment> assess(std::filesystem::path folder);
    QCoro::Task<VeltoFolderConnectionDecision> connectionDecision(VeltoFolderConnectionAssessment assessment);
    QCoro::Task<VeltoFolderConnectionPromptChoice>
    presentFolderConnectionChoice(VeltoFolderConnectionAssessment assessment);
    QCoro::Task<VeltoFolderConnectionDecision> contentDecision(VeltoFolderConnectionDecision decision,
                                                               VeltoFolderConnectionAssessment original);
    QCoro::Task<void> changePagesFolder(VeltoFolderConnectionDecision decision);
    void endFolderChange();
    QCoro::Task<int> presentAlert(SettingsAlert alert);

    SettingsWindowCallbacks callbacks_;
    SettingsPresenters presenters_;
    std::unique_ptr<SettingsWindow> window_;
    std::unique_ptr<EditorSettingsPage> editorPage_;
    std::unique_ptr<AboutSettingsPage> aboutPage_;
    std::map<SettingsCategory, QScrollArea *> categoryPages_;
    SettingsCategory selectedCategory_ = SettingsCategory::general;
    std::optional<ShortcutSettingsWorkflow> shortcutWorkflow_;
    std::optional<KeyboardSettingsImportWorkflow> keyboardSettingsImportWorkflow_;
    QPointer<InlineShortcutRecorder> recordingRecorder_;
    bool isChangingPagesFolder_ = false;
    bool isImporting_ = false;
};

/// The Settings window for the shell: created once with the application's callables, shown on request.
std::unique_ptr<SettingsWindowController> makeSettingsWindowController(SettingsWindowCallbacks callbacks);

} // namespace velto
