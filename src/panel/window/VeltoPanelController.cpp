#include "panel/window/VeltoPanelController.h"

#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownTaskListCheckbox.h"
#include "editor_view/spelling/SpellChecker.h"
#include "editor_view/view/VeltoTextView.h"
#include "page_editor/EditorCoordinator.h"
#include "page_editor/EditorSettingsFeed.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/feedback/PanelFeedbackController.h"
#include "panel/feedback/SaveProblem.h"
#include "panel/hints/ShortcutHintsPanelController.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "panel/view/FindBar.h"
#include "panel/view/TextViewCoordinatorView.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelResizing.h"
#include "platform/desktop/DisplayOptions.h"
#include "platform/desktop/KeyEventTranslation.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "store/PageLists.h"
#include "store/Store.h"
#include "ui/Appearance.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>

namespace velto {

namespace {

/// What a save that kept another version apart says over the editor; the tray menu's notice leads to the
/// review. Held longer than a confirmation: it tells of something the user did not do.
PanelFeedback conflictBanner(const VeltoSaveConflictPresentation &notice, bool holdsOwnEdits) {
    constexpr double readingTime = 2 * PanelFeedback::standardDuration;
    QString message;
    if (notice.title == "Page Recovered After File Removal") {
        message = QStringLiteral("Page file removed · your edit was kept as a new page");
    } else if (holdsOwnEdits && notice.pageIDs.size() == 1) {
        message = QStringLiteral("Changed elsewhere · your version was saved as a copy");
    } else if (holdsOwnEdits) {
        message = QStringLiteral("%1 pages changed elsewhere · your versions were saved as copies")
                      .arg(notice.pageIDs.size());
    } else if (notice.pageIDs.size() == 1) {
        message = QStringLiteral("Changed elsewhere · the other version was saved as a copy");
    } else {
        message = QStringLiteral("%1 pages changed elsewhere · the other versions were saved as copies")
                      .arg(notice.pageIDs.size());
    }
    return {message, PanelFeedback::Emphasis::informational, readingTime};
}

/// The four modifiers the shortcuts use; Caps Lock, Num Lock and the keypad flag play no part.
constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

std::set<Uuid> pageIDsOf(const VeltoDocument &document) {
    std::set<Uuid> ids{document.currentPage.id};
    for (const VeltoPage &page : document.pages) {
        ids.insert(page.id);
    }
    return ids;
}

} // namespace

// ---- creation ----

VeltoPanelController::VeltoPanelController(VeltoStore &store)
    : VeltoPanelController(store, Options{}) {}

VeltoPanelController::VeltoPanelController(VeltoStore &store, Options options)
    : store_(store)
    , options_(std::move(options)) {
    if (!options_.beep) {
        options_.beep = [] { QApplication::beep(); };
    }
    commandShortcuts_ = options_.commandShortcuts ? options_.commandShortcuts : std::function<CommandShortcuts()>([] {
        return LocalShortcutRouter::currentCommandShortcuts();
    });
    VeltoScheduler &editorScheduler = options_.editorScheduler != nullptr ? *options_.editorScheduler : qtScheduler();
    editorSettingsFeed_ = std::make_unique<editor::EditorSettingsFeed>();

    QSizeF contentSize = VeltoPreferences::panelContentSize();
    editor::TextViewCommandHost &textViewCommands = *this;
    panelView_ = new VeltoPanelView(contentSize.toSize(), textViewCommands, [this] { return popover_->contentSize(); });
    popover_ = std::make_unique<PanelPopover>(panelView_, options_.popoverBehavior);
    popover_->setContentSize(contentSize);
    connect(popover_.get(), &PanelPopover::didClose, this, &VeltoPanelController::popoverDidClose);
    connect(popover_.get(), &PanelPopover::willClose, this, &VeltoPanelController::stopShortcutHintMonitoring);
    connect(popover_.get(), &PanelPopover::shownAndPainted, this, &VeltoPanelControlling::panelPainted);

    editor::VeltoTextView &view = textView();

    connect(panelView_, &VeltoPanelView::appearanceChanged, this, &VeltoPanelController::refreshAppearance);
    connect(panelView_, &VeltoPanelView::resizeRequested, this, &VeltoPanelController::resizePanel);
    connect(panelView_, &VeltoPanelView::commandRequested, this,
            [this](VeltoCommandID id) { commandRegistry_->perform(id); });

    coordinatorView_ = std::make_unique<TextViewCoordinatorView>(view, [this] { beep(); });
    editor::EditorCoordinatorPanel &coordinatorPanel = *this;
    editorCoordinator_ = std::make_unique<editor::VeltoEditorCoordinator>(
        view.editingCore(), view.undoHistories(), *coordinatorView_, store_, *editorSettingsFeed_, coordinatorPanel,
        editorScheduler, options_.codeHighlighter);
    connect(&view, &editor::VeltoTextView::scrollGeometryChanged, editorCoordinator_.get(),
            [coordinator = editorCoordinator_.get()] { coordinator->editorVisibleRangeMayHaveChanged(); });
    if (options_.spellingService) {
        spellChecker_ = std::make_unique<editor::SpellChecker>(*options_.spellingService);
        view.setSpellChecker(spellChecker_.get());
        editorCoordinator_->setSpellChecker(spellChecker_.get());
    }

    QPointer<VeltoPanelController> self(this);
    pageEditingSession_ = std::make_unique<PageEditingSession>(store_, *editorCoordinator_, view, *panelView_,
                                                               [self](const PanelFeedback &feedback) {
                                                                   if (self) {
                                                                       self->showFeedback(feedback);
                                                                   }
                                                               });
    PageOperationsPresenter &presenter = *this;
    pageOperations_ = std::make_unique<PageOperations>(store_, *editorCoordinator_, *panelView_, *pageEditingSession_,
                                                       presenter, options_.undoByteLimit);

    std::vector<VeltoCommandID> ids(allCommandIDs().begin(), allCommandIDs().end());
    commandRegistry_ = std::make_unique<VeltoCommandRegistry>(
        ids, [self] { return self ? self->commandContext() : VeltoCommandContext{}; },
        [self](VeltoCommandID id) {
            if (self) {
                self->execute(id);
            }
        });
    textEdits_ = textView().subscribeToEdits(*this);
    configureTextViewActions();
    // Increased contrast changes the editor's theme.
    connect(&displayOptions(), &DisplayOptionsProvider::changed, this, [this] { refreshAppearance(); });
    // Shown now, or at the next show when the panel is closed; the tray menu keeps the notice until it is dealt
    // with.
    connect(&store_, &VeltoStoreSignals::conflictNoticeRaised, this, [this] {
        if (const std::optional<VeltoSaveConflictPresentation> &notice = store_.lastSaveConflictPresentation()) {
            showFeedback(conflictBanner(*notice, store_.conflictNoticeHoldsOwnEdits()));
        }
    });
    // The same words as the tray menu's warning, so that the panel and the menu tell one story.
    connect(&store_, &VeltoStoreSignals::saveFailed, this, [this] {
        if (const std::optional<std::string> &error = store_.lastSaveErrorDescription()) {
            showFeedback(PanelFeedback{SaveProblem::title(*error), PanelFeedback::Emphasis::informational,
                                       PanelFeedback::standardDuration});
        }
    });

    const VeltoDocument &document = store_.document();
    view.undoHistories().activateUndoHistory(
        document.currentPage.id, pageIDsOf(document), nullptr,
        editor::PageTextFingerprint::ofUTF8(document.currentPage.visibleTextView()));
    // The page is styled now with the look it is shown with, so that the first show does not style a page
    // of megabytes again on the shortcut's way to the screen; a look changed meanwhile is applied then.
    const editor::VeltoTheme theme = currentTheme();
    editorCoordinator_->loadCurrentPageText(theme);
    appliedEditorLook_ = currentEditorLook(theme);
    view.setEditable(document.currentPage.content.asLoaded() != nullptr);
    panelView_->updateEmptyPageHint();
}

VeltoPanelController::~VeltoPanelController() {
    qApp->removeEventFilter(this);
    if (editorCoordinator_) {
        editorCoordinator_->flushPendingChanges();
        editorCoordinator_->setSpellChecker(nullptr);
    }
    textView().setSpellChecker(nullptr);
    pageOperations_.reset();
    pageEditingSession_.reset();
    editorCoordinator_.reset();
}

editor::VeltoTextView &VeltoPanelController::textView() const {
    return *panelView_->textView();
}

void VeltoPanelController::textWillChange(editor::TextRange range, std::u16string_view replacement) {
    editorCoordinator_->editorWillReplaceCharacters(range, replacement);
}

void VeltoPanelController::textDidChange() {
    // Typing on a page ends the reach of an undone page operation's redo.
    textView().undoHistories().setPageTransitionRedoManager(nullptr);
    editorCoordinator_->editorTextDidChange();
    panelView_->updateEmptyPageHint();
}

void VeltoPanelController::updateCommandAvailability(bool canUndo, bool canRedo) {
    if (shortcutHintsPanelController_) {
        shortcutHintsPanelController_->hintsView()->updateAvailability(commandContext(), canUndo, canRedo);
    }
}

void VeltoPanelController::updateScrollIndicators() {
    panelView_->updateScrollIndicators();
}

bool VeltoPanelController::isPinnedToBottom() const {
    editor::VeltoTextView &view = textView();
    return view.documentHeight() - 0.5 <= view.visibleRect().bottom();
}

void VeltoPanelController::pinToBottom() {
    panelView_->pinEditorToBottom();
}

bool VeltoPanelController::transitionToCurrentPage() {
    // The page operations come after the coordinator they work with, and go before it.
    if (pageOperations_) {
        pageOperations_->currentPageChangedOutsideOperation();
    }
    return true;
}

void VeltoPanelController::configureTextViewActions() {
    editor::VeltoTextView &view = textView();
    connect(&view, &editor::VeltoTextView::pastedMarkdown, this, &VeltoPanelController::interpretPastedMarkdown);
    connect(&view, &editor::VeltoTextView::pastedAsPlainText, this, &VeltoPanelController::interpretPastedMarkdown);
}

void VeltoPanelController::interpretPastedMarkdown() {
    editorCoordinator_->cancelPendingStylePass();
    editorCoordinator_->applyIncrementalEditorAppearance();
}

void VeltoPanelController::performCommand(VeltoCommandID id) {
    if (commandRegistry_) {
        commandRegistry_->perform(id);
    }
}

bool VeltoPanelController::isCommandAvailable(VeltoCommandID id) const {
    return commandRegistry_ && commandRegistry_->isAvailable(id);
}

CommandShortcuts VeltoPanelController::commandShortcuts() const {
    return commandShortcuts_();
}

void VeltoPanelController::editorEvent(const editor::EditorEvent &event) {
    switch (event.kind) {
    case editor::EditorEvent::Kind::cyclePage:
        pageOperations_->reportingFailure(pageOperations_->cyclePage(event.reverse));
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
    if (popover_->isShown()) {
        return;
    }
    applyPreferredAppearance();
    popover_->showRelativeTo(anchor, keyEventTime);
    startShortcutHintMonitoring();
    panelView_->normalizeEditorWidth();
    editor::VeltoTextView &view = textView();
    view.setFocus(Qt::ActiveWindowFocusReason);
    view.scrollRangeToVisible(view.selectedRange());
    panelView_->updateScrollIndicators();
    if (pendingFeedback_) {
        PanelFeedback feedback = *std::exchange(pendingFeedback_, std::nullopt);
        QPointer<VeltoPanelController> self(this);
        QTimer::singleShot(0, this, [self, feedback] {
            if (self && self->popover_->isShown()) {
                self->showFeedback(feedback);
            }
        });
    }
}

QWindow *VeltoPanelController::panelWindow() const {
    popover_->winId(); // made before its first show, so that keys can be addressed to it
    return popover_->windowHandle();
}

bool VeltoPanelController::isShown() const {
    return popover_->isShown();
}

std::optional<std::chrono::steady_clock::time_point> VeltoPanelController::lastSelfCloseTime() const {
    return popover_->lastSelfCloseTime();
}

void VeltoPanelController::close() {
    closePanel();
}

void VeltoPanelController::closePanel() {
    dropNavigationSession();
    stopShortcutHintMonitoring();
    editorCoordinator_->flushPendingChanges();
    popover_->performClose();
}

void VeltoPanelController::popoverDidClose() {
    dropNavigationSession();
    stopShortcutHintMonitoring();
    editorCoordinator_->flushPendingChanges();
}

void VeltoPanelController::closePanelAndShowSettings() {
    closePanel();
    QTimer::singleShot(0, this, [this] { emit settingsRequested(); });
}

void VeltoPanelController::dropNavigationSession() {
    pageEditingSession_->navigation.session.reset();
}

void VeltoPanelController::flushPendingChanges() {
    editorCoordinator_->flushPendingChanges();
}

// ---- what Settings changes ----

void VeltoPanelController::applyPanelSizePreference() {
    popover_->setContentSize(VeltoPreferences::panelContentSize());
    panelView_->normalizeEditorWidth();
}

void VeltoPanelController::applyEditorPreferences() {
    editorCoordinator_->applyEditorPreferences();
    panelView_->updateEmptyPageHint();
}

void VeltoPanelController::prepareForAutoArchiveChange() {
    pageEditingSession_->prepareForTransition();
}

void VeltoPanelController::prepareForPagesFolderChange() {
    pendingFeedback_.reset();
    dropNavigationSession();
    stopShortcutHintMonitoring();
    editorCoordinator_->flushPendingChanges();
    popover_->performClose();
    pageEditingSession_->prepareForTransition();
}

void VeltoPanelController::pagesFolderDidChange() {
    textView().undoHistories().discardAllPageUndoHistories();
    pageEditingSession_->forgetViewStates();
    pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
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
    FindBar &findBar = *panelView().findBar();
    if (!findBar.isOpen()) {
        findBar.open();
    }
    findBar.step(backwards);
}

void VeltoPanelController::findSelectedText() {
    const editor::VeltoTextView &view = textView();
    std::u16string selected = view.storage().substring(view.selectedRange());
    FindBar &findBar = *panelView().findBar();
    findBar.field()->setText(QString::fromStdU16String(selected));
    findBar.open();
}

QWidget &VeltoPanelController::keyWindow() const {
    return popover();
}

// ---- appending ----

bool VeltoPanelController::canAppendToCurrentPage() const {
    return !pageOperations_->isRunning() && store_.document().currentPage.content.asLoaded() != nullptr;
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
    editorCoordinator_->appendAsUndoableEdit(text.toStdU16String());
    bool appended = textView().storage().string() != before;
    panelView_->updateEmptyPageHint();
    textView().pinToBottom();
    panelView_->updateScrollIndicators();
    return appended || text.isEmpty();
}

// ---- feedback and appearance ----

PanelFeedbackController &VeltoPanelController::feedbackPanelController() {
    if (!feedbackPanelController_) {
        feedbackPanelController_ = std::make_unique<PanelFeedbackController>();
        feedbackPanelController_->feedbackView()->refreshAccessibilityAppearance();
    }
    return *feedbackPanelController_;
}

ShortcutHintsPanelController &VeltoPanelController::shortcutHintsPanelController() {
    if (!shortcutHintsPanelController_) {
        shortcutHintsPanelController_ = std::make_unique<ShortcutHintsPanelController>();
        connect(shortcutHintsPanelController_.get(), &ShortcutHintsPanelController::presentationChanged, this,
                [this](bool presented) { panelView_->emptyPageHint()->setShortcutOverlayPresented(presented, true); });
    }
    return *shortcutHintsPanelController_;
}

void VeltoPanelController::showFeedback(const PanelFeedback &feedback) {
    if (shortcutHintsPanelController_) {
        shortcutHintsPanelController_->hide(true);
    }
    if (!popover_->isShown()) {
        pendingFeedback_ = feedback; // the newest replaces an older one
        return;
    }
    feedbackPanelController().show(feedback, popover_.get(), editorContentFrameOnScreen());
}

QRect VeltoPanelController::editorContentFrameOnScreen() const {
    return QRect(panelView_->mapToGlobal(QPoint(0, 0)), panelView_->size());
}

void VeltoPanelController::applyPreferredAppearance() {
    VeltoAppearance::shared().setPreference(VeltoPreferences::appearance());
    refreshAppearance();
}

editor::VeltoTheme VeltoPanelController::currentTheme() const {
    editor::Appearance system = coordinatorView_->effectiveAppearance();
    return editor::VeltoTheme::resolve(editorSettingsFeed_->current().appearance, system,
                                       displayOptions().current().increaseContrast);
}

void VeltoPanelController::refreshAppearance() {
    editor::VeltoTheme theme = currentTheme();
    panelView_->applyAppearance(theme);
    if (shortcutHintsPanelController_) {
        shortcutHintsPanelController_->hintsView()->update();
    }
    EditorLook look = currentEditorLook(theme);
    if (appliedEditorLook_ != look) {
        appliedEditorLook_ = look;
        editorCoordinator_->applyEditorPreferences(theme);
    }
    textView().viewport()->update();
}

VeltoPanelController::EditorLook VeltoPanelController::currentEditorLook(const editor::VeltoTheme &theme) const {
    const editor::EditorSettings &settings = editorSettingsFeed_->current();
    return {theme, editor::editorFontSize(settings), settings.fontChoice, settings.formatsMarkdown};
}

QMenu *VeltoPanelController::makeStatusMenu() {
    return panelMenuController().makeStatusMenu();
}

BrowsePagesWindow &VeltoPanelController::browsePagesWindow() {
    if (browsePagesWindow_) {
        return *browsePagesWindow_;
    }
    QPointer<VeltoPanelController> self(this);
    BrowsePagesWindow::Callbacks callbacks;
    callbacks.openPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_->selectPageAndOpenEditor(pageID);
        }
    };
    callbacks.resolve = [self](Uuid copyPageID,
                               VeltoConflictResolution resolution) -> QCoro::Task<VeltoConflictResolutionOutcome> {
        if (!self) {
            co_return VeltoConflictResolutionOutcome::unavailable;
        }
        co_return co_await self->pageOperations_->resolveConflict(copyPageID, resolution);
    };
    callbacks.beep = [self] {
        if (self) {
            self->beep();
        }
    };
    callbacks.confirm = options_.confirm;
    browsePagesWindow_ = std::make_unique<BrowsePagesWindow>(store_.document(), std::move(callbacks));
    return *browsePagesWindow_;
}

