#pragma once

#include "editor/editing/EditingObserver.h"
#include "editor/highlight/CodeSyntaxHighlighting.h"
#include "editor/text/EditorSettings.h"
#include "editor/text/ObserverList.h"
#include "editor/text/VeltoTheme.h"
#include "editor_view/view/TextViewCommandHost.h"
#include "page_editor/EditorCoordinatorPanel.h"
#include "panel/hints/ShortcutHintTransitions.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/pages/PageOperationUndoLedger.h"
#include "panel/pages/PageOperations.h"
#include "panel/window/PanelControlling.h"
#include "panel/window/PanelPageControlling.h"
#include "panel/window/PanelPopover.h"
#include "platform/desktop/Scheduler.h"
#include "preferences/CommandRegistry.h"
#include "preferences/LocalShortcutRouter.h"
#include "preferences/PreferenceChoices.h"
#include "store/ConflictResolution.h"

#include <QtCore/QObject>
#include <qcoro/qcorotask.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace velto {

class VeltoStore;
class VeltoPanelView;
class PanelFeedbackController;
class ShortcutHintsPanelController;
class VeltoPanelMenuController;
class BrowsePagesWindow;
class TextViewCoordinatorView;
class SpellingService;
namespace editor {
class EditorSettingsFeed;
class SpellChecker;
class VeltoEditorCoordinator;
class VeltoTextView;
class UndoManager;
} // namespace editor

