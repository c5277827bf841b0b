#include "panel/VeltoPanelController.h"

#include "editor/highlight/CodeSyntaxHighlighter.h"
#include "editor/markdown/MarkdownStyler.h"
#include "editor/markdown/MarkdownTaskListCheckbox.h"
#include "editor_view/EditorCoordinator.h"
#include "editor_view/SpellChecker.h"
#include "editor_view/VeltoTextView.h"
#include "panel/BrowsePagesWindow.h"
#include "panel/PanelFeedbackController.h"
#include "panel/PanelResizing.h"
#include "panel/ShortcutHintsPanelController.h"
#include "panel/TextViewCoordinatorView.h"
#include "panel/VeltoPanelMenuController.h"
#include "panel/VeltoPanelView.h"
#include "platform/Clock.h"
#include "platform/Text.h"
#include "platform/desktop/DisplayOptions.h"
#include "platform/desktop/SpellingService.h"
#include "preferences/NotificationCenter.h"
#include "preferences/Preferences.h"
#include "store/Store.h"
#include "ui/Appearance.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtCore/QUrl>
#include <QtGui/QDesktopServices>
#include <QtGui/QKeyEvent>
#include <QtGui/QWindow>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <QtWidgets/QMenu>

namespace velto {

namespace {

constexpr double bannerDuration = PanelFeedback::standardDuration;

PanelFeedback confirmation(const QString &message) {
    return {message, PanelFeedback::Emphasis::confirmation, bannerDuration};
}

/// What a save that kept another version apart says over the editor; the tray menu's notice leads to the
/// review. Held longer than a confirmation: it tells of something the user did not do.
PanelFeedback conflictBanner(const VeltoSaveConflictPresentation &notice) {
    constexpr double readingTime = 2 * bannerDuration;
    QString message;
    if (notice.title == "Page Recovered After File Removal") {
        message = QStringLiteral("Page file removed · your edit was kept as a new page");
    } else if (notice.pageIDs.size() == 1) {
        message = QStringLiteral("Changed elsewhere · the other version was saved as a copy");
    } else {
        message = QStringLiteral("%1 pages changed elsewhere · the other versions were saved as copies")
                      .arg(notice.pageIDs.size());
    }
    return {message, PanelFeedback::Emphasis::informational, readingTime};
}

editor::AppearanceChoice editorAppearanceChoice(AppearanceChoice choice) {
    switch (choice) {
    case AppearanceChoice::light:
        return editor::AppearanceChoice::light;
    case AppearanceChoice::dark:
        return editor::AppearanceChoice::dark;
    case AppearanceChoice::system:
        break;
    }
    return editor::AppearanceChoice::system;
}

Date now() {
    return systemClock().now();
}

bool isModifierKey(int key) {
    return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta ||
           key == Qt::Key_Super_L || key == Qt::Key_Super_R || key == Qt::Key_AltGr || key == Qt::Key_Hyper_L ||
           key == Qt::Key_Hyper_R;
}

/// The four modifiers the shortcuts use; Caps Lock, Num Lock and the keypad flag play no part.
constexpr Qt::KeyboardModifiers shortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

QString panelSizeDisplayName(PanelSizeChoice choice) {
    switch (choice) {
    case PanelSizeChoice::minimal:
        return QStringLiteral("Minimal");
    case PanelSizeChoice::compact:
        return QStringLiteral("Compact");
    case PanelSizeChoice::regular:
        return QStringLiteral("Standard");
    case PanelSizeChoice::large:
        return QStringLiteral("Spacious");
    case PanelSizeChoice::expansive:
        return QStringLiteral("Expansive");
    }
    return {};
}

std::set<Uuid> pageIDsOf(const VeltoDocument &document) {
    std::set<Uuid> ids{document.currentPage.id};
    for (const VeltoPage &page : document.pages) {
        ids.insert(page.id);
    }
    return ids;
}

} // namespace

/// Holds the page-operation gate for one operation, across its awaits; lets it go however the operation
/// ends (a refusal, an error thrown on, the controller gone).
class VeltoPanelController::PageOperationScope {
public:
    explicit PageOperationScope(VeltoPanelController &controller)
        : controller_(&controller), open_(controller.beginPageOperation()) {}
    ~PageOperationScope() {
        if (open_ && controller_) {
            controller_->endPageOperation();
        }
    }
    PageOperationScope(const PageOperationScope &) = delete;
    PageOperationScope &operator=(const PageOperationScope &) = delete;

