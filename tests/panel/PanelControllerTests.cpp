// The panel controller over a real store on a temporary Pages folder: commands through the registry, read-only
// summaries, sizes, font size and formatting, the hint keys, banners from the tray menu and the popover.
#include "PanelControllerFixture.h"

#include "editor_view/input/TextViewKeyBindings.h"
#include "page_editor/EditorCoordinator.h"
#include "panel/browse/BrowsePagesWindow.h"
#include "panel/feedback/PanelFeedbackController.h"
#include "panel/menu/VeltoPanelMenuController.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelPopover.h"

#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>
#include <QtGui/QInputMethodEvent>
#include <QtGui/QKeyEvent>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace velto {
namespace {

using editor::TextRange;
using testing::finish;
using testing::PanelControllerSession;
using testing::processEventsUntil;

TEST(PanelControllerTests, APageSummaryIsReadOnlyAndRefusesAppends) {
    PanelControllerSession session;
    session.type(u"page");
    VeltoPage summary = session.store().document().currentPage;
    summary.content = VeltoPageContent::archivedSummary(VeltoArchivedPageSummary{"The opening", 11, true, {}, {}});
    VeltoStore other(session.stores.temporary / "Other", 100, 5'242'880, {},
                     VeltoLibraryLoadResult::loaded(VeltoDocument{summary, {}}));
    PanelServices options;
    int beeps = 0;
    options.beep = [&] { beeps += 1; };
    options.editorScheduler = &session.scheduler;
    options.codeHighlighter = std::make_shared<testing::SilentHighlighter>();
    VeltoPanelController controller(other, panelAssembly(std::move(options)));
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

// Both pastes style what they brought at once, not after the pause that typing waits for.
TEST(PanelControllerTests, APasteIsStyledAtOnce) {
    struct Case {
        const char *name;
        QCoro::Task<void> (editor::VeltoTextView::*paste)();
    };
    const Case cases[] = {
        {"Paste", &editor::VeltoTextView::paste},
        {"Paste and Match Style", &editor::VeltoTextView::pasteAsPlainText},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        PanelControllerSession session;
        session.type(u"typed ");
        ASSERT_TRUE(session.controller->editorCoordinator().hasPendingStylePass());
        QGuiApplication::clipboard()->setText(QStringLiteral("# pasted heading"));
        finish((session.view().*test.paste)());
        EXPECT_EQ(session.shownText(), "typed # pasted heading");
        EXPECT_FALSE(session.controller->editorCoordinator().hasPendingStylePass());
    }
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
    QObject::connect(&session.controller->popover(), &PanelPopover::didClose, [&] { closes += 1; });
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

// Failing saves stay in the banner while they last and come back at each opening of the panel; the first save
// that succeeds takes the banner away.
TEST(PanelControllerBannerTests, FailingSavesStayInTheBannerAtEachOpeningUntilASaveSucceeds) {
    PanelControllerSession session;
    session.type(u"saved first");
    session.controller->flushPendingChanges();
    finish(session.store().flush());
    const std::filesystem::path lockFile = session.store().folderURL() / ".velto" / "transaction.lock";
    int otherProgram = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(otherProgram, 0);
    ASSERT_EQ(::flock(otherProgram, LOCK_EX), 0);

    session.type(u" then more");
    session.controller->flushPendingChanges();
    ASSERT_TRUE(processEventsUntil([&] { return session.store().lastSaveErrorDescription().has_value(); },
                                   std::chrono::seconds(30)))
        << "the save did not fail";
    QWidget *banner = session.controller->feedbackPanelController().panel();
    EXPECT_EQ(session.banner(), "Changes not saved · The library is busy");
    EXPECT_TRUE(banner->isVisible());

    // Another banner takes its place for a while; the next opening shows the failing saves again.
    session.controller->showFeedback(PanelFeedback::confirmation(QStringLiteral("Page archived")));
    session.controller->close();
    session.controller->show(QRect(100, 0, 24, 24));
    processEventsUntil([&] { return session.banner() == "Changes not saved · The library is busy"; });
    EXPECT_EQ(session.banner(), "Changes not saved · The library is busy");
    EXPECT_TRUE(banner->isVisible());

    ::close(otherProgram);
    session.controller->flushPendingChanges();
    ASSERT_TRUE(processEventsUntil([&] { return !session.store().lastSaveErrorDescription().has_value(); },
                                   std::chrono::seconds(30)))
        << "the save did not succeed once the library was free";
    EXPECT_TRUE(processEventsUntil([&] { return !banner->isVisible(); })) << "the banner outlived the failure";
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

// Escape with a modifier passes the panel's own handling and reaches the text, which must not close the panel
// either: only Escape alone does.
TEST(PanelControllerKeyTests, OnlyEscapeAloneClosesThePanel) {
    PanelControllerSession session;
    session.controller->popover().activateWindow();
    ASSERT_TRUE(processEventsUntil([&] { return session.controller->popover().isActiveWindow(); }));
    session.view().setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(session.view().hasFocus());
    const struct {
        const char *name;
        Qt::KeyboardModifiers modifiers;
    } heldKeys[] = {
        {"Shift+Escape", Qt::ShiftModifier},
        {"Ctrl+Escape", Qt::ControlModifier},
        {"Alt+Escape", Qt::AltModifier},
        {"Super+Escape", Qt::MetaModifier},
        {"Ctrl+Shift+Escape", Qt::ControlModifier | Qt::ShiftModifier},
    };
    for (const auto &held : heldKeys) {
        sendKey(session, QEvent::KeyPress, Qt::Key_Escape, held.modifiers);
        sendKey(session, QEvent::KeyRelease, Qt::Key_Escape, held.modifiers);
        EXPECT_TRUE(session.controller->isShown()) << held.name;
    }
    sendKey(session, QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(session.controller->isShown());
}

} // namespace
} // namespace velto

namespace velto {
namespace {

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
    ASSERT_EQ(session.store().archiveSnapshot().pageIDs.size(), 1u);
    session.loadsFail = true;

    PanelMenu menu = session.controller->panelMenuController().makeStatusMenuModel();
    const PanelMenuItem *deletion = menuItem(menu, QStringLiteral("Delete 1 Archived Page…"));
    ASSERT_NE(deletion, nullptr);
    deletion->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return session.beeps > 0; }, std::chrono::seconds(30)))
        << "the failed deletion made no sound";
    EXPECT_EQ(session.banner(), "Couldn’t delete archived pages");
    EXPECT_EQ(session.confirmations, std::vector<std::string>{"Delete 1 archived page?"});
    EXPECT_EQ(session.store().archiveSnapshot().pageIDs.size(), 1u);
    EXPECT_FALSE(session.controller->pageOperations().isRunning());
}

// Another program holds the library's lock past the save's wait: the panel's banner and the tray menu give the
// same state and the same reason, and the menu does not call the unsaved page saved.
TEST(PanelControllerBannerTests, ALibraryHeldByAnotherProgramIsTheSameReasonInThePanelAndTheTrayMenu) {
    PanelControllerSession session;
    session.type(u"saved first");
    session.controller->flushPendingChanges();
    finish(session.store().flush());
    const std::filesystem::path lockFile = session.store().folderURL() / ".velto" / "transaction.lock";
    struct HeldLock { // let go before the session flushes at its end
        int descriptor;
        ~HeldLock() { ::close(descriptor); }
    } otherProgram{::open(lockFile.c_str(), O_RDWR | O_CLOEXEC)};
    ASSERT_GE(otherProgram.descriptor, 0);
    ASSERT_EQ(::flock(otherProgram.descriptor, LOCK_EX), 0);

    session.type(u" then more");
    session.controller->flushPendingChanges();
    ASSERT_TRUE(processEventsUntil([&] { return session.store().lastSaveErrorDescription().has_value(); },
                                   std::chrono::seconds(30)))
        << "the save did not fail";
    EXPECT_EQ(session.banner(), "Changes not saved · The library is busy");
    PanelMenu menu = session.controller->panelMenuController().makeStatusMenuModel();
    ASSERT_GE(menu.items.size(), 2u);
    EXPECT_EQ(menu.items[0].text, "⚠ Changes not saved · The library is busy");
    EXPECT_EQ(menu.items[1].text, "4 words · Not saved");

    // The text is kept outside the Pages folder: the banner shown says so at once, and so does the menu.
    session.controller->setKeptText({SaveProblem::KeptText::State::kept, QStringLiteral("~/Unsaved Text")});
    EXPECT_EQ(session.banner(), "Changes not saved · The library is busy\nKept in “~/Unsaved Text”");
    menu = session.controller->panelMenuController().makeStatusMenuModel();
    ASSERT_GE(menu.items.size(), 3u);
    EXPECT_EQ(menu.items[1].text, "Kept in “~/Unsaved Text”");
    EXPECT_FALSE(menu.items[1].enabled);
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
        std::uint64_t flushesBefore = session.store().latestScheduledGeneration().value_or(0);
        session.type(u"typed before the click");

        QWidget elsewhere;
        elsewhere.show();
        elsewhere.activateWindow();
        ASSERT_TRUE(processEventsUntil([&] { return elsewhere.isActiveWindow(); }));
        if (behavior == PopoverBehavior::transient) {
            EXPECT_FALSE(session.controller->isShown());
            EXPECT_TRUE(session.controller->lastSelfCloseTime().has_value());
            EXPECT_EQ(session.storedText(), "typed before the click"); // closing hands the text over
            EXPECT_GT(session.store().latestScheduledGeneration().value_or(0), flushesBefore);
        } else {
            EXPECT_TRUE(session.controller->isShown());
            EXPECT_FALSE(session.controller->lastSelfCloseTime().has_value());
        }
    }
}

} // namespace
} // namespace velto