VeltoPanelMenuController &VeltoPanelController::panelMenuController() {
    if (panelMenuController_) {
        return *panelMenuController_;
    }
    QPointer<VeltoPanelController> self(this);
    VeltoPanelMenuController::Actions actions;
    actions.createNewPage = [self] {
        if (self) {
            self->execute(VeltoCommandID::newPage);
        }
    };
    actions.selectPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_->selectPageAndOpenEditor(pageID);
        }
    };
    actions.restoreArchivedPage = [self](Uuid pageID) {
        if (self) {
            self->pageOperations_->reportingFailure(self->pageOperations_->restorePageFromArchive(pageID));
        }
    };
    actions.archiveOtherPages = [self] {
        if (self) {
            self->pageOperations_->reportingFailure(self->pageOperations_->archiveOtherPagesFromMenu());
        }
    };
    actions.deleteConfirmedArchivedPages = [self](std::set<Uuid> pageIDs) {
        if (self) {
            PageOperations &operations = *self->pageOperations_;
            operations.reportingFailure(operations.deleteConfirmedArchivedPages(std::move(pageIDs)),
                                        QStringLiteral("Couldn’t delete archived pages"));
        }
    };
    actions.showBrowsePages = [self] {
        if (self) {
            self->browsePagesWindow().showAllPages();
        }
    };
    actions.reviewConflictCopies = [self](std::vector<Uuid> pageIDs) {
        if (self) {
            self->browsePagesWindow().showConflictCopies(pageIDs);
        }
    };
    actions.showSettings = [self] {
        if (self) {
            self->closePanelAndShowSettings();
        }
    };
    // The shell saves first, then shows the page's file in the file manager.
    actions.showCurrentPageInFinder = [self] {
        if (self) {
            emit self->revealCurrentPageRequested();
        }
    };
    VeltoPanelMenuController::Options menuOptions;
    menuOptions.commandShortcuts = commandShortcuts_;
    if (options_.confirm) {
        menuOptions.confirm = [confirm = options_.confirm](const PanelMenuConfirmation &question) {
            return confirm(question.message, question.informativeText, question.actionButton);
        };
    }
    // The editor hands its text over first, so the store's current page is what is on screen.
    auto currentText = [self]() -> std::string {
        if (!self) {
            return {};
        }
        self->editorCoordinator_->flushPendingChanges();
        return self->store_.document().currentPage.visibleText();
    };
    panelMenuController_ = std::make_unique<VeltoPanelMenuController>(store_, commandRegistry(), currentText,
                                                                      std::move(actions), std::move(menuOptions));
    return *panelMenuController_;
}