    bool isOpen() const { return open_; }
    /// Whether the controller still exists after an await.
    bool isAlive() const { return !controller_.isNull(); }

private:
    QPointer<VeltoPanelController> controller_;
    bool open_;
};

// ---- creation ----

VeltoPanelController::VeltoPanelController(VeltoStore &store) : VeltoPanelController(store, Options{}) {}

VeltoPanelController::VeltoPanelController(VeltoStore &store, Options options)
    : store_(store), options_(std::move(options)), undoLedger_(options_.undoByteLimit) {
    if (!options_.beep) {
        options_.beep = [] { QApplication::beep(); };
    }
    commandShortcuts_ = options_.commandShortcuts ? options_.commandShortcuts
                                                  : std::function<CommandShortcuts()>(
                                                        [] { return LocalShortcutRouter::currentCommandShortcuts(); });
    VeltoScheduler &editorScheduler = options_.editorScheduler != nullptr ? *options_.editorScheduler : qtScheduler();

    QSizeF contentSize = VeltoPreferences::panelContentSize();
    panelView_ = new VeltoPanelView(contentSize.toSize());
    popover_ = std::make_unique<PanelPopover>(panelView_, options_.popoverBehavior);
    popover_->setContentSize(contentSize);
    popover_->didClose = [this] { popoverDidClose(); };
    popover_->willClose = [this] { stopShortcutHintMonitoring(); };
    popover_->onShownAndPainted = [this] {
        if (onPanelPainted) {
            onPanelPainted();
        }
    };

    editor::VeltoTextView &view = textView();
    view.callbacks().commandShortcuts = commandShortcuts_;

    panelView_->onAppearanceChange = [this] { refreshAppearance(); };
    panelView_->currentPanelSize = [this] { return popover_->contentSize(); };
    panelView_->onResize = [this](QSizeF size, bool persist) { resizePanel(size, persist); };
    panelView_->commandHandler = [this](VeltoCommandID id) { return commandRegistry_->perform(id); };

    coordinatorView_ = std::make_unique<TextViewCoordinatorView>(view, [this] { beep(); });
    editor::VeltoEditorCoordinator::PanelHooks hooks{
        [this](bool canUndo, bool canRedo) {
            if (shortcutHintsPanelController_) {
                shortcutHintsPanelController_->hintsView()->updateAvailability(commandContext(), canUndo, canRedo);
            }
        },
        [this] { panelView_->updateScrollIndicators(); },
        [this] {
            editor::VeltoTextView &textView = this->textView();
            return textView.documentHeight() - 0.5 <= textView.visibleRect().bottom();
        },
        [this] { panelView_->pinEditorToBottom(); },
    };
    std::shared_ptr<editor::CodeSyntaxHighlighting> highlighter = options_.codeHighlighter;
    if (!highlighter) {
        editor::HighlightJSSyntaxHighlighter::Configuration configuration;
        configuration.cacheCostLimit = 8'388'608;
        configuration.executionLimit = 2;
        highlighter = std::make_shared<editor::HighlightJSSyntaxHighlighter>(configuration);
    }
    editorCoordinator_ = std::make_unique<editor::VeltoEditorCoordinator>(
        view.editingCore(), view.undoHistories(), *coordinatorView_, store_, hooks, editorScheduler,
        std::move(highlighter));
    editorCoordinator_->transitionToCurrentPage = [this] { currentPageChangedOutsideOperation(); };
    connect(&view, &editor::VeltoTextView::scrollGeometryChanged, editorCoordinator_.get(),
            [coordinator = editorCoordinator_.get()] { coordinator->editorVisibleRangeMayHaveChanged(); });
    spellingService_ = std::make_unique<EnchantSpellingService>();
    spellChecker_ = std::make_unique<editor::SpellChecker>(*spellingService_);
    view.setSpellChecker(spellChecker_.get());
    editorCoordinator_->setSpellChecker(spellChecker_.get());

    QPointer<VeltoPanelController> self(this);
    pageEditingSession_ = std::make_unique<PageEditingSession>(
        store_, *editorCoordinator_, view, *panelView_, [self](const PanelFeedback &feedback) {
            if (self) {
                self->showFeedback(feedback);
            }
        });

    std::vector<VeltoCommandID> ids(allCommandIDs().begin(), allCommandIDs().end());
    commandRegistry_ = std::make_unique<VeltoCommandRegistry>(
        ids,
        [self] { return self ? self->commandContext() : VeltoCommandContext{}; },
        [self](VeltoCommandID id) {
            if (self) {
                self->execute(id);
            }
        });
    configureTextViewActions();
    // Increased contrast changes the editor's theme.
    connect(&displayOptions(), &DisplayOptionsProvider::changed, this, [this] { refreshAppearance(); });
    // Shown now, or at the next show when the panel is closed; the tray menu keeps the notice until it is dealt
    // with.
    connect(&store_, &VeltoStoreSignals::conflictNoticeRaised, this, [this] {
        if (const std::optional<VeltoSaveConflictPresentation> &notice = store_.lastSaveConflictPresentation()) {
            showFeedback(conflictBanner(*notice));
        }
    });

    const VeltoDocument &document = store_.document();
    view.undoHistories().activateUndoHistory(
        document.currentPage.id, pageIDsOf(document), nullptr,
        editor::PageTextFingerprint::ofUTF8(document.currentPage.visibleText()));
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
        editorCoordinator_->transitionToCurrentPage = nullptr;
        editorCoordinator_->setSpellChecker(nullptr);
    }
    textView().setSpellChecker(nullptr);
    textView().callbacks() = editor::TextViewCallbacks{};
    textView().shouldChangeTextHandler = nullptr;
    textView().didChangeTextHandler = nullptr;
    textView().pastedMarkdownHandler = nullptr;
    pageEditingSession_.reset();
    editorCoordinator_.reset();
}

