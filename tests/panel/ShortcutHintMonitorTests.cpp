// The hold-Ctrl hints and Escape over a bare panel window, with a recording host in place of the panel controller:
// what the monitor asks of the panel, and when it leaves the keys alone.
#include "PanelTestSupport.h"

#include "editor_view/view/VeltoTextView.h"
#include "panel/hints/ShortcutHintMonitor.h"
#include "panel/view/VeltoPanelView.h"
#include "panel/window/PanelPopover.h"

#include "support/async/EventLoopWaits.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QWindow>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>

#include <gtest/gtest.h>

namespace velto {
namespace {

using testing::processEventsUntil;

/// Records what the monitor asks of the panel.
struct RecordingHintsHost : ShortcutHintsHost {
    VeltoCommandContext commandContext() const override {
        contextQuestions += 1;
        return {};
    }
    void hideFeedback() override { feedbackHidden += 1; }
    void closePanel() override { closes += 1; }

    mutable int contextQuestions = 0;
    int feedbackHidden = 0;
    int closes = 0;
};

/// A shown, active panel window holding a panel view, and the monitor watching its keys.
class ShortcutHintMonitorTest : public ::testing::Test {
protected:
    ShortcutHintMonitorTest() {
        testing::resetDesktop();
        panelView = new VeltoPanelView(QSize(500, 325), editor::TextViewCommandHost::unconfigured());
        popover = std::make_unique<PanelPopover>(panelView, PopoverBehavior::applicationDefined);
        monitor = std::make_unique<ShortcutHintMonitor>(*popover, *panelView, host, scheduler);
        popover->showRelativeTo(QRect(100, 0, 24, 24));
        popover->activateWindow();
        processEventsUntil([&] { return popover->isActiveWindow(); });
        monitor->start();
    }

    /// A key as the panel's window receives it, before the widget with the keyboard focus.
    void sendKey(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, key, modifiers);
        QCoreApplication::sendEvent(popover->windowHandle(), &event);
    }

    testing::TemporaryPreferences preferences;
    testing::ManualScheduler scheduler;
    RecordingHintsHost host;
    VeltoPanelView *panelView = nullptr;
    std::unique_ptr<PanelPopover> popover;
    std::unique_ptr<ShortcutHintMonitor> monitor;
};

TEST_F(ShortcutHintMonitorTest, CtrlHeldForTheDwellShowsTheHintsInPlaceOfTheBanner) {
    ASSERT_TRUE(popover->isActiveWindow());
    // As X11 reports them: a modifier key's own event carries the state before it.
    sendKey(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    scheduler.advance(ShortcutHintMonitor::dwell - std::chrono::milliseconds(1));
    EXPECT_EQ(monitor->state().phase, ShortcutHintPhase::waiting);
    EXPECT_EQ(host.feedbackHidden, 0);
    scheduler.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(monitor->state().phase, ShortcutHintPhase::visible);
    EXPECT_EQ(host.feedbackHidden, 1);
    EXPECT_GE(host.contextQuestions, 1) << "the hints dim what cannot run now";

    monitor->stop();
    EXPECT_EQ(monitor->state().phase, ShortcutHintPhase::hidden);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
}

TEST_F(ShortcutHintMonitorTest, EscapeClosesThePanelOnlyWhenNothingElseHoldsIt) {
    ASSERT_TRUE(popover->isActiveWindow());
    struct Case {
        const char *name;
        Qt::KeyboardModifiers modifiers;
        bool inFindBar;
        bool closes;
    };
    const Case cases[] = {
        {"Escape alone", Qt::NoModifier, false, true},
        {"Shift+Escape", Qt::ShiftModifier, false, false},
        {"Escape in the find bar", Qt::NoModifier, true, false},
        // Caps Lock and Num Lock (the keypad flag here) play no part in a shortcut.
        {"Escape with the keypad flag", Qt::KeypadModifier, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.inFindBar) {
            panelView->findBar()->open();
            panelView->findBar()->field()->setFocus();
            ASSERT_TRUE(
                processEventsUntil([&] { return QApplication::focusWidget() == panelView->findBar()->field(); }));
        } else {
            panelView->findBar()->close();
            panelView->textView()->setFocus();
            ASSERT_TRUE(processEventsUntil([&] { return QApplication::focusWidget() == panelView->textView(); }));
        }
        int closesBefore = host.closes;
        sendKey(QEvent::KeyPress, Qt::Key_Escape, c.modifiers);
        EXPECT_EQ(host.closes - closesBefore, c.closes ? 1 : 0);
    }
}

TEST_F(ShortcutHintMonitorTest, AStoppedMonitorLeavesTheKeysAlone) {
    monitor->stop();
    sendKey(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    sendKey(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    scheduler.advance(ShortcutHintMonitor::dwell);
    EXPECT_EQ(host.closes, 0);
    EXPECT_EQ(monitor->state().phase, ShortcutHintPhase::hidden);
}

} // namespace
} // namespace velto