void VeltoPanelController::beep() {
    options_.beep();
}

// ---- commands ----

VeltoCommandContext VeltoPanelController::commandContext() const {
    VeltoCommandContext context;
    editor::VeltoTextView &view = textView();
    // Asked after every keystroke while the shortcut hints show: only the caret's line is read.
    const editor::TextStorage &storage = view.storage();
    // A page whose text is not loaded (an unavailable file, an archived summary) is shown read-only: the
    // commands that change the page wait until it can be edited.
    context.canEdit = view.isEditable();
    context.hasPageContent = storage.length() > 0;
    context.hasOtherActivePages = !activeOtherPages(store_.document()).empty();
    if (view.isEditable()) {
        auto checkbox = editor::MarkdownTaskListCheckbox::onLine(
            static_cast<std::ptrdiff_t>(view.selectedRange().location), storage);
        context.hasFocusedTaskCheckbox =
            checkbox && !editor::MarkdownStyler::isInsideFencedCode(storage, checkbox->range.location);
    }
    return context;
}

void VeltoPanelController::execute(VeltoCommandID id) {
    switch (id) {
    case VeltoCommandID::newPage:
        pageOperations_->createNewPage();
        openEditor();
        break;
    case VeltoCommandID::archivePage:
        pageOperations_->archivePage();
        break;
    case VeltoCommandID::browsePages:
        browsePagesWindow().showAllPages();
        break;
    case VeltoCommandID::nextPage:
        pageOperations_->reportingFailure(pageOperations_->cyclePage(false));
        break;
    case VeltoCommandID::previousPage:
        pageOperations_->reportingFailure(pageOperations_->cyclePage(true));
        break;
    case VeltoCommandID::closePanel:
        closePanel();
        break;
    case VeltoCommandID::openSettings:
        closePanelAndShowSettings();
        break;
    case VeltoCommandID::increaseTextSize:
        setFontSize(VeltoPreferences::fontSize(editor::editorFontSize(editorSettingsFeed_->current()), 1));
        break;
    case VeltoCommandID::decreaseTextSize:
        setFontSize(VeltoPreferences::fontSize(editor::editorFontSize(editorSettingsFeed_->current()), -1));
        break;
    case VeltoCommandID::resetTextSize:
        setFontSize(VeltoPreferences::defaultFontSize);
        break;
    case VeltoCommandID::increasePanelSize:
        adjustPanelSize(1);
        break;
    case VeltoCommandID::decreasePanelSize:
        adjustPanelSize(-1);
        break;
    case VeltoCommandID::fitPanelToContent:
        resizePanel(panelView_->sizeThatFitsContent(), true);
        placePanelAtAnchor();
        showFeedback(PanelFeedback::confirmation(QStringLiteral("Panel fit to content")));
        break;
    case VeltoCommandID::toggleTaskCheckbox: {
        editor::VeltoTextView &view = textView();
        if (!view.isEditable()) {
            break;
        }
        const editor::TextStorage &storage = view.storage();
        auto checkbox = editor::MarkdownTaskListCheckbox::onLine(
            static_cast<std::ptrdiff_t>(view.selectedRange().location), storage);
        if (checkbox && !editor::MarkdownStyler::isInsideFencedCode(storage, checkbox->range.location)) {
            editor::toggleTaskCheckbox(view, *checkbox);
        }
        break;
    }
    case VeltoCommandID::toggleMarkdownFormatting:
        toggleMarkdownFormatting();
        break;
    }
}

