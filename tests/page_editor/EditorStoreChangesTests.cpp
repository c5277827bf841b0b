#include "EditorSessionFixture.h"
#include "model/Document.h"
#include "support/ChildProcess.h"
#include "support/GenerousWait.h"
#include "support/PageFiles.h"

#include <gtest/gtest.h>

namespace velto::editor {
namespace {

using namespace std::chrono_literals;
using testing::EditorSession;

/// Another writer: the library driver saving operations into the Pages folder as a process of its own.
bool writeAsAnotherWriter(const std::filesystem::path &folder, const std::string &operations) {
    const std::string program = std::string(VELTO_TEST_TOOLS_DIR) + "/velto-library-driver";
    return testing::runTool({program, "write", folder.string()}, testing::currentEnvironment(), testing::generousWait,
                            operations)
               .exitStatus == 0;
}

bool contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

/// Waits for the folder monitor's first full rescan to finish, so that the next change is reported alone.
void waitUntilSettled(EditorSession &session) {
    ASSERT_TRUE(velto::testing::processEventsUntil(
        [&] { return session.store->isMonitoringFolder() && !session.store->isRefreshingFromDisk(); }));
    velto::testing::processEventsUntil([] { return false; }, 600ms);
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return !session.store->isRefreshingFromDisk(); }));
}

TEST(EditorStoreChanges, AnotherWritersChangeWhileTypingGoesOnIsMergedAndShown) {
    EditorSession session("line one\nline two\n");
    waitUntilSettled(session);
    const Uuid page = session.store->document().currentPage.id;
    const std::string operations =
        R"({"insertLines": {")" + page.lowercaseText() + R"(": [{"after": "line one", "line": "from elsewhere"}]}})";
    ASSERT_TRUE(writeAsAnotherWriter(session.store->folderURL(), operations));

    // Typing never pauses for 0.25 s, so the coordinator's own save never comes due.
    std::u16string typed;
    const auto started = std::chrono::steady_clock::now();
    int keystroke = 0;
    while (!contains(session.shownText(), "from elsewhere") && std::chrono::steady_clock::now() - started < 15s) {
        const char16_t letter = static_cast<char16_t>(u'a' + keystroke++ % 26);
        session.typeAtEnd(std::u16string_view(&letter, 1));
        typed += letter;
        session.scheduler.advance(100ms);
        velto::testing::processEventsUntil([] { return false; }, 20ms);
    }
    ASSERT_TRUE(contains(session.shownText(), "from elsewhere")) << "the view shows the other writer's line";
    session.typeAtEnd(u"!");
    typed += u"!";
    session.scheduler.advance(250ms); // typing stops: the text is handed over
    session.waitForSaves();

    const std::string expected = "line one\nfrom elsewhere\nline two\n" + text::toUTF8(typed);
    EXPECT_EQ(session.shownText(), expected);
    EXPECT_EQ(session.storedText(), expected);
    EXPECT_TRUE(contains(testing::pageFileText(session.store->folderURL(), page), expected));
    EXPECT_FALSE(session.store->lastSaveErrorDescription().has_value());
    // Undo reaches back to the merge and no further: it never takes out the other writer's line.
    while (session.histories.canUndo()) {
        session.histories.undoManager()->undo();
    }
    EXPECT_EQ(session.view.beeps, 0);
    EXPECT_TRUE(contains(session.shownText(), "from elsewhere"));
}

TEST(EditorStoreChanges, AnotherWriterSwitchingTheCurrentPageMovesTheViewAndMixesNoText) {
    EditorSession session("first page\n");
    const Uuid first = session.store->document().currentPage.id;
    ASSERT_TRUE(session.store->createNewPage(systemClock().now()).has_value());
    session.showCurrentPage();
    session.typeAtEnd(u"second page\n");
    session.coordinator->flushPendingChanges();
    session.waitForSaves();
    const Uuid second = session.store->document().currentPage.id;
    waitUntilSettled(session);

    // The other writer archives the page shown here, so the first page becomes current.
    ASSERT_TRUE(
        writeAsAnotherWriter(session.store->folderURL(), R"({"archive": [")" + second.lowercaseText() + R"("]})"));
    session.typeAtEnd(u"typed on the second page");
    ASSERT_TRUE(velto::testing::processEventsUntil([&] { return session.coordinator->loadedPageID() == first; }, 15s))
        << "the view follows the page the other writer made current";
    EXPECT_EQ(session.shownText(), "first page\n");
    session.typeAtEnd(u"more");
    session.scheduler.advance(1s);
    session.waitForSaves();

    const VeltoDocument &document = session.store->document();
    EXPECT_EQ(document.currentPage.id, first);
    EXPECT_EQ(document.currentPage.visibleText(), "first page\nmore");
    const VeltoPage *secondPage = findPage(document, second);
    ASSERT_NE(secondPage, nullptr);
    EXPECT_EQ(secondPage->visibleText(), "second page\ntyped on the second page") << "what was typed stays on its page";
}

TEST(EditorStoreChanges, TheEditorFollowsNewPageIdentifiers) {
    EditorSession session("text\n");
    const Uuid old = session.store->document().currentPage.id;
    Uuid renamed = old;
    renamed.bytes[0] ^= 0xFF;
    session.typeAtEnd(u"x");
    emit session.store->pageIdentifiersReplaced({{old, renamed}});
    EXPECT_EQ(session.coordinator->loadedPageID(), renamed);
    EXPECT_EQ(session.histories.activePageID(), renamed);
    EXPECT_TRUE(session.histories.canUndo());
}

} // namespace
} // namespace velto::editor
