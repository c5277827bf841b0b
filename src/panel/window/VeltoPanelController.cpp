#include "panel/window/VeltoPanelController.h"

#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/feedback/ConflictBanner.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/feedback/UnreadableFilesBanner.h"
#include "panel/menu/PanelMenus.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelCommands.h"
#include "panel/window/PanelEditorLook.h"
#include "panel/window/PanelSizeControl.h"
#include "platform/desktop/DisplayOptions.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "ui/Appearance.h"

#include <QtCore/QTimer>

namespace velto {

namespace {

std::set<Uuid> pageIDsOf(const VeltoDocument &document) {
    std::set<Uuid> ids{document.currentPage.id};
    for (const VeltoPage &page : document.pages) {
        ids.insert(page.id);
    }
    return ids;
}

} // namespace

// ---- creation ----

VeltoPanelController::VeltoPanelController(VeltoStore &store, const PanelAssembly &assemble)
    : store_(store) {
    // The parts report to this controller from the moment they are made; until then it holds none.
    parts_ = assemble(store_, PanelPartsHosts{*this, *this, *this, *this, *this});
    textEdits_ = textView().subscribeToEdits(*this);
    connectParts();
    showCurrentPage();
}

VeltoPanelController::~VeltoPanelController() {
    if (parts_.editorCoordinator) {
        parts_.editorCoordinator->flushPendingChanges();
    }
}

void VeltoPanelController::connectParts() {
    PanelPopover *popover = parts_.popover.get();
    connect(popover, &PanelPopover::didClose, this, &VeltoPanelController::popoverDidClose);
    connect(popover, &PanelPopover::willClose, this, &VeltoPanelController::stopShortcutHintMonitoring);
    connect(popover, &PanelPopover::shownAndPainted, this, &VeltoPanelControlling::panelPainted);

    VeltoPanelView *panelView = parts_.panelView;
    connect(panelView, &VeltoPanelView::appearanceChanged, this, &VeltoPanelController::refreshAppearance);
    connect(panelView, &VeltoPanelView::resizeRequested, this, &VeltoPanelController::resizePanel);
    connect(panelView, &VeltoPanelView::commandRequested, this, &VeltoPanelController::performCommand);
    connect(&textView(), &editor::VeltoTextView::pastedMarkdown, this, &VeltoPanelController::interpretPastedMarkdown);
    connect(&textView(), &editor::VeltoTextView::pastedAsPlainText, this,
            &VeltoPanelController::interpretPastedMarkdown);

    PanelMenus *menus = parts_.menus.get();
    connect(menus, &PanelMenus::newPageRequested, this, [this] { parts_.commands->execute(VeltoCommandID::newPage); });
    connect(menus, &PanelMenus::settingsRequested, this, &VeltoPanelController::closePanelAndShowSettings);
    connect(menus, &PanelMenus::revealCurrentPageRequested, this, &VeltoPanelControlling::revealCurrentPageRequested);
    connect(menus, &PanelMenus::pagesFolderOpenRequested, this, &VeltoPanelControlling::pagesFolderOpenRequested);

    // Increased contrast changes the editor's theme.
    connect(&displayOptions(), &DisplayOptionsProvider::changed, this, [this] { refreshAppearance(); });
    // Shown now, or at the next show when the panel is closed; the tray menu keeps the notice until it is dealt
    // with.
    connect(&store_, &VeltoStoreSignals::conflictNoticeRaised, this, [this] {
        if (const std::optional<VeltoSaveConflictPresentation> &notice = store_.lastSaveConflictPresentation()) {
            showFeedback(conflictBanner(*notice, store_.conflictNoticeHoldsOwnEdits()));
        }
    });
    // Files that turn unreadable while the user types are named without a window of their own: a window would
    // take the keyboard from the page, and the words typed meanwhile would reach no file.
    connect(&store_, &VeltoStoreSignals::unreadableFilesFound, this,
            [this] { showFeedback(unreadableFilesBanner(store_.unreadableFiles())); });
    // The same words as the tray menu's warning, so that the panel and the menu tell one story.
    connect(&store_, &VeltoStoreSignals::saveFailed, this, &VeltoPanelController::showSaveProblem);
    connect(&store_, &VeltoStoreSignals::saveEnded, this, [this] {
        if (showsSaveProblem_ && !store_.lastSaveErrorDescription()) {
            // Saved now: the banner, shown or waiting for the next opening, would say what is no longer true.
            parts_.banners->dropPending();
            hideFeedback();
        }
    });
}

// Held while saves fail, and again at each opening of the panel: a banner of a few seconds left only the tray
// menu's line, which nobody looks at while typing.
void VeltoPanelController::showSaveProblem() {
    if (const std::optional<std::string> &error = store_.lastSaveErrorDescription()) {
        showFeedback(SaveProblem::banner(*error, keptText_));
        showsSaveProblem_ = true;
    }
}

// A keep wrote the text, or failed to: the banner of failing saves, shown or waiting, says so at once.
void VeltoPanelController::setKeptText(const SaveProblem::KeptText &kept) {
    if (kept == keptText_) {
        return;
    }
    keptText_ = kept;
    panelMenuController().setKeptText(kept);
    if (showsSaveProblem_) {
        showSaveProblem();
    }
}

void VeltoPanelController::showCurrentPage() {
    const VeltoDocument &document = store_.document();
    editor::VeltoTextView &view = textView();
    view.undoHistories().activateUndoHistory(document.currentPage.id, pageIDsOf(document), nullptr, [&document] {
        return editor::PageTextFingerprint::ofUTF8(document.currentPage.visibleTextView());
    });
    // The page is styled now with the look it is shown with, so that the first show does not style a page
    // of megabytes again on the shortcut's way to the screen; a look changed meanwhile is applied then.
    parts_.editorLook->loadCurrentPageText();
    view.setEditable(document.currentPage.content.asLoaded() != nullptr);
    parts_.panelView->updateEmptyPageHint();
}

editor::VeltoTextView &VeltoPanelController::textView() const {
    return *parts_.panelView->textView();
}

// ---- what the editor reports ----

void VeltoPanelController::textWillChange(editor::TextRange range, std::u16string_view replacement) {
    parts_.editorCoordinator->editorWillReplaceCharacters(range, replacement);
}

void VeltoPanelController::textDidChange() {
    // Typing on a page ends the reach of an undone page operation's redo.
    textView().undoHistories().setPageTransitionRedoManager(nullptr);
    parts_.editorCoordinator->editorTextDidChange();
    parts_.panelView->updateEmptyPageHint();
}

void VeltoPanelController::updateCommandAvailability(bool canUndo, bool canRedo) {
    if (parts_.shortcutHintMonitor) {
        parts_.shortcutHintMonitor->updateAvailability(canUndo, canRedo);
    }
}

void VeltoPanelController::updateScrollIndicators() {
    parts_.panelView->updateScrollIndicators();
}

bool VeltoPanelController::isPinnedToBottom() const {
    editor::VeltoTextView &view = textView();
    return view.documentHeight() - 0.5 <= view.visibleRect().bottom();
}

void VeltoPanelController::pinToBottom() {
    parts_.panelView->pinEditorToBottom();
}

bool VeltoPanelController::transitionToCurrentPage() {
    // The page operations come after the coordinator they work with, and go before it.
    if (parts_.pageOperations) {
        parts_.pageOperations->currentPageChangedOutsideOperation();
    }
    return true;
}

void VeltoPanelController::interpretPastedMarkdown() {
    parts_.editorCoordinator->cancelPendingStylePass();
    parts_.editorCoordinator->applyIncrementalEditorAppearance();
}

void VeltoPanelController::editorEvent(const editor::EditorEvent &event) {
    switch (event.kind) {
    case editor::EditorEvent::Kind::cyclePage:
        parts_.pageOperations->reportingFailure(parts_.pageOperations->cyclePage(event.reverse));
        break;
    case editor::EditorEvent::Kind::endPageCycle:
        dropNavigationSession();
        break;
    case editor::EditorEvent::Kind::interpretPastedMarkdown:
        interpretPastedMarkdown();
        break;
    }
}

// ---- showing and closing ----

void VeltoPanelController::show(std::optional<QRect> anchor) {
    showPanel(anchor, std::nullopt);
}

void VeltoPanelController::showForShortcut(std::optional<QRect> anchor, std::uint32_t keyEventTime) {
    showPanel(anchor, keyEventTime);
}

void VeltoPanelController::showPanel(std::optional<QRect> anchor, std::optional<std::uint32_t> keyEventTime) {
    if (parts_.popover->isShown()) {
        return;
    }
    applyPreferredAppearance();
    parts_.popover->showRelativeTo(anchor, keyEventTime);
    parts_.shortcutHintMonitor->start();
    parts_.panelView->normalizeEditorWidth();
    editor::VeltoTextView &view = textView();
    view.setFocus(Qt::ActiveWindowFocusReason);
    view.scrollRangeToVisible(view.selectedRange());
    parts_.panelView->updateScrollIndicators();
    if (store_.lastSaveErrorDescription() && !parts_.banners->pending()) {
        showSaveProblem();
    }
    parts_.banners->panelDidShow();
}

QWindow *VeltoPanelController::panelWindow() const {
    parts_.popover->winId(); // made before its first show, so that keys can be addressed to it
    return parts_.popover->windowHandle();
}

bool VeltoPanelController::isShown() const {
    return parts_.popover->isShown();
}

std::optional<std::chrono::steady_clock::time_point> VeltoPanelController::lastSelfCloseTime() const {
    return parts_.popover->lastSelfCloseTime();
}

void VeltoPanelController::close() {
    closePanel();
}

void VeltoPanelController::closePanel() {
    dropNavigationSession();
    stopShortcutHintMonitoring();
    parts_.editorCoordinator->flushPendingChanges();
    parts_.popover->performClose();
}

void VeltoPanelController::popoverDidClose() {
    dropNavigationSession();
    stopShortcutHintMonitoring();
    parts_.editorCoordinator->flushPendingChanges();
}

void VeltoPanelController::closePanelAndShowSettings() {
    closePanel();
    QTimer::singleShot(0, this, [this] { emit settingsRequested(); });
}

void VeltoPanelController::dropNavigationSession() {
    parts_.pageEditingSession->navigation.session.reset();
}

void VeltoPanelController::flushPendingChanges() {
    parts_.editorCoordinator->flushPendingChanges();
}

// ---- what Settings changes ----

void VeltoPanelController::applyPanelSizePreference() {
    parts_.sizeControl->applyPreference();
}

void VeltoPanelController::applyEditorPreferences() {
    parts_.editorLook->applyEditorPreferences();
}

void VeltoPanelController::prepareForAutoArchiveChange() {
    parts_.pageEditingSession->prepareForTransition();
}

void VeltoPanelController::prepareForPagesFolderChange() {
    parts_.banners->dropPending();
    dropNavigationSession();
    stopShortcutHintMonitoring();
    parts_.editorCoordinator->flushPendingChanges();
    parts_.popover->performClose();
    parts_.pageEditingSession->prepareForTransition();
}

void VeltoPanelController::pagesFolderDidChange() {
    textView().undoHistories().discardAllPageUndoHistories();
    parts_.pageEditingSession->forgetViewStates();
    parts_.pageEditingSession->transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
}

QCoro::Task<int> VeltoPanelController::deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) {
    return pageOperations().deleteConfirmedArchivedPages(std::move(pageIDs));
}