void VeltoPanelController::openEditor() {
    emit editorOpenRequested();
}

// ---- size, font size and formatting ----

void VeltoPanelController::resizePanel(QSizeF size, bool persist) {
    std::optional<QSizeF> visible;
    if (QScreen *screen = popover_->screen(); screen != nullptr && popover_->isShown()) {
        visible = QSizeF(screen->availableGeometry().size());
    }
    QSizeF result = PanelResizing::clampedPanelSize(size, visible);
    popover_->setContentSize(result);
    panelView_->normalizeEditorWidth();
    if (persist) {
        VeltoPreferences::storage().performBatch([&] {
            VeltoPreferences::rememberPanelContentSize(result);
            VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode),
                                                       QStringLiteral("custom"));
        });
        VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    }
}

void VeltoPanelController::placePanelAtAnchor() {
    if (popover_->isShown()) {
        popover_->placeAtAnchor();
    }
}

void VeltoPanelController::adjustPanelSize(int step) {
    std::optional<PanelSizeChoice> choice = panelSizeChoiceStepping(popover_->contentSize(), step);
    if (!choice) {
        return;
    }
    VeltoPreferences::storage().performBatch([&] {
        VeltoPreferences::setPanelSize(*choice);
        VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode),
                                                   QStringLiteral("preset"));
    });
    VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    popover_->setContentSize(VeltoPreferences::panelContentSize());
    panelView_->normalizeEditorWidth();
    placePanelAtAnchor();
    showFeedback(PanelFeedback::confirmation(QStringLiteral("Panel size · ") + panelSizeName(*choice)));
}