editor::VeltoTextView &VeltoPanelController::textView() const {
    return *panelView_->textView();
}

void VeltoPanelController::configureTextViewActions() {
    editor::VeltoTextView &view = textView();
    QPointer<VeltoPanelController> self(this);
    view.shouldChangeTextHandler = [self](editor::TextRange range, std::u16string_view replacement) {
        if (self) {
            self->editorCoordinator_->editorWillReplaceCharacters(range, replacement);
        }
        return true;
    };
    view.didChangeTextHandler = [self] {
        if (!self) {
            return;
        }
        // Typing on a page ends the reach of an undone page operation's redo.
        self->textView().undoHistories().setPageTransitionRedoManager(nullptr);
        self->editorCoordinator_->editorTextDidChange();
        self->panelView_->updateEmptyPageHint();
    };
    auto interpretPastedMarkdown = [self] {
        if (self) {
            self->editorCoordinator_->cancelPendingStylePass();
            self->editorCoordinator_->applyIncrementalEditorAppearance();
        }
    };
    view.pastedMarkdownHandler = interpretPastedMarkdown;
    editor::TextViewCallbacks &callbacks = view.callbacks();
    callbacks.actionHandler = [interpretPastedMarkdown](const editor::TextViewAction &action) {
        if (action.kind == editor::TextViewAction::Kind::interpretPastedMarkdown) {
            interpretPastedMarkdown();
        }
    };
    callbacks.editorEventHandler = [self, interpretPastedMarkdown](const editor::EditorEvent &event) {
        if (!self) {
            return;
        }
        switch (event.kind) {
        case editor::EditorEvent::Kind::cyclePage:
            self->reportingFailure(self->cyclePage(event.reverse));
            break;
        case editor::EditorEvent::Kind::endPageCycle:
            self->dropNavigationSession();
            break;
        case editor::EditorEvent::Kind::interpretPastedMarkdown:
            interpretPastedMarkdown();
            break;
        }
    };
    callbacks.commandHandler = [self](VeltoCommandID id) { return self && self->commandRegistry_->perform(id); };
    callbacks.commandAvailabilityHandler = [self](VeltoCommandID id) {
        return self && self->commandRegistry_->isAvailable(id);
    };
    callbacks.commandShortcuts = commandShortcuts_;
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
    std::function<void()> callback = onShowSettings;
    closePanel();
    QTimer::singleShot(0, this, [callback] {
        if (callback) {
            callback();
        }
    });
}

