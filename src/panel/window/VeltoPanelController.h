#pragma once

#include "editor/editing/EditingObserver.h"
#include "editor/text/ObserverList.h"
#include "editor_view/view/TextViewCommandHost.h"
#include "page_editor/EditorCoordinatorPanel.h"
#include "panel/feedback/PanelBanners.h"
#include "panel/hints/ShortcutHintMonitor.h"
#include "panel/pages/PageOperations.h"
#include "panel/window/PanelCommandHost.h"
#include "panel/window/PanelControlling.h"
#include "panel/window/PanelPageControlling.h"
#include "panel/window/PanelParts.h"
#include "preferences/CommandRegistry.h"

#include <QtCore/QObject>

#include <memory>
#include <optional>

namespace velto {

class BrowsePagesWindow;
class PageEditingSession;
class PanelFeedbackController;
class VeltoPanelMenuController;
class VeltoPanelView;
class VeltoStore;
namespace editor {
class VeltoEditorCoordinator;
class VeltoTextView;
} // namespace editor

/// Routes among the panel's parts, which it is handed: the user's commands to the page operations, the panel's
/// size and the editor's look; what the editor and the page operations report to the panel, the banners and the
/// shortcut hints; and what the shell asks of the panel. It refuses appends while a page operation runs. The
/// shell creates one once the store has loaded. Main thread only.
class VeltoPanelController : public VeltoPanelControlling,
                             public VeltoPanelPageControlling,
                             private PageOperationsPresenter,
                             private PanelCommandHost,
                             private ShortcutHintsHost,
                             private editor::TextViewCommandHost,
                             private editor::EditingObserver,
                             private editor::EditorCoordinatorPanel {
public:
    /// `assemble` builds the parts, which report to this controller.
    VeltoPanelController(VeltoStore &store, const PanelAssembly &assemble);
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
    void setKeptText(const SaveProblem::KeptText &kept) override;
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
    /// Also what the text view and the resize handle ask for.
    void performCommand(VeltoCommandID id) override;
    void showFindBar() override;
    void findNextMatch(bool backwards) override;
    void findSelectedText() override;
    QWidget &keyWindow() const override;

    // ---- collaborators ----

    PanelPopover &popover() const { return *parts_.popover; }
    VeltoPanelView &panelView() const { return *parts_.panelView; }
    editor::VeltoTextView &textView() const;
    editor::VeltoEditorCoordinator &editorCoordinator() const { return *parts_.editorCoordinator; }
    PageEditingSession &pageEditingSession() const { return *parts_.pageEditingSession; }
    VeltoCommandRegistry &commandRegistry() const { return *parts_.commandRegistry; }
    /// The page operations with their undo; one runs at a time.
    PageOperations &pageOperations() const { return *parts_.pageOperations; }
    /// Made on first use and kept.
    PanelFeedbackController &feedbackPanelController() { return parts_.banners->feedbackPanelController(); }
    /// Made on first use and kept.
    VeltoPanelMenuController &panelMenuController();
    /// Made on first use and kept.
    BrowsePagesWindow &browsePagesWindow();

    // ---- size, font size and formatting ----

    void resizePanel(QSizeF size, bool persist);
    void adjustPanelSize(int step);
    void setFontSize(double size);
    void toggleMarkdownFormatting();

    // ---- shortcut hints ----

    const ShortcutHintState &shortcutHintState() const { return parts_.shortcutHintMonitor->state(); }
    void handleShortcutHintEvent(const ShortcutHintEvent &event);

    /// The last banner asked for while the panel was closed, shown at the next show.
    const std::optional<PanelFeedback> &pendingFeedback() const { return parts_.banners->pending(); }

private:
    void connectParts();
    void showCurrentPage();
    void showPanel(std::optional<QRect> anchor, std::optional<std::uint32_t> keyEventTime);
    void popoverDidClose();
    /// The banner of failing saves, with their cause, while they fail.
    void showSaveProblem();
    void refreshAppearance();
    void interpretPastedMarkdown();
    // The commands, from the text view; what they ask of the panel.
    bool isCommandAvailable(VeltoCommandID id) const override;
    CommandShortcuts commandShortcuts() const override;
    void editorEvent(const editor::EditorEvent &event) override;
    void closePanel() override;
    void closePanelAndShowSettings() override;
    void showBrowsePages() override;
    // What the page operations and the shortcut hints ask of the panel.
    void beep() override;
    void openEditor() override;
    VeltoCommandContext commandContext() const override;
    void hideFeedback() override;
    // The editor coordinator follows every change of the text; typing also ends an undone page operation's redo.
    void textWillChange(editor::TextRange range, std::u16string_view replacement) override;
    void textDidChange() override;
    // What the editor coordinator reports to the panel and asks of it.
    void updateCommandAvailability(bool canUndo, bool canRedo) override;
    void updateScrollIndicators() override;
    bool isPinnedToBottom() const override;
    void pinToBottom() override;
    bool transitionToCurrentPage() override;

    VeltoStore &store_;
    PanelParts parts_;
    bool showsSaveProblem_ = false; // the banner shown or waiting is that of failing saves
    SaveProblem::KeptText keptText_;
    // Last: it goes first, so that no change of the text reaches a controller half gone.
    editor::Subscription textEdits_;
};

} // namespace velto
