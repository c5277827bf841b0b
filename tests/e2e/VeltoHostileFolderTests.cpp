// What a user is shown when the Pages folder holds a file Velto cannot read, or another program holds the
// library's lock when Velto starts: Velto names the cause, opens the rest, and saves once it may.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

class VeltoHostileFolder : public VeltoSessionTest {
protected:
    void writePageFile(const std::string &name, const std::string &bytes) {
        std::ofstream(session->pagesFolder() / name, std::ios::binary) << bytes;
    }

    /// Answers the alert in front with its default button and waits until no window of Velto is showing.
    void answerAlert() {
        ASSERT_TRUE(waitUntil([&] { return !session->visibleWindows().empty(); }, generous)) << "no alert showed";
        auto alert = session->visibleWindows().front();
        if (!waitUntil([&] { return session->focusedWindow() == alert; }, 5s)) {
            session->tool({"xdotool", "windowfocus", alert});
        }
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == alert; }, generous)) << "the alert has no focus";
        ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);
        ASSERT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the alert stayed";
    }

    /// Opens the panel, types the text and hides the panel again.
    void typeIntoThePanel(const std::string &text) {
        ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
        std::optional<std::string> panel;
        ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
        ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", text}).exitStatus, 0);
        ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
    }

    bool pagesContain(const std::string &text) {
        return waitUntil([&] { return pageFilesText(session->pagesFolder()).find(text) != std::string::npos; },
                         generous, 20ms);
    }

    void quit() {
        velto->process().signal(SIGTERM);
        EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    }

    /// Launches Velto until the library has recorded the pages of the folder, and quits it.
    void launchUntilThePagesAreRecorded() {
        velto = std::make_unique<VeltoProcess>(*session);
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(session->pagesFolder() / ".velto/manifest.json"); },
                              generous));
        quit();
    }

    /// Moves an entry of the Pages folder into a "Sync" folder beside it and puts a link to it in its place, as a
    /// user who syncs a page with another program does; where the entry is now.
    std::filesystem::path moveIntoSyncAndLinkBack(const std::string &entry) {
        const auto sync = session->pagesFolder().parent_path() / "Sync";
        std::filesystem::create_directories(sync);
        std::filesystem::rename(session->pagesFolder() / entry, sync / entry);
        std::filesystem::create_symlink(sync / entry, session->pagesFolder() / entry);
        return sync / entry;
    }
};

TEST_F(VeltoHostileFolder, AFileThatCannotBeReadIsNamedOnceAndTheOtherPagesOpenAndSave) {
    const std::string latin1 = "caf\xe9 cr\xe8me\n";
    writePageFile("good.md", "good page\n");
    writePageFile("latin.md", latin1);

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
    answerAlert();

    typeIntoThePanel("typed beside it");
    EXPECT_TRUE(pagesContain("typed beside it")) << pageFilesText(session->pagesFolder());
    EXPECT_EQ(readWholeFile((session->pagesFolder() / "latin.md").string()), latin1);
    EXPECT_EQ(velto->milestoneTimes("unreadable files announced").size(), 1u) << "named once per launch";
    quit();
}

// A user moves a recorded page's file into a synced folder and links it back: the next launch opens the library,
// names the link, and the words typed reach the other page; nothing is written through the link.
TEST_F(VeltoHostileFolder, ARecordedPageTurnedIntoALinkOutOfTheFolderLeavesTheOtherPagesOpenAndSaving) {
    writePageFile("linked.md", "linked page\n");
    writePageFile("good.md", "good page\n");
    // The newer file is the page a launch opens, so that the typing reaches it.
    std::filesystem::last_write_time(session->pagesFolder() / "linked.md",
                                     std::filesystem::last_write_time(session->pagesFolder() / "good.md") - 1h);
    ASSERT_NO_FATAL_FAILURE(launchUntilThePagesAreRecorded());

    const auto linked = moveIntoSyncAndLinkBack("linked.md");
    const std::string behindTheLink = readWholeFile(linked.string());

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
    answerAlert();

    typeIntoThePanel("typed beside the link");
    EXPECT_TRUE(waitUntil(
        [&] {
            return readWholeFile((session->pagesFolder() / "good.md").string()).find("typed beside the link") !=
                   std::string::npos;
        },
        generous, 20ms))
        << pageFilesText(session->pagesFolder());
    EXPECT_EQ(readWholeFile(linked.string()), behindTheLink);
    EXPECT_TRUE(std::filesystem::is_symlink(session->pagesFolder() / "linked.md"));
    quit();
}