void VeltoPanelController::dropNavigationSession() {
    pageEditingSession_->navigation.session.reset();
}

void VeltoPanelController::flushPendingChanges() {
    editorCoordinator_->flushPendingChanges();
}

void VeltoPanelController::prepareForPagesFolderChange() {
    pendingFeedback_.reset();
    dropNavigationSession();
    stopShortcutHintMonitoring();
    editorCoordinator_->flushPendingChanges();
    popover_->performClose();
    pageEditingSession_->prepareForTransition();
}

// ---- appending ----

bool VeltoPanelController::canAppendToCurrentPage() const {
    return !pageOperationRunning_ && store_.document().currentPage.content.asLoaded() != nullptr;
}

QString VeltoPanelController::currentPageText() const {
    return QString::fromStdU16String(textView().editingCore().string());
}

bool VeltoPanelController::append(const QString &text) {
    // The text would be lost: a summary's page refuses the save, and a running operation replaces the page.
    if (!canAppendToCurrentPage() || !textView().isEditable()) {
        beep();
        return false;
    }
    dropNavigationSession();
    std::u16string before = textView().editingCore().string();
    editorCoordinator_->appendAsUndoableEdit(text.toStdU16String());
    bool appended = textView().editingCore().string() != before;
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
        QPointer<VeltoPanelController> self(this);
        shortcutHintsPanelController_->onPresentationChange = [self](bool presented) {
            if (self) {
                self->panelView_->emptyPageHint()->setShortcutOverlayPresented(presented, true);
            }
        };
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
    return editor::VeltoTheme::resolve(editorAppearanceChoice(VeltoPreferences::appearance()), system,
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

VeltoPanelController::EditorLook VeltoPanelController::currentEditorLook(const editor::VeltoTheme &theme) {
    return {theme, VeltoPreferences::editorFontSize(), VeltoPreferences::fontChoice(),
            VeltoPreferences::formatsMarkdown()};
}

QMenu *VeltoPanelController::makeStatusMenu() {
    return panelMenuController().makeStatusMenu();
}

QCoro::Task<VeltoConflictResolutionOutcome> VeltoPanelController::resolveConflict(Uuid copyPageID,
                                                                                 VeltoConflictResolution resolution) {
    if (copyPageID == store_.document().currentPage.id || !beginPageOperation()) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    QPointer<VeltoPanelController> self(this);
    editorCoordinator_->flushPendingChanges();
    try {
        co_await store_.flush();
    } catch (const std::exception &) {
        // A failed save leaves the editor's text in the store; the resolution still sees it.
    }
    if (!self) {
        co_return VeltoConflictResolutionOutcome::unavailable;
    }
    const Uuid currentID = store_.document().currentPage.id;
    const std::string textBefore = store_.document().currentPage.visibleText();
    VeltoConflictResolutionOutcome outcome = co_await store_.resolveConflict(copyPageID, resolution, now());
    if (!self) {
        co_return outcome;
    }
    const bool currentTextChanged = store_.document().currentPage.id != currentID ||
                                    store_.document().currentPage.visibleText() != textBefore;
    if (currentTextChanged) {
        textView().undoHistories().resetUndoHistory(store_.document().currentPage.id);
        transitionOwedAfterOperation_ = false;
        pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
    }
    endPageOperation();
    co_return outcome;
}

BrowsePagesWindow &VeltoPanelController::browsePagesWindow() {
    if (browsePagesWindow_) {
        return *browsePagesWindow_;
    }
    QPointer<VeltoPanelController> self(this);
    BrowsePagesWindow::Callbacks callbacks;
    callbacks.openPage = [self](Uuid pageID) {
        if (self) {
            self->selectPageAndOpenEditor(pageID);
        }
    };
    callbacks.resolve = [self](Uuid copyPageID,
                               VeltoConflictResolution resolution) -> QCoro::Task<VeltoConflictResolutionOutcome> {
        if (!self) {
            co_return VeltoConflictResolutionOutcome::unavailable;
        }
        co_return co_await self->resolveConflict(copyPageID, resolution);
    };
    callbacks.beep = [self] {
        if (self) {
            self->beep();
        }
    };
    callbacks.confirm = options_.confirm;
    browsePagesWindow_ = std::make_unique<BrowsePagesWindow>(store_, std::move(callbacks));
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
            self->selectPageAndOpenEditor(pageID);
        }
    };
    actions.restoreArchivedPage = [self](Uuid pageID) {
        if (self) {
            self->reportingFailure(self->restorePageFromArchive(pageID));
        }
    };
    actions.archiveOtherPages = [self] {
        if (self) {
            self->reportingFailure(self->archiveOtherPagesFromMenu());
        }
    };
    actions.deleteConfirmedArchivedPages = [self](std::set<Uuid> pageIDs) {
        if (self) {
            self->reportingFailure(self->deleteConfirmedArchivedPages(std::move(pageIDs)),
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
        if (self && self->onRevealCurrentPage) {
            self->onRevealCurrentPage();
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
    context.hasOtherActivePages = !store_.activeOtherPages().empty();
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
        createNewPage();
        openEditor();
        break;
    case VeltoCommandID::archivePage:
        archivePage();
        break;
    case VeltoCommandID::browsePages:
        browsePagesWindow().showAllPages();
        break;
    case VeltoCommandID::nextPage:
        reportingFailure(cyclePage(false));
        break;
    case VeltoCommandID::previousPage:
        reportingFailure(cyclePage(true));
        break;
    case VeltoCommandID::closePanel:
        closePanel();
        break;
    case VeltoCommandID::openSettings:
        closePanelAndShowSettings();
        break;
    case VeltoCommandID::increaseTextSize:
        setFontSize(VeltoPreferences::fontSize(VeltoPreferences::editorFontSize(), 1));
        break;
    case VeltoCommandID::decreaseTextSize:
        setFontSize(VeltoPreferences::fontSize(VeltoPreferences::editorFontSize(), -1));
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
        showFeedback(confirmation(QStringLiteral("Panel fit to content")));
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
    if (onOpenEditor) {
        onOpenEditor();
    }
}

template <typename Result>
QCoro::Task<void> VeltoPanelController::reportingFailure(QCoro::Task<Result> operation, QString failureBanner) {
    QPointer<VeltoPanelController> self(this);
    bool failed = false;
    try {
        co_await operation;
    } catch (...) {
        failed = true; // the store keeps its own account of the error where it has one
    }
    if (!failed || !self) {
        co_return;
    }
    self->beep();
    if (!failureBanner.isEmpty()) {
        self->showFeedback(confirmation(failureBanner));
    }
}

// ---- the page-operation gate ----

bool VeltoPanelController::beginPageOperation() {
    if (pageOperationRunning_) {
        beep();
        return false;
    }
    pageOperationRunning_ = true;
    transitionOwedAfterOperation_ = false;
    editorCoordinator_->flushPendingChanges();
    textView().setEditable(false);
    return true;
}

void VeltoPanelController::endPageOperation() {
    pageOperationRunning_ = false;
    const VeltoPage &current = store_.document().currentPage;
    std::optional<Uuid> shown = editorCoordinator_->loadedPageID();
    if (transitionOwedAfterOperation_ || !shown || *shown != current.id) {
        transitionOwedAfterOperation_ = false;
        pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
    }
    textView().setEditable(store_.document().currentPage.content.asLoaded() != nullptr);
    panelView_->updateEmptyPageHint();
}

void VeltoPanelController::currentPageChangedOutsideOperation() {
    if (pageOperationRunning_) {
        transitionOwedAfterOperation_ = true; // the operation shows the page when it ends
        return;
    }
    pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, std::nullopt);
}

// ---- page operations ----

template <typename MakeChange>
bool VeltoPanelController::performUndoableChange(MakeChange makeChange, const QString &done) {
    PageEditorViewState viewState = pageEditingSession_->currentViewState();
    auto change = makeChange();
    if (!change) {
        return false;
    }
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, confirmation(done));
    keepForUndo(*change, viewState);
    return true;
}

void VeltoPanelController::keepForUndo(const VeltoPageOperation &operation, PageEditorViewState viewState) {
    registerPageOperation(undoLedger_.retain(operation), Direction::undo, viewState, nullptr);
}

void VeltoPanelController::keepForUndo(const VeltoArchiveTransition &transition, PageEditorViewState viewState) {
    registerArchiveOperation(undoLedger_.retain(transition), Direction::undo, viewState, nullptr);
}

void VeltoPanelController::createNewPage() {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    dropNavigationSession();
    pageEditingSession_->prepareForTransition();
    performUndoableChange([this] { return store_.createNewPage(now()); }, QStringLiteral("New page · Ctrl+Z to undo"));
}

void VeltoPanelController::archivePage() {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    dropNavigationSession();
    pageEditingSession_->prepareForTransition();
    performUndoableChange([this] { return store_.archiveCurrentPage(now()); },
                          QStringLiteral("Page archived · Ctrl+Z to undo"));
}

QCoro::Task<void> VeltoPanelController::cyclePage(bool reverse) {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    QCoro::Task<int> archiving = store_.autoArchiveEligiblePages(now());
    co_await archiving;
    if (!scope.isAlive()) {
        co_return;
    }
    pageEditingSession_->prepareForTransition();
    PageNavigationOutcome outcome = pageEditingSession_->navigation.selectNextPage(reverse);
    if (!outcome.selection) {
        beep();
        co_return;
    }
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(
        std::nullopt, nullptr, PanelFeedback::pagePosition(outcome.selection->position, outcome.selection->count));
}

void VeltoPanelController::selectPageAndOpenEditor(const Uuid &pageID) {
    {
        PageOperationScope scope(*this);
        if (!scope.isOpen()) {
            return;
        }
        dropNavigationSession();
        pageEditingSession_->prepareForTransition();
        if (store_.document().currentPage.id != pageID &&
            !performUndoableChange([this, &pageID] { return store_.selectPageOperation(pageID); },
                                   QStringLiteral("Page selected"))) {
            return; // the editor is not opened for a page that cannot be selected
        }
    }
    openEditor();
}

QCoro::Task<void> VeltoPanelController::restorePageFromArchive(Uuid pageID) {
    bool restored = false;
    {
        PageOperationScope scope(*this);
        if (!scope.isOpen()) {
            co_return;
        }
        dropNavigationSession();
        pageEditingSession_->prepareForTransition();
        QCoro::Task<bool> restoring = store_.restoreArchivedPage(pageID, now());
        restored = co_await restoring;
        if (!scope.isAlive()) {
            co_return;
        }
        if (restored) {
            transitionOwedAfterOperation_ = false;
            pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr,
                                                         confirmation(QStringLiteral("Page restored")));
        }
    }
    if (restored) {
        openEditor();
    }
}

QCoro::Task<void> VeltoPanelController::archiveOtherPagesFromMenu() {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    dropNavigationSession();
    pageEditingSession_->prepareForTransition();
    // A page whose save is still on its way would be read back older than the store holds it, and left
    // active; the saves land first.
    try {
        QCoro::Task<void> flushing = store_.flush();
        co_await flushing;
    } catch (const std::exception &) {
        // the save error is reported where saves report it; the pages are archived all the same
    }
    if (!scope.isAlive()) {
        co_return;
    }
    QCoro::Task<int> archiving = store_.archiveOtherPages(now());
    int count = co_await archiving;
    if (!scope.isAlive() || count < 1) {
        co_return;
    }
    showFeedback(confirmation(QStringLiteral("%1 %2 archived").arg(count).arg(count == 1 ? "page" : "pages")));
}

QCoro::Task<int> VeltoPanelController::deleteConfirmedArchivedPages(std::set<Uuid> pageIDs) {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        co_return 0;
    }
    dropNavigationSession();
    pageEditingSession_->prepareForTransition();
    QCoro::Task<int> deleting = store_.deleteConfirmedArchivedPagesAfterReload(std::move(pageIDs));
    int count = co_await deleting;
    if (!scope.isAlive()) {
        co_return count;
    }
    QString message = count == 0 ? QStringLiteral("No archived pages deleted")
                                 : QStringLiteral("%1 archived %2 deleted").arg(count).arg(count == 1 ? "page" : "pages");
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr, confirmation(message));
    co_return count;
}