/// Owns the panel: its window, the panel view with the editor, the editor coordinator, the page-editing
/// session, the page operations and the command registry; the services the editor works with (highlighting,
/// spelling) are given to it. It routes the user's commands, refuses appends while
/// a page operation runs, changes the panel's size, the font size and live formatting, and shows the hold-Ctrl
/// shortcut hints. The shell creates one once the store has loaded. Main thread only.
class VeltoPanelController : public VeltoPanelControlling,
                             public VeltoPanelPageControlling,
                             private PageOperationsPresenter,
                             private editor::TextViewCommandHost,
                             private editor::EditingObserver,
                             private editor::EditorCoordinatorPanel {
public:
    struct Options {
        PopoverBehavior popoverBehavior = PopoverBehavior::transient;
        /// The editor's debouncing; nullptr means Qt timers.
        VeltoScheduler *editorScheduler = nullptr;
        /// The shortcut hints' dwell; nullptr means Qt timers.
        VeltoScheduler *hintScheduler = nullptr;
        /// Highlights the code blocks; nullptr leaves them unhighlighted. The application gives highlight.js.
        std::shared_ptr<editor::CodeSyntaxHighlighting> codeHighlighter;
        /// Checks and corrects the spelling; nullptr leaves it unchecked. The application gives the desktop's.
        std::shared_ptr<SpellingService> spellingService;
        /// The panel's commands and their shortcuts; empty means the catalog's with the user's keys.
        std::function<CommandShortcuts()> commandShortcuts;
        /// The system beep; empty means QApplication::beep.
        std::function<void()> beep;
        /// Asks before a destructive choice in Browse Pages or the tray menu (message, informative text, action
        /// button); true to go on. Empty means a message box.
        std::function<bool(const QString &, const QString &, const QString &)> confirm;
        std::size_t undoByteLimit = PageOperationUndoLedger::defaultByteLimit;
    };

    static constexpr std::chrono::milliseconds shortcutHintDwell{700};

    explicit VeltoPanelController(VeltoStore &store);
    VeltoPanelController(VeltoStore &store, Options options);
    ~VeltoPanelController() override;

    // ---- what the shell uses ----

    void show(std::optional<QRect> anchor) override;
    void showForShortcut(std::optional<QRect> anchor, std::uint32_t keyEventTime) override;
    bool isShown() const override;
    QWindow *panelWindow() const override;
    std::optional<std::chrono::steady_clock::time_point> lastSelfCloseTime() const override;
    void close() override;
    void dropNavigationSession() override;
    void stopShortcutHintMonitoring() override;
    void flushPendingChanges() override;
    bool canAppendToCurrentPage() const override;
    QString currentPageText() const override;
    bool append(const QString &text) override;
    void showFeedback(const PanelFeedback &feedback) override;
    void applyPreferredAppearance() override;
    QMenu *makeStatusMenu() override;
    VeltoPanelPageControlling *pageControlling() override { return this; }

    // ---- what Settings and the main menu change ----

    void applyPanelSizePreference() override;
    void applyEditorPreferences() override;
    void prepareForAutoArchiveChange() override;
    void prepareForPagesFolderChange() override;
    void pagesFolderDidChange() override;
    QCoro::Task<int> deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) override;
    QCoro::Task<void> reloadLibraryFromDisk() override;
    void showFindBar() override;
    void findNextMatch(bool backwards) override;
    void findSelectedText() override;
    QWidget &keyWindow() const override;

    // ---- collaborators ----

    PanelPopover &popover() const { return *popover_; }
    VeltoPanelView &panelView() const { return *panelView_; }
    editor::VeltoTextView &textView() const;
    editor::VeltoEditorCoordinator &editorCoordinator() const { return *editorCoordinator_; }
    PageEditingSession &pageEditingSession() const { return *pageEditingSession_; }
    VeltoCommandRegistry &commandRegistry() const { return *commandRegistry_; }
    PanelFeedbackController &feedbackPanelController();
    /// Made on first use and kept.
    VeltoPanelMenuController &panelMenuController();
    /// Made on first use and kept.
    BrowsePagesWindow &browsePagesWindow();

    // ---- page operations ----

    /// The page operations with their undo; one runs at a time.
    PageOperations &pageOperations() const { return *pageOperations_; }

    // ---- size, font size and formatting ----

    void resizePanel(QSizeF size, bool persist);
    void adjustPanelSize(int step);
    void setFontSize(double size);
    void toggleMarkdownFormatting();

    // ---- shortcut hints ----

    const ShortcutHintState &shortcutHintState() const { return shortcutHintState_; }
    void handleShortcutHintEvent(const ShortcutHintEvent &event);

    /// The last banner asked for while the panel was closed, shown at the next show.
    const std::optional<PanelFeedback> &pendingFeedback() const { return pendingFeedback_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPanel(std::optional<QRect> anchor, std::optional<std::uint32_t> keyEventTime);
    ShortcutHintsPanelController &shortcutHintsPanelController();
    VeltoCommandContext commandContext() const;
    void configureTextViewActions();
    void interpretPastedMarkdown();
    // The text view's commands and page cycles.
    void performCommand(VeltoCommandID id) override;
    bool isCommandAvailable(VeltoCommandID id) const override;
    CommandShortcuts commandShortcuts() const override;
    void editorEvent(const editor::EditorEvent &event) override;
    void execute(VeltoCommandID id);
    void closePanel();
    void closePanelAndShowSettings();
    void popoverDidClose();
    void refreshAppearance();
    QRect editorContentFrameOnScreen() const;
    void beep() override;
    void openEditor() override;
    // The editor coordinator follows every change of the text; typing also ends an undone page operation's redo.
    void textWillChange(editor::TextRange range, std::u16string_view replacement) override;
    void textDidChange() override;
    // What the editor coordinator reports to the panel and asks of it.
    void updateCommandAvailability(bool canUndo, bool canRedo) override;
    void updateScrollIndicators() override;
    bool isPinnedToBottom() const override;
    void pinToBottom() override;
    bool transitionToCurrentPage() override;
    /// A panel resized by key or menu goes back under its tray icon; a dragged one keeps its place.
    void placePanelAtAnchor();

    bool handlePanelKeyEvent(QKeyEvent *event);
    void startShortcutHintMonitoring();
    void applyShortcutHintEffects(const ShortcutHintEffects &effects);
    void showShortcutHints(bool refreshAvailability);

    VeltoStore &store_;
    Options options_;
    /// First: the settings are installed for styling before the views are made, and go last.
    std::unique_ptr<editor::EditorSettingsFeed> editorSettingsFeed_;
    // Before the views: the editor keeps pointers to the checker until it goes.
    std::unique_ptr<editor::SpellChecker> spellChecker_;
    std::function<CommandShortcuts()> commandShortcuts_;
    VeltoPanelView *panelView_;
    std::unique_ptr<PanelPopover> popover_;
    std::unique_ptr<TextViewCoordinatorView> coordinatorView_;
    std::unique_ptr<editor::VeltoEditorCoordinator> editorCoordinator_;
    std::unique_ptr<PageEditingSession> pageEditingSession_;
    std::unique_ptr<PageOperations> pageOperations_;
    std::unique_ptr<VeltoCommandRegistry> commandRegistry_;
    std::unique_ptr<PanelFeedbackController> feedbackPanelController_;
    std::unique_ptr<ShortcutHintsPanelController> shortcutHintsPanelController_;
    std::unique_ptr<VeltoPanelMenuController> panelMenuController_;
    std::unique_ptr<BrowsePagesWindow> browsePagesWindow_;

    /// What the editor was last styled with, so that showing the panel restyles a page only when its look
    /// changed (a 5 MB page takes most of a second to restyle).
    struct EditorLook {
        editor::VeltoTheme theme;
        double fontSize = 0;
        editor::EditorFontChoice fontChoice = editor::EditorFontChoice::monospaced;
        bool formatsMarkdown = true;
        bool operator==(const EditorLook &) const = default;
    };
    EditorLook currentEditorLook(const editor::VeltoTheme &theme) const;
    /// The editor's theme for the current appearance preference, system appearance and contrast.
    editor::VeltoTheme currentTheme() const;
    std::optional<EditorLook> appliedEditorLook_;

    std::optional<PanelFeedback> pendingFeedback_;
    bool monitoringShortcutHints_ = false;
    ShortcutHintState shortcutHintState_;
    std::unique_ptr<VeltoScheduledAction> shortcutHintDwellWorkItem_;
    // Last: it goes first, so that no change of the text reaches a controller half gone.
    editor::Subscription textEdits_;
};

} // namespace velto
