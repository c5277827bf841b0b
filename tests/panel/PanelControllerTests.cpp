// The panel controller over a real store on a temporary Pages folder: page operations with undo and redo, the
// page-operation gate, page cycling, the view states the session keeps, the memory bound of undo, and sizes.
#include "PanelControllerFixture.h"

#include "editor_view/TextViewKeyBindings.h"
#include "page_editor/EditorCoordinator.h"
#include "panel/BrowsePagesWindow.h"
#include "panel/PageEditingSession.h"
#include "panel/PanelPopover.h"
#include "panel/PanelFeedbackController.h"
#include "panel/VeltoPanelMenuController.h"
#include "panel/VeltoPanelView.h"

#include <QtGui/QInputMethodEvent>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velto {
namespace {

using editor::TextRange;
using testing::PanelControllerSession;
using testing::finish;
using testing::processEventsUntil;

std::u16string manyLines(int count, std::u16string_view word) {
    std::u16string text;
    for (int line = 0; line < count; ++line) {
        text += word;
        text += u" line of the page\n";
    }
    return text;
}

std::string fileText(const std::filesystem::path &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

TEST(PanelControllerTests, NewPageThenUndoReturnsToThePreviousPageWithItsPlaceAndRedoComesBack) {
    PanelControllerSession session;
    session.type(manyLines(80, u"First"));
    Uuid first = session.currentPageID();
    session.view().usedHeightAfterFullLayout();
    session.view().scrollToPoint({0, 150});
    QPointF scrolled = session.view().visibleRect().topLeft();
    ASSERT_GT(scrolled.y(), 0);
    // A selection on a line in view, as the user leaves it.
    std::size_t inView = session.view().positionAtViewportPoint(QPointF(40, 40));
    TextRange selection{inView, 5};
    session.view().setSelectedRange(selection);

    session.controller->pageOperations().createNewPage();
    Uuid created = session.currentPageID();
    EXPECT_NE(created, first);
    EXPECT_EQ(session.shownText(), "");
    EXPECT_EQ(session.banner(), "New page · Ctrl+Z to undo");
    EXPECT_EQ(session.store->document().pages.front().visibleText(), text::toUTF8(manyLines(80, u"First")));

    session.view().perform(editor::TextViewCommand::undo);
    EXPECT_EQ(session.currentPageID(), first);
    EXPECT_EQ(session.shownText(), text::toUTF8(manyLines(80, u"First")));
    EXPECT_EQ(session.view().selectedRange(), selection);
    EXPECT_EQ(session.view().visibleRect().topLeft(), scrolled);
    EXPECT_EQ(session.banner(), "New Page undone · Ctrl+Shift+Z to redo");

    // The new page's history went with it; its redo is reached from the page now shown.
    session.view().perform(editor::TextViewCommand::redo);
    EXPECT_EQ(session.currentPageID(), created);
    EXPECT_EQ(session.shownText(), "");
    EXPECT_EQ(session.banner(), "New Page redone · Ctrl+Z to undo");
    EXPECT_EQ(session.beeps, 0);
}

TEST(PanelControllerTests, TypingAfterAnUndoneNewPageEndsItsRedo) {
    PanelControllerSession session;
    session.type(u"first");
    session.controller->pageOperations().createNewPage();
    session.view().perform(editor::TextViewCommand::undo);
    session.type(u" more");
    session.view().perform(editor::TextViewCommand::redo);
    EXPECT_EQ(session.shownText(), "first more");
    EXPECT_EQ(session.store->document().pages.size(), 0u);
}

TEST(PanelControllerTests, UndoAfterAnotherWriterChangedThePageBeepsAndChangesNothing) {
    PanelControllerSession session;
    session.type(u"written here\n");
    session.controller->flushPendingChanges();
    finish(session.store->flush());
    std::filesystem::path file = *session.store->currentPageFileURL();
    session.controller->pageOperations().createNewPage();
    finish(session.store->flush());

    std::string contents = fileText(file);
    std::size_t body = contents.find("written here");
    ASSERT_NE(body, std::string::npos);
    contents.replace(body, 12, "changed elsewhere");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
    finish(session.store->reloadFromDisk(false, std::nullopt));
    VeltoDocument before = session.store->document();

    session.view().perform(editor::TextViewCommand::undo);
    EXPECT_EQ(session.beeps, 1);
    EXPECT_EQ(session.store->document(), before);
    EXPECT_EQ(session.shownText(), "");
}

TEST(PanelControllerTests, CyclingThroughPages) {
    struct Case {
        const char *name;
        int pages;
        bool reverse;
        const char *banner; // "" means a beep and no move
    };
    const Case cases[] = {
        {"one page beeps", 1, false, ""},
        {"backwards from the first of five", 5, true, "Page 5 of 5"},
        {"forwards from the first of five", 5, false, "Page 2 of 5"},
        {"forwards from the first of two", 2, false, "Page 2 of 2"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        PanelControllerSession session;
        session.type(u"page 1");
        for (int page = 2; page <= test.pages; ++page) {
            session.newPageWithText(u"page " + text::toUTF16(std::to_string(page)));
        }
        Uuid before = session.currentPageID();
        finish(session.controller->pageOperations().cyclePage(test.reverse));
        if (std::string(test.banner).empty()) {
            EXPECT_EQ(session.beeps, 1);
            EXPECT_EQ(session.currentPageID(), before);
        } else {
            EXPECT_EQ(session.beeps, 0);
            EXPECT_NE(session.currentPageID(), before);
            EXPECT_EQ(session.banner(), test.banner);
            EXPECT_EQ(session.shownText(), session.storedText());
        }
    }
}

TEST(PanelControllerTests, RepeatedCyclingWalksTheSnapshotAndAnotherActionEndsIt) {
    PanelControllerSession session;
    session.type(u"page 1");
    session.newPageWithText(u"page 2");
    session.newPageWithText(u"page 3");
    finish(session.controller->pageOperations().cyclePage(false));
    finish(session.controller->pageOperations().cyclePage(false));
    EXPECT_EQ(session.banner(), "Page 3 of 3");
    EXPECT_EQ(session.shownText(), "page 1");
    EXPECT_TRUE(session.controller->pageEditingSession().navigation.session.has_value());
    session.controller->append(QStringLiteral("appended"));
    EXPECT_FALSE(session.controller->pageEditingSession().navigation.session.has_value());
}

// A restore that awaits the disk: nothing typed meanwhile lands on either page, other page commands and
// appends are refused with a beep, and editing comes back with the restored page.
TEST(PanelControllerTests, APageOperationAwaitingTheDiskHoldsTheEditorAndOtherCommands) {
    PanelControllerSession session;
    session.type(u"kept page");
    Uuid kept = session.currentPageID();
    Uuid archived = session.newPageWithText(u"archived page");
    session.controller->pageOperations().archivePage();
    ASSERT_EQ(session.currentPageID(), kept);
    finish(session.store->flush());

    session.readGate->holding = true;
    QCoro::Task<void> restoring = session.controller->pageOperations().restorePageFromArchive(archived);
    ASSERT_TRUE(processEventsUntil([&] { return session.readGate->waiting == 1; }));
    EXPECT_TRUE(session.controller->pageOperations().isRunning());
    EXPECT_FALSE(session.view().isEditable());

    session.type(u"x");
    EXPECT_EQ(session.shownText(), "kept page");
    finish(session.controller->pageOperations().cyclePage(false));
    EXPECT_EQ(session.beeps, 1);
    EXPECT_FALSE(session.controller->append(QStringLiteral("clip")));
    EXPECT_EQ(session.beeps, 2);
    session.controller->pageOperations().createNewPage();
    EXPECT_EQ(session.beeps, 3);

    session.readGate->released = true;
    finish(std::move(restoring));
    EXPECT_FALSE(session.controller->pageOperations().isRunning());
    EXPECT_EQ(session.currentPageID(), archived);
    EXPECT_EQ(session.shownText(), "archived page");
    EXPECT_EQ(session.banner(), "Page restored");
    EXPECT_TRUE(session.view().isEditable());
    const VeltoPage *keptPage = findPage(session.store->document(), kept);
    ASSERT_NE(keptPage, nullptr);
    EXPECT_EQ(keptPage->visibleText(), "kept page");

    session.type(u"!");
    session.scheduler.advance(std::chrono::milliseconds(300));
    EXPECT_EQ(session.storedText(), "archived page!");
}

TEST(PanelControllerTests, ArchiveUndoAndRedoMoveTheLibraryBackAndForth) {
    PanelControllerSession session;
    session.type(u"kept page");
    Uuid kept = session.currentPageID();
    Uuid archived = session.newPageWithText(u"to archive");
    session.controller->pageOperations().archivePage();
    EXPECT_EQ(session.currentPageID(), kept);
    EXPECT_EQ(session.banner(), "Page archived · Ctrl+Z to undo");

    session.view().perform(editor::TextViewCommand::undo);
    ASSERT_TRUE(processEventsUntil([&] { return !session.controller->pageOperations().isRunning(); }));
    EXPECT_EQ(session.currentPageID(), archived);
    EXPECT_EQ(session.shownText(), "to archive");
    EXPECT_EQ(session.banner(), "Previous page restored · Ctrl+Shift+Z to redo");

    session.view().perform(editor::TextViewCommand::redo);
    ASSERT_TRUE(processEventsUntil([&] { return !session.controller->pageOperations().isRunning(); }));
    EXPECT_EQ(session.currentPageID(), kept);
    EXPECT_EQ(session.banner(), "Page archived · Ctrl+Z to undo");
    EXPECT_EQ(session.beeps, 0);
}

TEST(PanelControllerTests, APageSummaryIsReadOnlyAndRefusesAppends) {
    PanelControllerSession session;
    session.type(u"page");
    VeltoPage summary = session.store->document().currentPage;
    summary.content = VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{"The opening", 11, true, {}, {}});
    VeltoStore other(session.folder / "Other", 100, 5'242'880, {},
                     VeltoLibraryLoadResult::loaded(VeltoDocument{summary, {}}));
    VeltoPanelController::Options options;
    int beeps = 0;
    options.beep = [&] { beeps += 1; };
    options.editorScheduler = &session.scheduler;
    options.codeHighlighter = std::make_shared<testing::SilentHighlighter>();
    VeltoPanelController controller(other, std::move(options));
    EXPECT_FALSE(controller.textView().isEditable());
    EXPECT_FALSE(controller.canAppendToCurrentPage());
    EXPECT_FALSE(controller.append(QStringLiteral("clipboard")));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(other.document().currentPage.visibleText(), "The opening");
    EXPECT_FALSE(controller.commandRegistry().isAvailable(VeltoCommandID::newPage));
    EXPECT_FALSE(controller.commandRegistry().isAvailable(VeltoCommandID::archivePage));
}

TEST(PanelControllerTests, PageCommandsReachAnEditablePageThroughTheRegistry) {
    PanelControllerSession session;
    const VeltoCommandRegistry &commands = session.controller->commandRegistry();
    EXPECT_FALSE(commands.isAvailable(VeltoCommandID::newPage)) << "an empty page needs no second one";
    session.type(u"- [ ] first");
    Uuid first = session.currentPageID();
    EXPECT_TRUE(commands.isAvailable(VeltoCommandID::toggleTaskCheckbox));
    EXPECT_TRUE(commands.isAvailable(VeltoCommandID::archivePage));
    ASSERT_TRUE(commands.perform(VeltoCommandID::newPage));
    EXPECT_NE(session.currentPageID(), first);
    EXPECT_EQ(session.shownText(), "");
}

TEST(PanelControllerTests, BrowsePagesFromTheRegistryShowsTheBrowsePagesWindow) {
    PanelControllerSession session;
    auto shownBrowseWindow = [] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (dynamic_cast<BrowsePagesWindow *>(window) != nullptr && window->isVisible()) {
                return true;
            }
        }
        return false;
    };
    ASSERT_FALSE(shownBrowseWindow());
    ASSERT_TRUE(session.controller->commandRegistry().perform(VeltoCommandID::browsePages));
    EXPECT_TRUE(shownBrowseWindow());
}