QCoro::Task<void> VeltoPanelController::reloadLibraryFromDisk() {
    return pageOperations().reloadFromDisk();
}

// ---- what the main menu's Find items do ----

void VeltoPanelController::showFindBar() {
    panelView().findBar()->open();
}

void VeltoPanelController::findNextMatch(bool backwards) {
    panelView().findBar()->openAndStep(backwards);
}

void VeltoPanelController::findSelectedText() {
    panelView().findBar()->openWithSelectedText();
}

QWidget &VeltoPanelController::keyWindow() const {
    return popover();
}

// ---- appending ----

bool VeltoPanelController::canAppendToCurrentPage() const {
    return !parts_.pageOperations->isRunning() && store_.document().currentPage.content.asLoaded() != nullptr;
}

QString VeltoPanelController::currentPageText() const {
    return QString::fromStdU16String(textView().storage().string());
}

bool VeltoPanelController::append(const QString &text) {
    // The text would be lost: a summary's page refuses the save, and a running operation replaces the page.
    if (!canAppendToCurrentPage() || !textView().isEditable()) {
        beep();
        return false;
    }
    dropNavigationSession();
    std::u16string before = textView().storage().string();
    parts_.editorCoordinator->appendAsUndoableEdit(text.toStdU16String());
    bool appended = textView().storage().string() != before;
    parts_.panelView->updateEmptyPageHint();
    textView().pinToBottom();
    parts_.panelView->updateScrollIndicators();
    return appended || text.isEmpty();
}