void VeltoPanelController::setFontSize(double size) {
    // Writes and announces only a listed size that differs from the stored one.
    if (!VeltoPreferences::setEditorFontSize(size)) {
        return;
    }
    editorCoordinator_->applyEditorPreferences();
    if (appliedEditorLook_) {
        appliedEditorLook_ = currentEditorLook(appliedEditorLook_->theme);
    }
    panelView_->updateEmptyPageHint();
}

void VeltoPanelController::toggleMarkdownFormatting() {
    VeltoPreferences::setFormatsMarkdown(!editorSettingsFeed_->current().formatsMarkdown);
    editorCoordinator_->applyEditorPreferences();
    if (appliedEditorLook_) {
        appliedEditorLook_ = currentEditorLook(appliedEditorLook_->theme);
    }
    panelView_->updateEmptyPageHint();
    showFeedback(PanelFeedback::confirmation(editorSettingsFeed_->current().formatsMarkdown
                                                 ? QStringLiteral("Live Markdown formatting on")
                                                 : QStringLiteral("Live Markdown formatting off")));
}

// ---- shortcut hints and Escape ----

void VeltoPanelController::startShortcutHintMonitoring() {
    stopShortcutHintMonitoring();
    monitoringShortcutHints_ = true;
    qApp->installEventFilter(this);
}

