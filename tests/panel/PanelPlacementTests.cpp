// Where the panel goes, how its size is clamped, and the hold-Ctrl hints' transitions: pure functions.
#include "panel/hints/ShortcutHintTransitions.h"
#include "panel/pages/PageOperationUndoLedger.h"
#include "panel/window/PanelResizing.h"
#include "panel/window/PopoverPlacement.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(PopoverPlacementTests, UnderOrAboveTheTrayIconOrAtThePointerInsideTheScreen) {
    const QRect screen(0, 0, 1920, 1080);
    const QRect available(0, 28, 1920, 1052); // a panel bar at the top
    struct Case {
        const char *name;
        std::optional<QRect> anchor;
        QPoint pointer;
        QRect area;
        QPoint expected;
    };
    const Case cases[] = {
        {"centred under a tray icon at the top", QRect(1000, 2, 24, 24), {}, available, {762, 30}},
        {"above a tray icon at the bottom", QRect(1000, 1052, 24, 24), {}, screen, {762, 723}},
        {"moved left at the right edge", QRect(1890, 2, 24, 24), {}, available, {1420, 30}},
        {"moved right at the left edge", QRect(4, 2, 24, 24), {}, available, {0, 30}},
        {"at the pointer without tray geometry", std::nullopt, QPoint(600, 400), available, {350, 400}},
        {"the pointer near the bottom", std::nullopt, QPoint(600, 1000), available, {350, 755}},
        {"larger than the area keeps its corner", QRect(100, 2, 24, 24), {}, QRect(0, 0, 400, 200), {0, 0}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(PopoverPlacement::origin(test.anchor, test.pointer, QSize(500, 325), test.area), test.expected);
    }
}