QCoro::Task<void> VeltoPanelController::reloadFromDisk() {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    QCoro::Task<void> flushing = store_.flush();
    co_await flushing;
    if (!scope.isAlive()) {
        co_return;
    }
    QCoro::Task<void> reloading = store_.reloadFromDisk(true, std::nullopt);
    co_await reloading;
    if (!scope.isAlive()) {
        co_return;
    }
    textView().undoHistories().discardAllPageUndoHistories();
    undoLedger_.evictAll();
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(std::nullopt, nullptr,
                                                 confirmation(QStringLiteral("Reloaded from disk")));
}

// ---- undo of page operations ----

void VeltoPanelController::registerPageOperation(std::shared_ptr<Entry> entry, Direction direction,
                                                 PageEditorViewState viewState,
                                                 std::shared_ptr<editor::UndoManager> undoManager) {
    if (!undoManager) {
        undoManager = textView().undoHistories().activeUndoManager();
    }
    if (!undoManager) {
        return;
    }
    if (!undoManager->isUndoing() && !undoManager->isRedoing()) {
        textView().undoHistories().setPageTransitionRedoManager(nullptr);
    }
    QString actionName = QString::fromStdString(entry->actionName);
    std::weak_ptr<editor::UndoManager> registeredOn = undoManager;
    QPointer<VeltoPanelController> self(this);
    undoManager->registerUndo([self, entry, direction, viewState, registeredOn](editor::UndoManager &) {
        if (self) {
            self->applyPageOperation(entry, direction, viewState, registeredOn.lock());
        }
    });
    undoManager->setActionName(actionName);
}