TEST(PanelControllerTests, ARememberedPlaceIsDroppedWhenThePageChangedElsewhere) {
    PanelControllerSession session;
    session.type(manyLines(10, u"First"));
    Uuid first = session.currentPageID();
    session.view().setSelectedRange({60, 0});
    Uuid second = session.newPageWithText(u"second");
    session.controller->pageOperations().selectPageAndOpenEditor(first);
    EXPECT_EQ(session.view().selectedRange(), (TextRange{60, 0}));
    EXPECT_EQ(session.banner(), "Page selected");

    // Unchanged text: the place comes back; changed text: the page opens at its start.
    session.controller->pageOperations().selectPageAndOpenEditor(second);
    session.view().setSelectedRange({3, 2});
    session.controller->pageOperations().selectPageAndOpenEditor(first);
    VeltoPage changed = *findPage(session.store->document(), second);
    changed.content.asLoaded()->body = "secXnd";
    VeltoDocument document = session.store->document();
    replacePage(document, changed);
    session.controller->pageEditingSession().prepareForTransition();
    auto remembered = session.controller->pageEditingSession().viewStates().at(second);
    EXPECT_EQ(remembered.state.selection, (TextRange{3, 2}));
    EXPECT_NE(remembered.text, editor::PageTextFingerprint::ofUTF8("secXnd"));
}