// ---- feedback and appearance ----

void VeltoPanelController::showFeedback(const PanelFeedback &feedback) {
    showsSaveProblem_ = false;
    parts_.banners->show(feedback);
}

void VeltoPanelController::hideFeedback() {
    showsSaveProblem_ = false;
    parts_.banners->hide();
}

void VeltoPanelController::applyPreferredAppearance() {
    VeltoAppearance::shared().setPreference(VeltoPreferences::appearance());
    refreshAppearance();
}

void VeltoPanelController::refreshAppearance() {
    parts_.editorLook->refresh();
    parts_.shortcutHintMonitor->refreshAppearance();
}

QMenu *VeltoPanelController::makeStatusMenu() {
    return parts_.menus->makeStatusMenu();
}

BrowsePagesWindow &VeltoPanelController::browsePagesWindow() {
    return parts_.menus->browsePagesWindow();
}

VeltoPanelMenuController &VeltoPanelController::panelMenuController() {
    return parts_.menus->panelMenuController();
}

void VeltoPanelController::beep() {
    parts_.beep();
}

void VeltoPanelController::openEditor() {
    emit editorOpenRequested();
}

// ---- commands ----

void VeltoPanelController::performCommand(VeltoCommandID id) {
    if (parts_.commandRegistry) {
        parts_.commandRegistry->perform(id);
    }
}

