#include "BrowsePagesTestLibrary.h"
#include "PanelTestSupport.h"

#include "panel/browse/BrowsePagesWindow.h"
#include "support/async/TaskCompletion.h"
#include "support/ui/KeyboardFocus.h"
#include "ui/VeltoUI.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QListView>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QScrollBar>
#include <gtest/gtest.h>
#include <qcoro/qcorotimer.h>

#include <memory>
#include <string>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;

const Date now = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::system_clock::now());

using testing::copyOf;
using testing::numbered;
using testing::page;

/// The window over an in-memory library; resolutions wait until the test answers them.
struct WindowHarness : testing::BrowsePagesLibrary {
    explicit WindowHarness(VeltoPage current, std::vector<VeltoPage> others = {})
        : BrowsePagesLibrary(std::move(current), std::move(others)) {
        BrowsePagesWindow::Callbacks callbacks;
        callbacks.openPage = [this](Uuid id) { calls.push_back("open " + id.uppercaseText().substr(32)); };
        callbacks.resolve = [this](Uuid id,
                                   VeltoConflictResolution resolution) -> QCoro::Task<VeltoConflictResolutionOutcome> {
            calls.push_back("resolve " + id.uppercaseText().substr(32) + " " +
                            std::to_string(static_cast<int>(resolution)));
            while (!answer) {
                co_await QCoro::sleepFor(2ms);
            }
            VeltoConflictResolutionOutcome outcome = *answer;
            answer.reset();
            co_return outcome;
        };
        callbacks.confirm = [this](const QString &message, const QString &, const QString &) {
            calls.push_back("ask " + message.toStdString());
            if (whileAsking) {
                std::exchange(whileAsking, {})();
            }
            return confirms;
        };
        callbacks.presentRefreshedConflictNotice = [this] { calls.push_back("notice"); };
        callbacks.presentDeletedCopyNotice = [this] { calls.push_back("deleted"); };
        callbacks.beep = [this] { calls.push_back("beep"); };
        window = std::make_unique<BrowsePagesWindow>(store->document(), std::move(callbacks));
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> out;
        for (const BrowsePageRow &row : window->model().rows()) {
            out.push_back(row.preview.toStdString());
        }
        return out;
    }
    std::string buttons() const {
        std::string out;
        for (QPushButton *button : {window->openButton(), window->keepCurrentButton(), window->keepBothButton(),
                                    window->useSavedCopyButton()}) {
            out += button->isEnabled() ? "1" : "0";
        }
        return out;
    }

    std::unique_ptr<BrowsePagesWindow> window;
    std::vector<std::string> calls;
    std::optional<VeltoConflictResolutionOutcome> answer;
    bool confirms = true;
    /// What happens while the confirmation is asked.
    std::function<void()> whileAsking;

    /// Another program leaves the folder holding `document`, and the library is read again.
    void reloadFinding(VeltoDocument document) {
        inFolder = std::move(document);
        testing::finish(store->reloadFromDisk(false, std::nullopt));
    }
};

TEST(BrowsePagesWindow, ListsSearchesAfterAPauseAndOpensTheChosenPage) {
    WindowHarness harness(page(1, "First", now - 1min), {page(2, "Second page", now - 1h), page(3, "Third", now - 2h)});
    harness.window->showAllPages();
    EXPECT_TRUE(harness.window->isVisible());
    EXPECT_EQ(harness.window->windowTitle(), "Browse Pages");
    EXPECT_EQ(harness.window->searchField()->placeholderText(), "Search active pages");
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"First", "Second page", "Third"}));
    EXPECT_EQ(harness.buttons(), "0000");

    harness.window->searchField()->setText("SEC");
    EXPECT_EQ(harness.titles().size(), 3U) << "the search waits for a pause in typing";
    ASSERT_TRUE(processEventsUntil([&] { return !harness.window->isSearching(); }));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Second page"}));
    harness.window->searchField()->setText("nothing like it");
    ASSERT_TRUE(processEventsUntil([&] { return !harness.window->isSearching(); }));
    EXPECT_TRUE(harness.titles().empty());
    EXPECT_FALSE(harness.window->emptyStateView()->isHidden());

    harness.window->close();
    EXPECT_FALSE(harness.window->isVisible());
    harness.window->showAllPages(); // the same window, the search cleared
    EXPECT_TRUE(harness.window->searchField()->text().isEmpty());
    harness.window->selectRow(1);
    EXPECT_EQ(harness.buttons()[0], '1');
    harness.window->openSelectedPage();
    EXPECT_FALSE(harness.window->isVisible());
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"open 0002"}));
}