void VeltoPanelController::applyPageOperation(const std::shared_ptr<Entry> &entry, Direction direction,
                                              PageEditorViewState viewState,
                                              std::shared_ptr<editor::UndoManager> undoManager) {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        return;
    }
    PageEditorViewState shownState = pageEditingSession_->currentViewState();
    pageEditingSession_->prepareForTransition();
    std::optional<VeltoPageOperation> operation = entry->operation();
    // An entry whose documents were given up to the memory bound fails like one the library no longer matches.
    if (!operation || !store_.apply(*operation, direction)) {
        textView().undoHistories().setPageTransitionRedoManager(nullptr);
        beep();
        return;
    }
    QString actionName = QString::fromStdString(entry->actionName);
    QString message = direction == Direction::undo ? actionName + QStringLiteral(" undone · Ctrl+Shift+Z to redo")
                                                   : actionName + QStringLiteral(" redone · Ctrl+Z to undo");
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(viewState, undoManager, confirmation(message));
    Direction opposite = direction == Direction::undo ? Direction::redo : Direction::undo;
    registerPageOperation(entry, opposite, shownState, undoManager);
    updatePageTransitionRedoManager(undoManager);
}

void VeltoPanelController::registerArchiveOperation(std::shared_ptr<Entry> entry, Direction direction,
                                                    PageEditorViewState viewState,
                                                    std::shared_ptr<editor::UndoManager> undoManager) {
    if (!undoManager) {
        undoManager = textView().undoHistories().activeUndoManager();
    }
    if (!undoManager) {
        return;
    }
    if (!undoManager->isUndoing() && !undoManager->isRedoing()) {
        textView().undoHistories().setPageTransitionRedoManager(nullptr);
    }
    std::weak_ptr<editor::UndoManager> registeredOn = undoManager;
    QPointer<VeltoPanelController> self(this);
    undoManager->registerUndo([self, entry, direction, viewState, registeredOn](editor::UndoManager &) {
        if (self) {
            self->applyArchiveTransition(entry, direction, viewState, registeredOn.lock());
        }
    });
    undoManager->setActionName(QStringLiteral("Archive Page"));
}