// A user moves the folder of an archived page into a synced folder, links it back, and deletes the page from the tray
// menu: the deletion's record keeps its name behind the link, and each later launch opens the library, names the file
// behind the link, and saves what is typed, instead of asking to recover and quitting; the file stays as it was.
TEST_F(VeltoHostileFolder, DeletingAPageWhoseFolderIsALinkOutLeavesTheLibraryOpeningAndSaving) {
    std::filesystem::create_directories(session->pagesFolder() / "notes");
    writePageFile("notes/gone.md", "---\nvelto:\n  archived: true\n---\ngone page\n");
    writePageFile("good.md", "good page\n");
    ASSERT_NO_FATAL_FAILURE(launchUntilThePagesAreRecorded());

    const auto notes = moveIntoSyncAndLinkBack("notes");
    const std::string behindTheLink = readWholeFile((notes / "gone.md").string());

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
    answerAlert();
    ASSERT_TRUE(session->openTrayMenu(generous)) << "no menu";
    // Up from the bottom (Quit Velto, Settings…) to Browse Pages, into it; from its first item (the current page)
    // down to Archived Pages, into it, and up to its last item, "Delete 1 Archived Page…".
    ASSERT_EQ(session->tool({"xdotool", "key", "Up", "Up", "Up", "Right", "Down", "Right", "Up", "Return"}).exitStatus,
              0);
    answerAlert(); // the question, answered with its default button: Delete
    ASSERT_TRUE(waitUntil(
        [&] {
            std::error_code error;
            return std::filesystem::exists(session->pagesFolder() / ".velto/deletions", error) &&
                   !std::filesystem::is_empty(session->pagesFolder() / ".velto/deletions", error);
        },
        generous))
        << "the page was not deleted\n"
        << velto->output();
    EXPECT_TRUE(velto->process().isRunning()) << velto->output();
    quit();

    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE("relaunch " + std::to_string(launch));
        velto = std::make_unique<VeltoProcess>(*session);
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
        answerAlert();
        const std::string typed = "typed after the deletion " + std::to_string(launch);
        typeIntoThePanel(typed);
        EXPECT_TRUE(waitUntil(
            [&] {
                return readWholeFile((session->pagesFolder() / "good.md").string()).find(typed) != std::string::npos;
            },
            generous, 20ms))
            << pageFilesText(session->pagesFolder());
        EXPECT_TRUE(velto->process().isRunning()) << "Velto quit\n" << velto->output();
        EXPECT_NE(session->tool({"xdotool", "search", "--onlyvisible", "--name", "Couldn’t Preserve"}).exitStatus, 0)
            << "Velto asked to preserve the page";
        quit();
    }
    EXPECT_EQ(readWholeFile((notes / "gone.md").string()), behindTheLink);
    EXPECT_TRUE(std::filesystem::is_symlink(session->pagesFolder() / "notes"));
}

// A first launch beside nothing Velto can read starts an empty library, and names the file all the same.
TEST_F(VeltoHostileFolder, AFirstLaunchBesideOnlyAFileThatCannotBeReadNamesItAndStartsAnEmptyPage) {
    const std::string latin1 = "caf\xe9 cr\xe8me\n";
    writePageFile("latin.md", latin1);

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
    answerAlert();

    typeIntoThePanel("typed beside it");
    EXPECT_TRUE(pagesContain("typed beside it")) << pageFilesText(session->pagesFolder());
    EXPECT_EQ(readWholeFile((session->pagesFolder() / "latin.md").string()), latin1);
    quit();
}

// A new user's first launch: the notice is answered before the Welcome opens, so that the panel that "Start
// writing" opens has the keyboard and the first words typed land on the page.
TEST_F(VeltoHostileFolder, AFirstLaunchBesideOnlyAFileThatCannotBeReadAsksBeforeTheWelcomeAndTheFirstWordsAreKept) {
    writePageFile("latin.md", "caf\xe9 cr\xe8me\n");
    session->forgetWelcome();

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("unreadable files announced", generous)) << velto->output();
    EXPECT_FALSE(session->visibleWelcomeWindow().has_value()) << "the Welcome opened over the notice";
    answerAlert();

    std::optional<std::string> welcome;
    ASSERT_TRUE(waitUntil([&] { return (welcome = session->visibleWelcomeWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == welcome; }, generous));
    ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0); // Start writing
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous))
        << "the panel did not take the keyboard";
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "hello world"}).exitStatus, 0);
    EXPECT_TRUE(pagesContain("hello world")) << pageFilesText(session->pagesFolder());
    EXPECT_EQ(session->visibleWindows(), std::vector<std::string>{*panel}) << "a window besides the panel";
    quit();
}

// Another program (a sync tool) makes a different page's file unreadable while the user types: Velto names it in a
// banner and the tray menu, and no window of its own takes the keyboard from the page, so every word reaches it.
TEST_F(VeltoHostileFolder, AnotherPagesFileTurningUnreadableWhileTheUserTypesTakesNoKeyFromThePage) {
    writePageFile("other.md", "the other page\n");
    // Older than the page typed on, so that the launch opens that one.
    std::filesystem::last_write_time(session->pagesFolder() / "other.md",
                                     std::filesystem::file_time_type::clock::now() - 24h);
    writePageFile("good.md", "good page\n");
    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();

    ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
    std::string firstWords;
    std::string lastWords;
    for (int word = 1; word <= 30; ++word) {
        (word <= 15 ? firstWords : lastWords) += "word" + std::to_string(word) + " ";
    }
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", firstWords}).exitStatus, 0);

    const std::string latin1 = "the other caf\xe9\n";
    writePageFile("other.md", latin1);
    ASSERT_TRUE(velto->waitForMilestone("unreadable files found", generous)) << velto->output();
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", lastWords}).exitStatus, 0);

    EXPECT_TRUE(pagesContain(firstWords + lastWords)) << pageFilesText(session->pagesFolder());
    EXPECT_TRUE(session->visiblePanelWindow() == panel) << "the panel was hidden";
    EXPECT_TRUE(session->focusedWindow() == panel) << "another window took the keyboard";
    EXPECT_FALSE(velto->milestoneTime("unreadable files announced").has_value()) << "an alert named the file";
    EXPECT_EQ(readWholeFile((session->pagesFolder() / "other.md").string()), latin1);
    quit();
}