TEST(PanelControllerTests, SelectingTheCurrentPageOpensTheEditorAndRegistersNothing) {
    PanelControllerSession session;
    session.type(u"page");
    int opened = 0;
    session.controller->onOpenEditor = [&] { opened += 1; };
    session.controller->pageOperations().selectPageAndOpenEditor(session.currentPageID());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(session.banner(), "");
    session.controller->pageOperations().selectPageAndOpenEditor(Uuid::random());
    EXPECT_EQ(opened, 1);
}

// Undo keeps one copy of each page value along the chain and gives up the oldest steps beyond the bound.
TEST(PanelControllerTests, EvictedUndoStepsBeepAndTheNewestStaysWhole) {
    PanelControllerSession session(1); // every step but the newest is given up at once
    session.type(u"page 1");
    session.newPageWithText(u"page 2");
    session.newPageWithText(u"page 3");
    Uuid third = session.currentPageID();
    EXPECT_LE(session.controller->pageOperations().undoLedger().retainedBytes(), 64u * 1024 * 1024);
    session.view().perform(editor::TextViewCommand::undo); // the typing on page 3
    session.view().perform(editor::TextViewCommand::undo); // the newest step: page 3 created
    EXPECT_NE(session.currentPageID(), third);
    EXPECT_EQ(session.beeps, 0);
    session.view().perform(editor::TextViewCommand::undo); // the typing on page 2
    session.view().perform(editor::TextViewCommand::undo); // page 2 created: given up
    EXPECT_EQ(session.beeps, 1);
    EXPECT_EQ(session.shownText(), "");
}