void VeltoPanelController::applyArchiveTransition(const std::shared_ptr<Entry> &entry, Direction direction,
                                                  PageEditorViewState viewState,
                                                  std::shared_ptr<editor::UndoManager> undoManager) {
    std::optional<VeltoArchiveTransition> transition = entry->archiveTransition();
    std::string liveText = text::toUTF8(textView().editingCore().string());
    if (pageOperationRunning_ || !transition ||
        !store_.canApplyArchive(*transition, direction == Direction::undo, liveText)) {
        beep();
        return;
    }
    // The inverse goes on the manager now, while it is undoing (or redoing), so that it lands on the
    // opposite side; the store's move awaits the disk. Should the move fail, the inverse finds the library
    // on the wrong side and beeps.
    PageEditorViewState shownState = pageEditingSession_->currentViewState();
    Direction opposite = direction == Direction::undo ? Direction::redo : Direction::undo;
    registerArchiveOperation(entry, opposite, shownState, undoManager);
    reportingFailure(finishArchiveTransition(entry, direction, viewState, undoManager));
}

QCoro::Task<void> VeltoPanelController::finishArchiveTransition(std::shared_ptr<Entry> entry, Direction direction,
                                                                PageEditorViewState viewState,
                                                                std::shared_ptr<editor::UndoManager> undoManager) {
    PageOperationScope scope(*this);
    if (!scope.isOpen()) {
        co_return;
    }
    pageEditingSession_->prepareForTransition();
    std::optional<VeltoArchiveTransition> transition = entry->archiveTransition();
    bool redo = direction == Direction::redo;
    const VeltoDocument &expected = redo ? transition->before : transition->after;
    if (!store_.matchesArchiveTimelineState(expected, *transition)) {
        beep();
        co_return;
    }
    QCoro::Task<bool> applying = store_.applyArchiveTransition(redo ? transition->after : transition->before);
    bool applied = co_await applying;
    if (!scope.isAlive()) {
        co_return;
    }
    if (!applied) {
        beep();
        co_return;
    }
    QString message = redo ? QStringLiteral("Page archived · Ctrl+Z to undo")
                           : QStringLiteral("Previous page restored · Ctrl+Shift+Z to redo");
    transitionOwedAfterOperation_ = false;
    pageEditingSession_->transitionToCurrentPage(viewState, undoManager, confirmation(message));
    updatePageTransitionRedoManager(undoManager);
}