// License files ship read-only: such a file is a page Velto shows and leaves as it is. Neither the first launch
// nor the next writes into it, keeps a copy of it or gives a notice; the plain file beside it gets its identifier.
TEST_F(VeltoHostileFolder, AReadOnlyMarkdownFileIsAPageAndTwoLaunchesKeepNoCopyOfIt) {
    const std::string license = "The License\n\nPermission is hereby granted, free of charge.\n";
    writePageFile("plain.md", "plain page\n");
    writePageFile("LICENSE.md", license);
    std::filesystem::permissions(session->pagesFolder() / "LICENSE.md", std::filesystem::perms::owner_read |
                                                                            std::filesystem::perms::group_read |
                                                                            std::filesystem::perms::others_read);

    for (int launch = 1; launch <= 2; ++launch) {
        SCOPED_TRACE("launch " + std::to_string(launch));
        velto = std::make_unique<VeltoProcess>(*session);
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        ASSERT_TRUE(waitUntil(
            [&] { return readWholeFile((session->pagesFolder() / "plain.md").string()).starts_with("---\nvelto:"); },
            generous))
            << "the plain file got no identifier";
        quit(); // after the final save: whatever the launch saved is on disk now
        EXPECT_FALSE(velto->milestoneTime("conflict notice raised").has_value()) << velto->output();
        EXPECT_EQ(pageFiles(session->pagesFolder()).size(), 2u) << pageFilesText(session->pagesFolder());
        EXPECT_EQ(readWholeFile((session->pagesFolder() / "LICENSE.md").string()), license);
    }
}

TEST_F(VeltoHostileFolder, ALibraryAnotherProgramHoldsIsAnnouncedUntilFreeAndThenOpensByItself) {
    writePageFile("good.md", "good page\n");
    std::filesystem::create_directories(session->pagesFolder() / ".velto");
    auto lockFile = session->pagesFolder() / ".velto" / "transaction.lock";
    int holder = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("pages unavailable announced", generous)) << velto->output();
    EXPECT_FALSE(velto->milestoneTime("launch finished").has_value());
    answerAlert(); // Try Again, while the library is still held: the alert comes back
    ASSERT_TRUE(waitUntil([&] { return velto->milestoneTimes("pages unavailable announced").size() == 2; }, generous))
        << velto->output();
    EXPECT_FALSE(velto->milestoneTime("launch finished").has_value());

    ::close(holder); // the stuck program lets go; nobody answers the alert, Velto goes on by itself
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    ASSERT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the alert stayed";
    typeIntoThePanel("saved once free");
    EXPECT_TRUE(pagesContain("saved once free")) << pageFilesText(session->pagesFolder());
    quit();
}

TEST_F(VeltoHostileFolder, QuittingWhileAnotherProgramHoldsTheLibraryAsksAndSavesOnceFree) {
    writePageFile("good.md", "good page\n");
    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    auto lockFile = session->pagesFolder() / ".velto" / "transaction.lock";
    int holder = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    ASSERT_EQ(session->tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
    std::optional<std::string> panel;
    ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
    ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "5", "typed while busy"}).exitStatus, 0);
    ASSERT_EQ(session->tool({"xdotool", "key", "ctrl+q"}).exitStatus, 0);

    // The save cannot finish while the library is held: Velto asks before it quits, and stays.
    auto alertWindow = [&]() -> std::optional<std::string> {
        for (const auto &window : session->visibleWindows()) {
            if (window != panel) {
                return window;
            }
        }
        return std::nullopt;
    };
    ASSERT_TRUE(waitUntil([&] { return alertWindow().has_value(); }, generous)) << velto->output();
    EXPECT_TRUE(velto->process().isRunning());
    EXPECT_EQ(pageFilesText(session->pagesFolder()).find("typed while busy"), std::string::npos);

    // Once the library is free, "Try Again" saves and quits, unless the store's own retry got there first.
    ::close(holder);
    bool answered = false;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (!velto->process().isRunning()) {
                return true;
            }
            auto alert = alertWindow();
            if (!answered && alert && session->focusedWindow() == alert) {
                answered = session->tool({"xdotool", "key", "Return"}).exitStatus == 0;
            } else if (!answered && alert) {
                session->tool({"xdotool", "windowfocus", *alert});
            }
            return false;
        },
        generous))
        << velto->output();
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("typed while busy"), std::string::npos)
        << pageFilesText(session->pagesFolder());
}

} // namespace
} // namespace velto::testing