bool VeltoPanelController::isCommandAvailable(VeltoCommandID id) const {
    return parts_.commandRegistry && parts_.commandRegistry->isAvailable(id);
}

CommandShortcuts VeltoPanelController::commandShortcuts() const {
    return parts_.commandShortcuts();
}

VeltoCommandContext VeltoPanelController::commandContext() const {
    return parts_.commands->context();
}

void VeltoPanelController::showBrowsePages() {
    browsePagesWindow().showAllPages();
}

// ---- size, font size and formatting ----

void VeltoPanelController::resizePanel(QSizeF size, bool persist) {
    parts_.sizeControl->resize(size, persist);
}

void VeltoPanelController::adjustPanelSize(int step) {
    parts_.commands->adjustPanelSize(step);
}

void VeltoPanelController::setFontSize(double size) {
    parts_.editorLook->setFontSize(size);
}

void VeltoPanelController::toggleMarkdownFormatting() {
    parts_.commands->toggleMarkdownFormatting();
}

// ---- shortcut hints ----

void VeltoPanelController::stopShortcutHintMonitoring() {
    parts_.shortcutHintMonitor->stop();
    hideFeedback();
}

void VeltoPanelController::handleShortcutHintEvent(const ShortcutHintEvent &event) {
    parts_.shortcutHintMonitor->handle(event);
}

} // namespace velto