void VeltoPanelController::updatePageTransitionRedoManager(const std::shared_ptr<editor::UndoManager> &undoManager) {
    editor::PageUndoHistories &histories = textView().undoHistories();
    if (histories.activeUndoManager() == undoManager) {
        histories.setPageTransitionRedoManager(nullptr);
    } else {
        histories.setPageTransitionRedoManager(undoManager);
    }
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
            VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode), QStringLiteral("custom"));
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
        VeltoPreferences::storage().defaults().set(QString::fromLatin1(PreferenceKeys::panelSizeMode), QStringLiteral("preset"));
    });
    VeltoPreferences::storage().notificationCenter().postPanelSizeModeDidChange();
    popover_->setContentSize(VeltoPreferences::panelContentSize());
    panelView_->normalizeEditorWidth();
    placePanelAtAnchor();
    showFeedback(confirmation(QStringLiteral("Panel size · ") + panelSizeDisplayName(*choice)));
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
    VeltoPreferences::setFormatsMarkdown(!VeltoPreferences::formatsMarkdown());
    editorCoordinator_->applyEditorPreferences();
    if (appliedEditorLook_) {
        appliedEditorLook_ = currentEditorLook(appliedEditorLook_->theme);
    }
    panelView_->updateEmptyPageHint();
    showFeedback(confirmation(VeltoPreferences::formatsMarkdown() ? QStringLiteral("Live Markdown formatting on")
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
    if (isModifierKey(event->key())) {
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