TEST(PanelControllerTests, ResizingClampsAndRemembersACustomSize) {
    PanelControllerSession session;
    session.controller->resizePanel({100, 100}, true);
    EXPECT_EQ(session.controller->popover().contentSize(), QSizeF(360, 150));
    EXPECT_EQ(VeltoPreferences::panelSizeMode(), PanelSizeMode::custom());
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(360, 150));

    session.controller->adjustPanelSize(1);
    EXPECT_EQ(session.banner(), "Panel size · Minimal");
    EXPECT_EQ(VeltoPreferences::panelSizeMode(), PanelSizeMode::presetMode(PanelSizeChoice::minimal));
    EXPECT_EQ(session.controller->popover().contentSize(), QSizeF(400, 260));
}

TEST(PanelControllerTests, APanelResizedByKeyWhileShownStaysUnderItsTrayIcon) {
    PanelControllerSession session;
    PanelPopover &popover = session.controller->popover();
    QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    popover.performClose();
    popover.showRelativeTo(QRect(available.right() - 30, available.y(), 24, 24));
    ASSERT_EQ(popover.frameGeometry().right(), available.right()) << "opened against the right edge";

    int openedWidth = popover.width();
    session.controller->adjustPanelSize(1);
    ASSERT_GT(popover.width(), openedWidth);
    EXPECT_EQ(popover.frameGeometry().right(), available.right());
    // Back at the size it opened at, it is where it opened, not left where the larger size put it.
    session.controller->adjustPanelSize(-1);
    EXPECT_EQ(popover.width(), openedWidth);
    EXPECT_EQ(popover.frameGeometry().right(), available.right());
    popover.performClose();
}