TEST(BrowsePagesWindow, ButtonsTakeTheKitsFontHeightAndHelpAndOnlyOpenIsTheDefault) {
    WindowHarness harness(page(1, "First", now - 1min));
    struct Expected {
        QPushButton *button;
        const char *name;
        const char *help;
        bool isDefault;
    };
    const Expected cases[] = {
        {harness.window->openButton(), "Open Page", "Open the selected page.", true},
        {harness.window->keepCurrentButton(), "Keep Current",
         "Keep the current Velto page and remove the selected saved copy.", false},
        {harness.window->keepBothButton(), "Keep Both", "Keep both versions as regular pages.", false},
        {harness.window->useSavedCopyButton(), "Use Saved Copy",
         "Replace the current Velto page with the selected saved copy.", false},
    };
    for (const Expected &expected : cases) {
        SCOPED_TRACE(expected.name);
        EXPECT_EQ(expected.button->height(), static_cast<int>(VeltoUI::Metrics::controlHeight));
        EXPECT_EQ(expected.button->minimumHeight(), expected.button->maximumHeight());
        EXPECT_EQ(expected.button->font(), VeltoUI::Typography::control());
        EXPECT_EQ(expected.button->accessibleName(), expected.name);
        EXPECT_EQ(expected.button->accessibleDescription(), expected.help);
        EXPECT_EQ(expected.button->isDefault(), expected.isDefault);
    }
    harness.window->showConflictCopies({numbered(1)});
    EXPECT_EQ(harness.window->openButton()->accessibleName(), "Open Saved Copy");
}

void press(QWidget *widget, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

int selectedRow(const BrowsePagesWindow &window) {
    const QModelIndexList selected = window.listView()->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

TEST(BrowsePagesWindow, ArrowsAndReturnFromTheSearchFieldOrTheListChooseAndOpenAResult) {
    WindowHarness harness(page(1, "First", now - 1min), {page(2, "Second", now - 1h), page(3, "Third", now - 2h)});
    BrowsePagesWindow &window = *harness.window;
    window.showAllPages();
    QLineEdit *search = window.searchField();
    press(search, Qt::Key_Down);
    EXPECT_EQ(selectedRow(window), 0);
    press(search, Qt::Key_Down);
    press(search, Qt::Key_Down);
    press(search, Qt::Key_Down); // stays on the last
    EXPECT_EQ(selectedRow(window), 2);
    press(search, Qt::Key_Up);
    EXPECT_EQ(selectedRow(window), 1);
    press(search, Qt::Key_Return);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"open 0002"}));

    window.showAllPages(); // nothing selected: Return takes the first result of the search
    search->setText("thi");
    ASSERT_TRUE(processEventsUntil([&] { return !window.isSearching(); }));
    press(search, Qt::Key_Return);
    EXPECT_EQ(harness.calls.back(), "open 0003");

    window.showAllPages();
    window.selectRow(0);
    press(window.listView(), Qt::Key_Down);
    press(window.listView(), Qt::Key_Return);
    EXPECT_EQ(harness.calls.back(), "open 0002");
}