void VeltoPanelController::stopShortcutHintMonitoring() {
    if (shortcutHintDwellWorkItem_) {
        shortcutHintDwellWorkItem_->cancel();
        shortcutHintDwellWorkItem_.reset();
    }
    if (monitoringShortcutHints_) {
        qApp->removeEventFilter(this);
        monitoringShortcutHints_ = false;
    }
    shortcutHintState_.phase = ShortcutHintPhase::hidden;
    if (shortcutHintsPanelController_) {
        shortcutHintsPanelController_->hide(true);
    }
    if (feedbackPanelController_) {
        feedbackPanelController_->hide(true);
    }
}

bool VeltoPanelController::eventFilter(QObject *watched, QEvent *event) {
    if (!monitoringShortcutHints_) {
        return false;
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        // The panel's window receives each key event before the widget with the keyboard focus does.
        if (watched == popover_->windowHandle()) {
            return handlePanelKeyEvent(static_cast<QKeyEvent *>(event));
        }
        break;
    case QEvent::ApplicationDeactivate:
        handleShortcutHintEvent(ShortcutHintEvent::focusLost());
        break;
    case QEvent::WindowDeactivate:
        if (watched == popover_.get()) {
            handleShortcutHintEvent(ShortcutHintEvent::focusLost());
        }
        break;
    default:
        break;
    }
    return false;
}

