// The page operations over a real store on a temporary Pages folder, as the panel runs them: undo and redo of
// new, selected and archived pages, the one-at-a-time gate, page cycling, the view states the session keeps, the
// memory bound of undo, and the banners they leave.
#include "PanelControllerFixture.h"

#include "editor/editing/UndoManager.h"
#include "panel/pages/PageEditingSession.h"
#include "panel/pages/PageOperations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velto {
namespace {

using editor::TextRange;
using testing::finish;
using testing::PanelControllerSession;
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

TEST(PageOperationsTests, NewPageThenUndoReturnsToThePreviousPageWithItsPlaceAndRedoComesBack) {
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
    EXPECT_EQ(session.store().document().pages.front().visibleText(), text::toUTF8(manyLines(80, u"First")));

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

TEST(PageOperationsTests, TypingAfterAnUndoneNewPageEndsItsRedo) {
    PanelControllerSession session;
    session.type(u"first");
    session.controller->pageOperations().createNewPage();
    session.view().perform(editor::TextViewCommand::undo);
    session.type(u" more");
    session.view().perform(editor::TextViewCommand::redo);
    EXPECT_EQ(session.shownText(), "first more");
    EXPECT_EQ(session.store().document().pages.size(), 0u);
}

TEST(PageOperationsTests, UndoAfterAnotherWriterChangedThePageBeepsAndChangesNothing) {
    PanelControllerSession session;
    session.type(u"written here\n");
    session.controller->flushPendingChanges();
    finish(session.store().flush());
    std::filesystem::path file = *session.store().currentPageFileURL();
    session.controller->pageOperations().createNewPage();
    finish(session.store().flush());

    std::string contents = fileText(file);
    std::size_t body = contents.find("written here");
    ASSERT_NE(body, std::string::npos);
    contents.replace(body, 12, "changed elsewhere");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
    finish(session.store().reloadFromDisk(false, std::nullopt));
    VeltoDocument before = session.store().document();

    session.view().perform(editor::TextViewCommand::undo);
    EXPECT_EQ(session.beeps, 1);
    EXPECT_EQ(session.store().document(), before);
    EXPECT_EQ(session.shownText(), "");
}

TEST(PageOperationsTests, CyclingThroughPages) {
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

TEST(PageOperationsTests, RepeatedCyclingWalksTheSnapshotAndAnotherActionEndsIt) {
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
TEST(PageOperationsTests, APageOperationAwaitingTheDiskHoldsTheEditorAndOtherCommands) {
    PanelControllerSession session;
    session.type(u"kept page");
    Uuid kept = session.currentPageID();
    Uuid archived = session.newPageWithText(u"archived page");
    session.controller->pageOperations().archivePage();
    ASSERT_EQ(session.currentPageID(), kept);
    finish(session.store().flush());

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
    const VeltoPage *keptPage = findPage(session.store().document(), kept);
    ASSERT_NE(keptPage, nullptr);
    EXPECT_EQ(keptPage->visibleText(), "kept page");

    session.type(u"!");
    session.scheduler.advance(std::chrono::milliseconds(300));
    EXPECT_EQ(session.storedText(), "archived page!");
}

TEST(PageOperationsTests, ArchiveUndoAndRedoMoveTheLibraryBackAndForth) {
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

TEST(PageOperationsTests, ARememberedPlaceNotesTheTextItWasTakenOn) {
    PanelControllerSession session;
    session.type(manyLines(10, u"First"));
    Uuid first = session.currentPageID();
    session.view().setSelectedRange({60, 0});
    Uuid second = session.newPageWithText(u"second");
    session.controller->pageOperations().selectPageAndOpenEditor(first);
    EXPECT_EQ(session.view().selectedRange(), (TextRange{60, 0}));
    EXPECT_EQ(session.banner(), "Page selected");

    // Unchanged text: the place comes back; the place is remembered with the text it was taken on.
    session.controller->pageOperations().selectPageAndOpenEditor(second);
    session.view().setSelectedRange({3, 2});
    session.controller->pageOperations().selectPageAndOpenEditor(first);
    VeltoPage changed = *findPage(session.store().document(), second);
    changed.content.asLoaded()->body = "secXnd";
    VeltoDocument document = session.store().document();
    replacePage(document, changed);
    session.controller->pageEditingSession().prepareForTransition();
    auto remembered = session.controller->pageEditingSession().viewStates().at(second);
    EXPECT_EQ(remembered.state.selection, (TextRange{3, 2}));
    EXPECT_NE(remembered.text, editor::PageTextFingerprint::ofUTF8("secXnd"));
}

// Another program changed a page the editor left: coming back, the remembered selection is kept as far as the
// page's new text reaches, never beyond its end and never sent back to its start.
TEST(PageOperationsTests, APageChangedElsewhereOpensAtItsRememberedPlaceClampedToItsNewEnd) {
    struct Case {
        const char *name;
        const char *newText;
        TextRange expected;
    };
    const Case cases[] = {
        {"shorter than the place", "short", {5, 0}},
        {"ends within the selection", "0123456789012345678901", {20, 2}},
        {"longer", "0123456789012345678901234567890123456789", {20, 5}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        PanelControllerSession session;
        session.type(u"a first page long enough to leave");
        Uuid first = session.currentPageID();
        session.view().setSelectedRange({20, 5});
        session.controller->flushPendingChanges();
        finish(session.store().flush());
        std::filesystem::path file = *session.store().currentPageFileURL();
        session.newPageWithText(u"second");
        finish(session.store().flush());

        std::string contents = fileText(file);
        std::size_t body = contents.find("a first page long enough to leave");
        ASSERT_NE(body, std::string::npos);
        contents.replace(body, std::string::npos, test.newText);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
        finish(session.store().reloadFromDisk(false, std::nullopt));
        ASSERT_EQ(findPage(session.store().document(), first)->visibleText(), test.newText);

        session.controller->pageOperations().selectPageAndOpenEditor(first);
        EXPECT_EQ(session.shownText(), test.newText);
        EXPECT_EQ(session.view().selectedRange(), test.expected);
    }
}

// Reloading from disk after another program rewrote lines of the open page keeps the caret on the text it was on,
// not at the place remembered when the page was last left.
TEST(PageOperationsTests, AReloadKeepsTheCaretOnItsTextThroughLinesChangedElsewhere) {
    const std::u16string text = u"first line\nmiddle line\nlast line";
    struct Case {
        const char *name;
        std::size_t caret;
        std::vector<std::pair<std::string, std::string>> rewrites;
        std::string newText;
        std::size_t expected;
    };
    const Case cases[] = {
        {"at the end, the last line rewritten",
         text.size(),
         {{"last line", "the last line, rewritten"}},
         "first line\nmiddle line\nthe last line, rewritten",
         std::string("first line\nmiddle line\nthe last line, rewritten").size()},
        {"on an unchanged line between two changed ones",
         14, // "mid|dle"
         {{"first line", "1st"}, {"last line", "last"}},
         "1st\nmiddle line\nlast",
         7},
        {"inside the changed line: to its end", 3, {{"first line", "line one"}}, "line one\nmiddle line\nlast line", 8},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        PanelControllerSession session;
        session.type(text);
        const Uuid first = session.currentPageID();
        session.view().setSelectedRange({0, 0}); // what the page remembers when it is left
        session.newPageWithText(u"second");
        session.controller->pageOperations().selectPageAndOpenEditor(first);
        session.view().setSelectedRange({test.caret, 0});
        session.controller->flushPendingChanges();
        finish(session.store().flush());

        const std::filesystem::path file = *session.store().currentPageFileURL();
        std::string contents = fileText(file);
        for (const auto &[from, to] : test.rewrites) {
            contents.replace(contents.find(from), from.size(), to);
        }
        std::ofstream(file, std::ios::binary | std::ios::trunc) << contents;
        finish(session.controller->pageOperations().reloadFromDisk());
        ASSERT_EQ(session.shownText(), test.newText);
        EXPECT_EQ(session.view().selectedRange(), (TextRange{test.expected, 0}));
    }
}

TEST(PageOperationsTests, SelectingTheCurrentPageOpensTheEditorAndRegistersNothing) {
    PanelControllerSession session;
    session.type(u"page");
    int opened = 0;
    QObject::connect(session.controller.get(), &VeltoPanelControlling::editorOpenRequested, [&] { opened += 1; });
    session.controller->pageOperations().selectPageAndOpenEditor(session.currentPageID());
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(session.banner(), "");
    session.controller->pageOperations().selectPageAndOpenEditor(Uuid::random());
    EXPECT_EQ(opened, 1);
}

// Undo keeps one copy of each page value along the chain and gives up the oldest steps beyond the bound.
TEST(PageOperationsTests, EvictedUndoStepsBeepAndTheNewestStaysWhole) {
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

TEST(PageOperationsTests, ArchivingOthersDeletingArchivedPagesAndReloadingReportWhatHappened) {
    PanelControllerSession session;
    session.type(u"first");
    session.newPageWithText(u"second"); // its save still on its way
    finish(session.controller->pageOperations().archiveOtherPagesFromMenu());
    EXPECT_EQ(session.banner(), "1 page archived");
    finish(session.controller->pageOperations().archiveOtherPagesFromMenu());
    EXPECT_EQ(session.banner(), "No pages archived") << "a confirmed archiving that finds nothing says so";

    EXPECT_EQ(finish(session.controller->pageOperations().deleteConfirmedArchivedPages({})), 0);
    EXPECT_EQ(session.banner(), "No archived pages deleted");
    std::set<Uuid> archived = session.store().archiveSnapshot().pageIDs;
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

// Each kind of kept step is registered under its own name, and undoing it leaves a redo of that name where redo
// looks for it (on another page's manager when the undo changed the page), so that "Undo …" and "Redo …" name
// what happens and redo reaches the step.
TEST(PageOperationsTests, EachUndoableOperationNamesItsUndoAndItsRedo) {
    struct Case {
        const char *name;
        void (*perform)(PageOperations &operations, const Uuid &firstPage);
        std::string actionName;
    };
    const Case cases[] = {
        {"new page", [](PageOperations &operations, const Uuid &) { operations.createNewPage(); }, "New Page"},
        {"selection", [](PageOperations &operations, const Uuid &first) { operations.selectPageAndOpenEditor(first); },
         "Move Page"},
        {"archive", [](PageOperations &operations, const Uuid &) { operations.archivePage(); }, "Archive Page"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        PanelControllerSession session;
        session.type(u"first");
        Uuid first = session.currentPageID();
        session.newPageWithText(u"second");
        PageOperations &operations = session.controller->pageOperations();
        test.perform(operations, first);
        editor::PageUndoHistories &histories = session.view().undoHistories();
        EXPECT_EQ(histories.activeUndoManager()->undoActionName().toStdString(), test.actionName);

        session.view().perform(editor::TextViewCommand::undo);
        ASSERT_TRUE(processEventsUntil([&] { return !operations.isRunning(); }));
        std::shared_ptr<editor::UndoManager> redoing = histories.pageTransitionRedoManager()
                                                           ? histories.pageTransitionRedoManager()
                                                           : histories.activeUndoManager();
        EXPECT_EQ(redoing->redoActionName().toStdString(), test.actionName);
        EXPECT_EQ(session.shownText(), "second");
        EXPECT_EQ(session.beeps, 0);
    }
}

} // namespace
} // namespace velto