// A review of one copy walked with the keyboard alone: Tab to the list, Down selects its one row (which Tab marked
// without selecting it), Tab to a choice, Return presses it. Return in the search field before a copy is selected
// opens none.
TEST(BrowsePagesWindow, InTheConflictReviewReturnPressesTheChoiceReachedWithTab) {
    struct Case {
        const char *name;
        QPushButton *(BrowsePagesWindow::*button)() const;
        const char *call;
    };
    const Case cases[] = {
        {"Keep Current", &BrowsePagesWindow::keepCurrentButton, "ask Keep the Current Version?"},
        {"Keep Both", &BrowsePagesWindow::keepBothButton, "resolve 0002 2"},
        {"Use Saved Copy", &BrowsePagesWindow::useSavedCopyButton, "ask Use the Saved Copy?"},
        {"Open Saved Copy", &BrowsePagesWindow::openButton, "open 0002"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        WindowHarness harness(page(1, "Notes", now - 1min), {page(2, copyOf(1, "Notes theirs"), now - 1h)});
        harness.confirms = false;
        BrowsePagesWindow &window = *harness.window;
        window.showConflictCopies({numbered(2)});
        if (!testing::activate(window)) {
            GTEST_SKIP() << "this platform does not activate windows";
        }
        ASSERT_TRUE(window.searchField()->hasFocus());
        testing::pressKey(Qt::Key_Return);
        EXPECT_TRUE(harness.calls.empty()) << "no copy is opened that the user did not select";
        ASSERT_TRUE(window.isVisible());

        ASSERT_TRUE(testing::tabTo(*window.listView()));
        testing::pressKey(Qt::Key_Down);
        ASSERT_EQ(selectedRow(window), 0);
        ASSERT_TRUE(testing::tabTo(*(window.*test.button)()));
        testing::pressKey(Qt::Key_Return);
        EXPECT_EQ(harness.calls, (std::vector<std::string>{test.call}));
        if (std::string(test.name) == "Keep Both") {
            harness.answer = VeltoConflictResolutionOutcome::resolved;
            ASSERT_TRUE(processEventsUntil([&] { return !harness.answer; }));
        }
    }
}

// Tab into a review list with nothing selected selects its first row, so that the choices are enabled and Tab
// goes on to them; a row the user selected before stays selected.
TEST(BrowsePagesWindow, TabIntoTheReviewListSelectsItsFirstRowAndEnablesTheChoices) {
    WindowHarness harness(page(1, "Notes", now - 1min),
                          {page(2, copyOf(1, "Notes theirs"), now - 1h), page(3, copyOf(1, "Notes older"), now - 2h)});
    BrowsePagesWindow &window = *harness.window;
    window.showConflictCopies({numbered(2), numbered(3)});
    if (!testing::activate(window)) {
        GTEST_SKIP() << "this platform does not activate windows";
    }
    ASSERT_EQ(selectedRow(window), -1);
    ASSERT_FALSE(window.keepCurrentButton()->isEnabled());
    ASSERT_TRUE(testing::tabTo(*window.listView()));
    EXPECT_EQ(selectedRow(window), 0);
    EXPECT_TRUE(window.keepCurrentButton()->isEnabled());
    EXPECT_TRUE(window.keepBothButton()->isEnabled());
    EXPECT_TRUE(window.useSavedCopyButton()->isEnabled());
    ASSERT_TRUE(testing::tabTo(*window.keepCurrentButton()));

    window.listView()->selectionModel()->setCurrentIndex(window.listView()->model()->index(1, 0),
                                                         QItemSelectionModel::ClearAndSelect);
    ASSERT_TRUE(testing::tabTo(*window.listView()));
    EXPECT_EQ(selectedRow(window), 1);
}

// Return pressed before the search of the field's text has shown its rows (within the search delay, or while a
// long search still runs) acts on that text's results, never on a row of the list shown before.
TEST(BrowsePagesWindow, ReturnRightAfterTypingOpensAResultOfTheTextInTheField) {
    // A long page that does not match: the search of it takes many slices.
    std::string longText = "Kiwi notes\n";
    for (int line = 0; line < 40'000; ++line) {
        longText += "a line of the long page without the word\n";
    }
    struct Case {
        const char *name;
        const char *typed;
        bool selectFirstRowBefore;
        const char *opened; // "" when nothing opens
    };
    const Case cases[] = {
        {"within the delay", "zzzq", false, "open 0003"},
        {"a row of the old list selected", "zzzq", true, "open 0003"},
        {"text that matches nothing", "no such words", false, ""},
        {"field cleared again", "", true, "open 0001"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        WindowHarness harness(page(1, longText, now - 1min), {page(2, "Second", now - 1h), page(3, "zzzq", now - 2h)});
        BrowsePagesWindow &window = *harness.window;
        window.showAllPages();
        if (test.selectFirstRowBefore) {
            window.searchField()->setText("second");
            ASSERT_TRUE(processEventsUntil([&] { return !window.isSearching(); }));
            window.selectRow(0);
        }
        window.searchField()->setText(test.typed);
        press(window.searchField(), Qt::Key_Return);
        ASSERT_TRUE(processEventsUntil([&] { return !window.isSearching(); }));
        std::vector<std::string> expected;
        if (*test.opened != '\0') {
            expected.push_back(test.opened);
        }
        EXPECT_EQ(harness.calls, expected);
        EXPECT_EQ(window.isVisible(), expected.empty());
    }
}

TEST(BrowsePagesWindow, OpensAtTheTopWithoutASidewaysScrollBar) {
    std::vector<VeltoPage> others;
    for (int index = 2; index <= 40; ++index) {
        others.push_back(page(index, "Page " + std::to_string(index), now - std::chrono::minutes(index)));
    }
    WindowHarness harness(page(1, "First", now), others);
    BrowsePagesWindow &window = *harness.window;
    window.showAllPages();
    window.selectRow(39);
    ASSERT_GT(window.listView()->verticalScrollBar()->value(), 0);
    window.close();
    window.showAllPages();
    EXPECT_EQ(window.listView()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(selectedRow(window), -1);
    EXPECT_EQ(window.listView()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_LE(window.listView()->visualRect(window.model().index(0)).right(), window.listView()->viewport()->width());
}

TEST(BrowsePagesWindow, APageArchivedSinceItWasListedKeepsTheWindowOpen) {
    WindowHarness harness(page(1, "First", now - 1min), {page(2, "Second", now - 1h)});
    harness.window->showAllPages();
    harness.window->selectRow(0);
    ASSERT_TRUE(harness.store->archiveCurrentPage(now).has_value());
    harness.window->openSelectedPage();
    EXPECT_TRUE(harness.window->isVisible());
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"beep"}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Second"}));
}

TEST(BrowsePagesWindow, ConflictReviewDisablesItsChoicesWhileOneRunsAndClosesAfterTheLast) {
    WindowHarness harness(page(1, "Notes", now - 1min),
                          {page(2, copyOf(1, "Notes theirs"), now - 1h), page(3, copyOf(99, "Orphan"), now - 2h)});
    harness.window->showConflictCopies({numbered(2), numbered(3)});
    EXPECT_EQ(harness.window->windowTitle(), "Review Saved Conflict Copies");
    EXPECT_EQ(harness.window->openButton()->text(), "Open Saved Copy");
    EXPECT_FALSE(harness.window->guidanceLabel()->isHidden());
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Notes theirs", "Orphan"}));

    harness.window->selectRow(1);
    EXPECT_EQ(harness.buttons(), "1010") << "an orphan copy can only be kept as a page";
    harness.window->selectRow(0);
    EXPECT_EQ(harness.buttons(), "1111");

    harness.confirms = false;
    auto cancelled = harness.window->resolveSelectedConflict(VeltoConflictResolution::useSavedCopy);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"ask Use the Saved Copy?"}));

    harness.confirms = true;
    harness.calls.clear();
    auto running = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepCurrentVersion);
    EXPECT_EQ(harness.buttons(), "1000") << "no second choice while one runs";
    harness.answer = VeltoConflictResolutionOutcome::resolved;
    ASSERT_TRUE(processEventsUntil([&] { return !harness.answer; }));
    processEventsUntil([&] { return harness.titles().size() == 1; });
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"ask Keep the Current Version?", "resolve 0002 0"}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Orphan"}));

    // A copy that changed on disk is selected again and explained; a failure only beeps.
    harness.calls.clear();
    harness.window->selectRow(0);
    auto refreshed = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepBothVersions);
    harness.answer = VeltoConflictResolutionOutcome::refreshed;
    ASSERT_TRUE(processEventsUntil([&] { return harness.calls.size() == 2; }));
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"resolve 0003 2", "notice"}));
    EXPECT_EQ(harness.buttons(), "1010");

    harness.calls.clear();
    auto last = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepBothVersions);
    harness.answer = VeltoConflictResolutionOutcome::resolved;
    ASSERT_TRUE(processEventsUntil([&] { return !harness.window->isVisible(); }));
}