bool VeltoPanelController::handlePanelKeyEvent(QKeyEvent *event) {
    if (!popover_->isShown() || !popover_->isActiveWindow()) {
        handleShortcutHintEvent(ShortcutHintEvent::focusLost());
        return false;
    }
    Qt::KeyboardModifiers held = event->modifiers() & shortcutModifiers;
    if (event->type() == QEvent::KeyPress && event->key() == Qt::Key_Escape && held == Qt::NoModifier) {
        // Escape belongs to an input method composing text, and to the find bar while it has the keyboard.
        QWidget *focus = QApplication::focusWidget();
        bool inFindBar = focus != nullptr && panelView_->findBar()->isAncestorOf(focus);
        if (!textView().hasMarkedText() && !inFindBar) {
            closePanel();
            return true;
        }
        return false;
    }
    if (editor::isModifierKey(event->key())) {
        bool commandHeld = held.testFlag(Qt::ControlModifier);
        handleShortcutHintEvent(ShortcutHintEvent::modifiers(commandHeld, held == Qt::ControlModifier));
    } else if (event->type() == QEvent::KeyPress) {
        handleShortcutHintEvent(ShortcutHintEvent::keyDown());
    }
    return false;
}

void VeltoPanelController::handleShortcutHintEvent(const ShortcutHintEvent &event) {
    ShortcutHintTransition transition = nextShortcutHintState(shortcutHintState_.phase, event);
    shortcutHintState_.phase = transition.phase;
    applyShortcutHintEffects(transition.effects);
}