TEST(PanelControllerTests, FontSizeAndFormattingToggle) {
    PanelControllerSession session;
    int changes = 0;
    QObject::connect(&session.preferences.center, &VeltoNotificationCenter::veltoPreferencesDidChange,
                     [&] { changes += 1; });
    session.controller->setFontSize(16); // not a listed size
    session.controller->setFontSize(15); // the stored size
    EXPECT_EQ(changes, 0);
    session.controller->commandRegistry().perform(VeltoCommandID::increaseTextSize);
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 17);
    EXPECT_EQ(changes, 1);

    session.controller->toggleMarkdownFormatting();
    EXPECT_FALSE(VeltoPreferences::formatsMarkdown());
    EXPECT_EQ(session.banner(), "Live Markdown formatting off");
    session.controller->toggleMarkdownFormatting();
    EXPECT_EQ(session.banner(), "Live Markdown formatting on");
}

// Restyling a page of megabytes takes long on the shortcut's way to the screen: the first show restyles the
// page only when its look changed since it was loaded.
TEST(PanelControllerTests, TheFirstShowRestylesThePageOnlyWhenItsLookChanged) {
    for (const bool appearanceChanged : {false, true}) {
        PanelControllerSession session;
        session.controller->close();
        if (appearanceChanged) {
            VeltoPreferences::setAppearance(VeltoPreferences::appearance() == AppearanceChoice::dark
                                                ? AppearanceChoice::light
                                                : AppearanceChoice::dark);
        }
        const std::uint64_t generation = session.controller->editorCoordinator().codeHighlightGeneration();
        session.controller->show(QRect(100, 0, 24, 24));
        EXPECT_EQ(session.controller->editorCoordinator().codeHighlightGeneration() != generation, appearanceChanged)
            << (appearanceChanged ? "appearance changed" : "nothing changed");
        session.controller->close();
    }
}

TEST(PanelControllerTests, ShowingTwiceShowsOnceAndAPendingBannerWaitsForTheShow) {
    PanelControllerSession session;
    session.controller->close();
    session.controller->showFeedback({QStringLiteral("first"), PanelFeedback::Emphasis::informational, 2.2});
    session.controller->showFeedback({QStringLiteral("second"), PanelFeedback::Emphasis::informational, 2.2});
    EXPECT_EQ(session.controller->pendingFeedback()->message.toStdString(), "second");
    int closes = 0;
    session.controller->popover().didClose = [&] { closes += 1; };
    session.controller->show(QRect(100, 0, 24, 24));
    session.controller->show(QRect(400, 0, 24, 24));
    EXPECT_TRUE(session.controller->isShown());
    EXPECT_FALSE(session.controller->pendingFeedback().has_value());
    ASSERT_TRUE(processEventsUntil([&] { return session.controller->feedbackPanelController().panel()->isVisible(); }));
    EXPECT_EQ(session.controller->feedbackPanelController().feedbackView()->label()->text(), "second");
    session.controller->close();
    EXPECT_FALSE(session.controller->isShown());
    EXPECT_EQ(closes, 1);
}

} // namespace
} // namespace velto