/// An open review follows the folder: a copy another program rewrote is listed as it is now and stays selected, one
/// it deleted leaves the list, and with none left the review says so and stays open.
TEST(BrowsePagesWindow, AnOpenReviewFollowsCopiesRewrittenOrDeletedElsewhere) {
    const VeltoPage notes = page(1, "Notes", now - 1min);
    WindowHarness harness(notes, {page(2, copyOf(1, "Notes theirs"), now - 1h), page(3, copyOf(1, "Older"), now - 2h)});
    harness.window->showConflictCopies({numbered(2), numbered(3)});
    harness.window->selectRow(1);

    harness.reloadFinding(testing::documentOf(notes, {page(3, copyOf(1, "Rewritten"), now - 2h)}));
    harness.window->libraryChanged();
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Rewritten"}));
    EXPECT_EQ(harness.buttons(), "1111") << "the copy selected before stays selected";

    harness.reloadFinding(testing::documentOf(notes));
    harness.window->libraryChanged();
    EXPECT_TRUE(harness.titles().empty());
    EXPECT_FALSE(harness.window->emptyStateView()->isHidden());
    EXPECT_TRUE(harness.window->isVisible());
}

/// A choice is carried out only on the copy the user answered about: a copy rewritten elsewhere while the question
/// was asked is shown again and explained, one deleted meanwhile, or found deleted by the store, is said to be gone
/// and leaves the list, and the review closes when nothing is left to choose.
TEST(BrowsePagesWindow, AChoiceOnACopyThatChangedOrWentMeanwhileIsNotCarriedOut) {
    const VeltoPage notes = page(1, "Notes", now - 1min);
    const VeltoPage older = page(3, copyOf(1, "Older"), now - 2h);
    WindowHarness harness(notes, {page(2, copyOf(1, "Theirs"), now - 1h), older});
    harness.window->showConflictCopies({numbered(2), numbered(3)});

    harness.window->selectRow(0);
    harness.whileAsking = [&] {
        harness.reloadFinding(testing::documentOf(notes, {page(2, copyOf(1, "Rewritten"), now - 1h), older}));
    };
    EXPECT_EQ(testing::finish(harness.window->resolveSelectedConflict(VeltoConflictResolution::useSavedCopy)),
              VeltoConflictResolutionOutcome::refreshed);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"ask Use the Saved Copy?", "notice"}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Rewritten", "Older"}));
    EXPECT_EQ(harness.buttons(), "1111") << "the rewritten copy is selected again";

    harness.calls.clear();
    harness.whileAsking = [&] { harness.reloadFinding(testing::documentOf(notes, {older})); };
    EXPECT_EQ(testing::finish(harness.window->resolveSelectedConflict(VeltoConflictResolution::keepCurrentVersion)),
              VeltoConflictResolutionOutcome::deleted);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"ask Keep the Current Version?", "deleted"}));
    EXPECT_EQ(harness.titles(), (std::vector<std::string>{"Older"}));
    EXPECT_TRUE(harness.window->isVisible());

    harness.calls.clear();
    harness.window->selectRow(0);
    harness.answer = VeltoConflictResolutionOutcome::deleted; // the store found the file gone
    EXPECT_EQ(testing::finish(harness.window->resolveSelectedConflict(VeltoConflictResolution::keepBothVersions)),
              VeltoConflictResolutionOutcome::deleted);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"resolve 0003 2", "deleted"}));
    EXPECT_FALSE(harness.window->isVisible()) << "nothing is left to choose";
}