void VeltoPanelController::applyShortcutHintEffects(const ShortcutHintEffects &effects) {
    if (effects.cancelDwell && shortcutHintDwellWorkItem_) {
        shortcutHintDwellWorkItem_->cancel();
        shortcutHintDwellWorkItem_.reset();
    }
    if (effects.scheduleDwell) {
        VeltoScheduler &scheduler = options_.hintScheduler != nullptr ? *options_.hintScheduler : qtScheduler();
        QPointer<VeltoPanelController> self(this);
        shortcutHintDwellWorkItem_ = scheduler.schedule(shortcutHintDwell, [self] {
            if (!self || !self->popover_->isShown() || !self->popover_->isActiveWindow()) {
                return;
            }
            self->handleShortcutHintEvent(ShortcutHintEvent::dwellElapsed());
        });
    }
    switch (effects.presentation) {
    case ShortcutHintEffects::Presentation::unchanged:
        break;
    case ShortcutHintEffects::Presentation::hide:
        if (shortcutHintsPanelController_) {
            shortcutHintsPanelController_->hide(false);
        }
        break;
    case ShortcutHintEffects::Presentation::show:
        showShortcutHints(false);
        break;
    case ShortcutHintEffects::Presentation::showWithFreshAvailability:
        showShortcutHints(true);
        break;
    }
}

void VeltoPanelController::showShortcutHints(bool refreshAvailability) {
    ShortcutHintsPanelController &hints = shortcutHintsPanelController();
    if (refreshAvailability) {
        editor::PageUndoHistories &histories = textView().undoHistories();
        hints.hintsView()->updateAvailability(commandContext(), histories.canUndo(), histories.canRedo());
    }
    if (feedbackPanelController_) {
        feedbackPanelController_->hide(true);
    }
    hints.show(popover_.get(), editorContentFrameOnScreen());
}

} // namespace velto