namespace velto {
namespace {

/// Sends a key event to the panel's window, the way the window system delivers it.
void sendKey(PanelControllerSession &session, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent event(type, key, modifiers);
    QCoreApplication::sendEvent(session.controller->popover().windowHandle(), &event);
}

TEST(PanelControllerKeyTests, HoldingCtrlShowsTheHintsAndEscapeClosesUnlessAnInputMethodComposes) {
    PanelControllerSession session;
    session.controller->popover().activateWindow();
    ASSERT_TRUE(processEventsUntil([&] { return session.controller->popover().isActiveWindow(); }));

    // As X11 reports them: a modifier key's own event carries the state before it.
    sendKey(session, QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    EXPECT_EQ(session.controller->shortcutHintState().phase, ShortcutHintPhase::waiting);
    session.scheduler.advance(std::chrono::milliseconds(700));
    EXPECT_EQ(session.controller->shortcutHintState().phase, ShortcutHintPhase::visible);
    sendKey(session, QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(session.controller->shortcutHintState().phase, ShortcutHintPhase::suppressedUntilCommandRelease);
    sendKey(session, QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(session.controller->shortcutHintState().phase, ShortcutHintPhase::hidden);

    QInputMethodEvent composing(QStringLiteral("ka"), {});
    QCoreApplication::sendEvent(&session.view(), &composing);
    ASSERT_TRUE(session.view().hasMarkedText());
    sendKey(session, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(session.controller->isShown());

    QInputMethodEvent committed;
    committed.setCommitString(QString());
    QCoreApplication::sendEvent(&session.view(), &committed);
    sendKey(session, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(session.controller->isShown());
}

} // namespace
} // namespace velto

namespace velto {
namespace {

TEST(PanelControllerBannerTests, ArchivingOthersDeletingArchivedPagesAndReloadingReportWhatHappened) {
    PanelControllerSession session;
    session.type(u"first");
    session.newPageWithText(u"second"); // its save still on its way
    finish(session.controller->pageOperations().archiveOtherPagesFromMenu());
    EXPECT_EQ(session.banner(), "1 page archived");

    EXPECT_EQ(finish(session.controller->pageOperations().deleteConfirmedArchivedPages({})), 0);
    EXPECT_EQ(session.banner(), "No archived pages deleted");
    std::set<Uuid> archived = session.store->archiveSnapshot().pageIDs;
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(finish(session.controller->pageOperations().deleteConfirmedArchivedPages(archived)), 1);
    EXPECT_EQ(session.banner(), "1 archived page deleted");

    session.type(u" typed");
    finish(session.controller->pageOperations().reloadFromDisk());
    EXPECT_EQ(session.banner(), "Reloaded from disk");
    EXPECT_EQ(session.shownText(), session.storedText());
    EXPECT_FALSE(session.view().undoHistories().canUndo()); // a reload discards every undo step
    EXPECT_EQ(session.beeps, 0);
}

/// The item of the menu with this text, looked for in its submenus too; nullptr when there is none.
const PanelMenuItem *menuItem(const PanelMenu &menu, const QString &text) {
    for (const PanelMenuItem &item : menu.items) {
        if (item.text == text) {
            return &item;
        }
        if (item.submenu) {
            if (const PanelMenuItem *inside = menuItem(*item.submenu, text)) {
                return inside;
            }
        }
    }
    return nullptr;
}

TEST(PanelControllerBannerTests, AFailedDeletionFromTheTrayMenuBeepsAndSaysSo) {
    PanelControllerSession session;
    session.type(u"first");
    session.newPageWithText(u"second");
    finish(session.controller->pageOperations().archiveOtherPagesFromMenu());
    ASSERT_EQ(session.store->archiveSnapshot().pageIDs.size(), 1u);
    session.loadsFail = true;

    PanelMenu menu = session.controller->panelMenuController().makeStatusMenuModel();
    const PanelMenuItem *deletion = menuItem(menu, QStringLiteral("Delete 1 Archived Page…"));
    ASSERT_NE(deletion, nullptr);
    deletion->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return session.beeps > 0; }, std::chrono::seconds(30)))
        << "the failed deletion made no sound";
    EXPECT_EQ(session.banner(), "Couldn’t delete archived pages");
    EXPECT_EQ(session.confirmations, std::vector<std::string>{"Delete 1 archived page?"});
    EXPECT_EQ(session.store->archiveSnapshot().pageIDs.size(), 1u);
    EXPECT_FALSE(session.controller->pageOperations().isRunning());
}

} // namespace
} // namespace velto

namespace velto {
namespace {

TEST(PanelPopoverTests, AnotherWindowTakingTheKeyboardClosesOnlyATransientPanel) {
    for (PopoverBehavior behavior : {PopoverBehavior::applicationDefined, PopoverBehavior::transient}) {
        SCOPED_TRACE(behavior == PopoverBehavior::transient ? "transient" : "application-defined");
        PanelControllerSession session;
        PanelPopover &popover = session.controller->popover();
        popover.setBehavior(behavior);
        popover.activateWindow();
        ASSERT_TRUE(processEventsUntil([&] { return popover.isActiveWindow(); }));
        std::uint64_t flushesBefore = session.store->latestScheduledGeneration().value_or(0);
        session.type(u"typed before the click");

        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(processEventsUntil([&] { return elsewhere.isActiveWindow(); }));
        if (behavior == PopoverBehavior::transient) {
            EXPECT_FALSE(session.controller->isShown());
            EXPECT_TRUE(session.controller->lastSelfCloseTime().has_value());
            EXPECT_EQ(session.storedText(), "typed before the click"); // closing hands the text over
            EXPECT_GT(session.store->latestScheduledGeneration().value_or(0), flushesBefore);
        } else {
            EXPECT_TRUE(session.controller->isShown());
            EXPECT_FALSE(session.controller->lastSelfCloseTime().has_value());
        }
    }
}

} // namespace
} // namespace velto