TEST(BrowsePagesWindow, ACopyThatIsTheCurrentPageIsRefusedWithHelp) {
    WindowHarness harness(page(2, copyOf(1, "Copy shown in the panel"), now), {page(1, "Original", now - 1h)});
    harness.window->showConflictCopies({numbered(2)});
    EXPECT_EQ(harness.window->windowTitle(), "Review Saved Conflict Copy");
    harness.window->selectRow(0);
    auto refused = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepBothVersions);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"beep"}));
    EXPECT_TRUE(harness.window->guidanceLabel()->text().startsWith("This saved copy is the page open in the panel"));
}

/// The review was listed while the copy was the page in the panel; the panel then opened the original. The window
/// answers the library as it is now, not the rows it made then, and tells why when it still refuses.
TEST(BrowsePagesWindow, AReviewListedWhileTheCopyWasOpenFollowsThePanelToAnotherPage) {
    WindowHarness harness(page(2, copyOf(1, "Copy shown in the panel"), now), {page(1, "Original", now - 1h)});
    harness.window->showConflictCopies({numbered(2)});
    harness.window->selectRow(0);
    auto refused = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepCurrentVersion);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"beep"}));

    ASSERT_TRUE(harness.store->selectPageOperation(numbered(1)).has_value());
    harness.calls.clear();
    auto running = harness.window->resolveSelectedConflict(VeltoConflictResolution::keepCurrentVersion);
    harness.answer = VeltoConflictResolutionOutcome::resolved;
    ASSERT_TRUE(processEventsUntil([&] { return !harness.answer; }));
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"ask Keep the Current Version?", "resolve 0002 0"}));
    EXPECT_FALSE(harness.window->guidanceLabel()->text().startsWith("This saved copy is the page open"));
}