TEST(PanelResizingTests, RequestsAreClampedToTheBoundsAndTheScreen) {
    struct Case {
        const char *name;
        QSizeF requested;
        std::optional<QSizeF> screen;
        QSizeF expected;
    };
    const Case cases[] = {
        {"below the minimum", {100, 100}, QSizeF(1440, 875), {360, 150}},
        {"below the minimum on a tiny screen", {100, 100}, QSizeF(300, 120), {360, 150}},
        {"beyond the screen", {2000, 2000}, QSizeF(1440, 875), {1200, 827}},
        {"beyond the maximum without a screen", {2000, 2000}, std::nullopt, {1200, 900}},
        {"within every bound", {610, 400}, QSizeF(1440, 875), {610, 400}},
        {"a screen smaller than the margin", {800, 600}, QSizeF(40, 40), {360, 150}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(PanelResizing::clampedPanelSize(test.requested, test.screen), test.expected);
    }
}

TEST(ShortcutHintTransitionTests, EveryPhaseAndEvent) {
    using Phase = ShortcutHintPhase;
    using Event = ShortcutHintEvent;
    using Presentation = ShortcutHintEffects::Presentation;
    struct Case {
        const char *name;
        Phase from;
        Event event;
        Phase to;
        ShortcutHintEffects effects;
    };
    const ShortcutHintEffects hideAndCancel{true, false, Presentation::hide};
    const Case cases[] = {
        {"a key while hidden changes nothing", Phase::hidden, Event::keyDown(), Phase::hidden, {}},
        {"a key while waiting suppresses", Phase::waiting, Event::keyDown(), Phase::suppressedUntilCommandRelease,
         hideAndCancel},
        {"Ctrl+Z while shown suppresses", Phase::visible, Event::keyDown(), Phase::suppressedUntilCommandRelease,
         hideAndCancel},
        {"a key while suppressed stays", Phase::suppressedUntilCommandRelease, Event::keyDown(),
         Phase::suppressedUntilCommandRelease, hideAndCancel},
        {"Ctrl alone starts the dwell",
         Phase::hidden,
         Event::modifiers(true, true),
         Phase::waiting,
         {false, true, Presentation::hide}},
        {"Ctrl with Shift while hidden", Phase::hidden, Event::modifiers(true, false), Phase::hidden, hideAndCancel},
        {"Ctrl alone again while waiting keeps the dwell",
         Phase::waiting,
         Event::modifiers(true, true),
         Phase::waiting,
         {false, false, Presentation::hide}},
        {"Shift joins before the dwell ends", Phase::waiting, Event::modifiers(true, false), Phase::hidden,
         hideAndCancel},
        {"Ctrl released before the dwell ends", Phase::waiting, Event::modifiers(false, false), Phase::hidden,
         hideAndCancel},
        {"a modifier joins shown hints",
         Phase::visible,
         Event::modifiers(true, false),
         Phase::visible,
         {true, false, Presentation::show}},
        {"Ctrl released hides shown hints", Phase::visible, Event::modifiers(false, false), Phase::hidden,
         hideAndCancel},
        {"Ctrl still held while suppressed", Phase::suppressedUntilCommandRelease, Event::modifiers(true, true),
         Phase::suppressedUntilCommandRelease, hideAndCancel},
        {"Ctrl released ends the suppression", Phase::suppressedUntilCommandRelease, Event::modifiers(false, false),
         Phase::hidden, hideAndCancel},
        {"the dwell shows the hints",
         Phase::waiting,
         Event::dwellElapsed(),
         Phase::visible,
         {false, false, Presentation::showWithFreshAvailability}},
        {"a late dwell after release", Phase::hidden, Event::dwellElapsed(), Phase::hidden, {}},
        {"a late dwell while suppressed",
         Phase::suppressedUntilCommandRelease,
         Event::dwellElapsed(),
         Phase::suppressedUntilCommandRelease,
         {}},
        {"focus lost while shown", Phase::visible, Event::focusLost(), Phase::hidden, hideAndCancel},
        {"focus lost while waiting", Phase::waiting, Event::focusLost(), Phase::hidden, hideAndCancel},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        EXPECT_EQ(nextShortcutHintState(test.from, test.event), (ShortcutHintTransition{test.to, test.effects}));
    }
}

/// A library at the limits: 100 pages of about 52 KB each.
VeltoDocument libraryAtTheLimits() {
    VeltoDocument document;
    auto page = [](int index) {
        VeltoPage made;
        made.id = Uuid::random();
        made.content = VeltoPageContent::loaded(
            VeltoPageFileContent{std::nullopt, std::string(52'000, static_cast<char>('a' + index % 26)), "\n"});
        return made;
    };
    document.currentPage = page(0);
    for (int index = 1; index < 100; ++index) {
        document.pages.push_back(page(index));
    }
    return document;
}

/// Selecting another page as the store does: the chosen page becomes current, the previous one goes first.
VeltoPageOperation selection(VeltoDocument &document, std::size_t index) {
    VeltoPageOperation operation;
    operation.actionName = "Move Page";
    operation.before = document;
    VeltoPage chosen = document.pages[index];
    document.pages.erase(document.pages.begin() + static_cast<std::ptrdiff_t>(index));
    document.pages.insert(document.pages.begin(), document.currentPage);
    document.currentPage = chosen;
    operation.after = document;
    return operation;
}

TEST(PageOperationUndoLedgerTests, TwoHundredSelectionsAtTheLimitsStayUnderTheBound) {
    PageOperationUndoLedger ledger;
    VeltoDocument document = libraryAtTheLimits();
    std::vector<std::shared_ptr<PageOperationUndoLedger::Entry>> kept;
    for (int step = 0; step < 200; ++step) {
        kept.push_back(ledger.retain(selection(document, static_cast<std::size_t>(step % 99))));
    }
    // Each page's text is kept once, however many steps hold it.
    EXPECT_LT(ledger.retainedBytes(), std::size_t{6} * 1024 * 1024);
    EXPECT_FALSE(kept.front()->isEvicted());
    ASSERT_TRUE(kept.back()->operation());
    EXPECT_EQ(kept.back()->operation()->after, document);
}

TEST(PageOperationUndoLedgerTests, BeyondTheBoundTheOldestStepsGiveUpTheirDocuments) {
    PageOperationUndoLedger ledger(8 * 1024 * 1024);
    std::vector<std::shared_ptr<PageOperationUndoLedger::Entry>> kept;
    for (int step = 0; step < 5; ++step) {
        VeltoDocument document = libraryAtTheLimits(); // every step on new page values: nothing is shared
        kept.push_back(ledger.retain(selection(document, 1)));
        EXPECT_LE(ledger.retainedBytes(), std::max<std::size_t>(ledger.byteLimit(), 12 * 1024 * 1024));
    }
    EXPECT_TRUE(kept.front()->isEvicted());
    EXPECT_FALSE(kept.front()->operation());
    EXPECT_FALSE(kept.back()->isEvicted());
    kept.clear();
    EXPECT_EQ(ledger.retainedBytes(), 0u);
}

} // namespace
} // namespace velto