TEST(BrowsePagesWindow, ComingToTheFrontListsTheLibraryAsItIsNowAndKeepsTheSelection) {
    WindowHarness harness(page(2, copyOf(1, "Copy shown in the panel"), now),
                          {page(1, "Original", now - 1h), page(3, copyOf(1, "Second copy"), now - 2h)});
    harness.window->showConflictCopies({numbered(2), numbered(3)});
    harness.window->selectRow(0);
    ASSERT_TRUE(harness.window->model().rows()[0].isCurrentPage);
    ASSERT_TRUE(harness.store->selectPageOperation(numbered(1)).has_value());

    QEvent activation(QEvent::ActivationChange);
    harness.window->activateWindow();
    processEventsUntil([&] { return harness.window->isActiveWindow(); }, 2s);
    if (!harness.window->isActiveWindow()) {
        GTEST_SKIP() << "this platform does not activate windows";
    }
    QApplication::sendEvent(harness.window.get(), &activation);
    ASSERT_EQ(harness.window->model().rows().size(), 2u);
    EXPECT_FALSE(harness.window->model().rows()[0].isCurrentPage);
    EXPECT_EQ(harness.window->listView()->currentIndex().row(), 0);
}

TEST(BrowsePagesWindow, EscapeClosesTheWindowFromTheSearchFieldAndTheList) {
    WindowHarness harness(page(1, "First", now - 1min), {page(2, "Second", now - 1h)});
    for (QWidget *focused :
         {static_cast<QWidget *>(harness.window->searchField()), static_cast<QWidget *>(harness.window->listView())}) {
        harness.window->showAllPages();
        ASSERT_TRUE(harness.window->isVisible());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(focused, &escape);
        EXPECT_FALSE(harness.window->isVisible()) << focused->metaObject()->className();
    }
}

/// A copy whose text names its own identifier as its original, as a hand edit or a sync tool may leave it.
TEST(BrowsePagesWindow, ACopyNamingItselfOffersOnlyKeepBothAndSaysWhy) {
    WindowHarness harness(page(1, "Notes", now - 1min), {page(2, copyOf(2, "Names itself"), now - 1h)});
    harness.window->showConflictCopies({numbered(2)});
    harness.window->selectRow(0);
    EXPECT_EQ(harness.buttons(), "1010");
    EXPECT_TRUE(harness.window->guidanceLabel()->text().startsWith("This saved copy names itself"));
    EXPECT_NE(harness.window->model().rows()[0].detail.toStdString().find("Saved conflict copy"), std::string::npos);

    auto refused = harness.window->resolveSelectedConflict(VeltoConflictResolution::useSavedCopy);
    EXPECT_EQ(harness.calls, (std::vector<std::string>{"beep"}));
}

TEST(BrowsePagesWindow, TheReviewOfARecoveredPageSaysWhyItExists) {
    VeltoPage recovered = page(2, "Kept text", now - 1h);
    recovered.fileSlug = "recovered-page";
    WindowHarness harness(page(1, "Notes", now - 1min), {recovered});
    harness.window->showConflictCopies({numbered(2)});
    auto expectRecoveredPageHelp = [&](const char *moment) {
        const QString guidance = harness.window->guidanceLabel()->text();
        EXPECT_TRUE(guidance.contains("original page file was removed or emptied, or can’t be read or changed"))
            << moment << ": " << guidance.toStdString();
        EXPECT_FALSE(guidance.contains("kept both versions")) << moment << ": " << guidance.toStdString();
    };
    expectRecoveredPageHelp("none selected");
    harness.window->selectRow(0);
    expectRecoveredPageHelp("the page selected");
    EXPECT_EQ(harness.buttons(), "1000") << "it can be opened, and there is nothing to choose between";
    EXPECT_EQ(harness.window->windowTitle(), "Review Recovered Page") << "a recovered page is no conflict copy";

    // A search that hides the page leaves the review what it is.
    harness.window->searchField()->setText("nothing like it");
    ASSERT_TRUE(processEventsUntil([&] { return !harness.window->isSearching(); }));
    ASSERT_TRUE(harness.titles().empty());
    expectRecoveredPageHelp("every row hidden by the search");
    harness.window->searchField()->setText("kept");
    ASSERT_TRUE(processEventsUntil([&] { return !harness.window->isSearching(); }));
    expectRecoveredPageHelp("the page found again");
}

} // namespace
} // namespace velto
