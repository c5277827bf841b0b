// Conflicts in the running application: another program rewrites the line being typed, or a second Velto on the
// same Pages folder types on it. Velto keeps both versions, tells whoever's text went into the copy, and each
// choice of the review settles the copy for good.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;
const std::string noticeMilestone = "conflict notice raised";

/// Velto on one desktop session, and what a user does with it there.
struct Desk {
    DesktopSession &session;
    std::unique_ptr<VeltoProcess> velto;
    std::optional<std::pair<int, int>> icon;

    void launch() {
        velto = std::make_unique<VeltoProcess>(session);
        ASSERT_TRUE(velto->process().started());
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
        ASSERT_TRUE(waitUntil([&] { return (icon = session.dockedIconCenter()).has_value(); }, generous));
        ASSERT_TRUE(velto->waitForMilestone("status item docked", generous));
    }

    int key(const std::vector<std::string> &keys) {
        std::vector<std::string> command{"xdotool", "key"};
        command.insert(command.end(), keys.begin(), keys.end());
        return session.tool(command).exitStatus;
    }

    int type(const std::string &text) { return session.tool({"xdotool", "type", "--delay", "5", text}).exitStatus; }

    /// Shows the panel with the keyboard focus in it (hidden first when it is shown without the focus).
    std::string showPanel() {
        if (session.visiblePanelWindow()) {
            EXPECT_EQ(key({"alt+space"}), 0);
            EXPECT_TRUE(waitUntil([&] { return !session.visiblePanelWindow().has_value(); }, generous));
        }
        EXPECT_EQ(key({"alt+space"}), 0);
        std::optional<std::string> panel;
        EXPECT_TRUE(waitUntil([&] { return (panel = session.visiblePanelWindow()).has_value(); }, generous))
            << "the panel did not appear";
        EXPECT_TRUE(waitUntil([&] { return panel && session.focusedWindow() == panel; }, generous))
            << "the panel did not take the keyboard focus";
        return panel.value_or("");
    }

    /// The visible window whose name holds `name`; nothing when there is none.
    std::optional<std::string> windowNamed(const std::string &name) {
        ToolResult found = session.tool({"xdotool", "search", "--onlyvisible", "--name", name});
        if (found.exitStatus != 0 || found.output.empty()) {
            return std::nullopt;
        }
        return found.output.substr(0, found.output.find('\n'));
    }

    bool waitForWindowNamed(const std::string &name) {
        return waitUntil([&] { return windowNamed(name).has_value(); }, generous);
    }

    /// Opens the tray menu and chooses its first item after "Open Velto": the conflict notice when there is one.
    void chooseFirstTrayMenuItem() {
        const std::vector<std::string> before = session.visibleWindows();
        ASSERT_EQ(
            session
                .tool({"xdotool", "mousemove", std::to_string(icon->first), std::to_string(icon->second), "click", "3"})
                .exitStatus,
            0);
        ASSERT_TRUE(waitUntil([&] { return session.visibleWindows().size() > before.size(); }, generous)) << "no menu";
        ASSERT_EQ(key({"Down", "Down", "Return"}), 0);
    }

    /// Types `text` while Velto is stopped, then runs `meanwhile` before Velto goes on: the keys wait in its
    /// queue, so the change always meets text that is typed but not saved, however loaded the machine is.
    void typeWhileStopped(const std::string &text, const std::function<void()> &meanwhile) {
        velto->process().signal(SIGSTOP);
        EXPECT_EQ(type(text), 0);
        meanwhile();
        velto->process().signal(SIGCONT);
    }

    std::size_t noticesRaised() const { return velto->milestoneTimes(noticeMilestone).size(); }

    /// Types at the end of the page and waits until a save wrote it: every save before it has ended by then.
    void typeAndWaitForTheSave(const std::string &text) {
        showPanel();
        ASSERT_EQ(key({"ctrl+End"}), 0);
        ASSERT_EQ(type(text), 0);
        ASSERT_TRUE(
            waitUntil([&] { return pageFilesText(session.pagesFolder()).find(text) != std::string::npos; }, generous))
            << pageFilesText(session.pagesFolder());
    }

    void quit() {
        velto->process().signal(SIGTERM);
        EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    }
};

bool pagesHold(const std::filesystem::path &folder, const std::string &text) {
    return waitUntil([&] { return pageFilesText(folder).find(text) != std::string::npos; }, generous, 20ms);
}

std::vector<std::filesystem::path> copyFiles(const std::filesystem::path &folder) {
    std::vector<std::filesystem::path> copies;
    for (const std::filesystem::path &file : pageFiles(folder)) {
        if (readWholeFile(file.string()).find("conflict-of") != std::string::npos) {
            copies.push_back(file);
        }
    }
    return copies;
}

/// The text of every file of the library's own folder (its list of pages, the writers' journals).
std::string libraryMetadataText(const std::filesystem::path &pagesFolder) {
    std::string text;
    std::error_code error;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(pagesFolder / ".velto", error)) {
        if (entry.is_regular_file(error)) {
            text += readWholeFile(entry.path().string());
        }
    }
    return text;
}

class VeltoConflicts : public DesktopSessionTest {
protected:
    void TearDown() override {
        if (HasFailure()) {
            for (const std::unique_ptr<Desk> &desk : desks) {
                if (desk->velto) {
                    std::printf("--- Velto's output\n%s\n--- windows\n%s\n", desk->velto->output().c_str(),
                                desk->session.windowTree().c_str());
                }
            }
        }
    }

    /// Velto on a desk of the test: the test's own session, or another one it made.
    Desk &deskOn(DesktopSession &on) { return *desks.emplace_back(std::make_unique<Desk>(Desk{on, {}, {}})); }

    std::unique_ptr<DesktopSession> otherSession;
    std::vector<std::unique_ptr<Desk>> desks; // kept until the test has ended, for the report of a failure
};

/// One choice of the review, made with the keyboard, and what the folder then holds.
struct Choice {
    std::string name;
    int tabsToButton; // from the search field: the list, then the buttons from left to right
    bool asksFirst;   // a confirmation comes first
    std::vector<std::string> kept;
    std::vector<std::string> gone;
    std::size_t pageFileCount;
};

void PrintTo(const Choice &choice, std::ostream *out) {
    *out << choice.name;
}

const Choice choices[] = {
    {"KeepCurrent", 2, true, {"shared line typed on", "a note"}, {"their line"}, 2},
    {"KeepBoth", 3, false, {"shared line typed on", "their line", "a note"}, {}, 3},
    {"UseSavedCopy", 4, true, {"their line", "a note"}, {"typed on"}, 2},
};

class VeltoConflictChoice : public VeltoConflicts, public ::testing::WithParamInterface<Choice> {};

/// A shell rewrites the line being typed; the copy it leads to is settled by one choice of the review, and neither
/// a copy nor a notice is left or comes back.
TEST_P(VeltoConflictChoice, SettlesTheCopyAShellLedToWithoutANewCopyOrNotice) {
    const Choice &choice = GetParam();
    Desk &desk = deskOn(*session);
    ASSERT_NO_FATAL_FAILURE(desk.launch());
    desk.showPanel();
    ASSERT_EQ(desk.type("shared line"), 0);
    ASSERT_TRUE(pagesHold(session->pagesFolder(), "shared line"));

    desk.typeWhileStopped(" typed on", [&] {
        std::vector<std::filesystem::path> files = pageFiles(session->pagesFolder());
        ASSERT_EQ(files.size(), 1u);
        std::string theirs = readWholeFile(files.front().string());
        theirs.replace(theirs.find("shared line"), 11, "their line");
        std::ofstream(files.front().string() + ".tmp", std::ios::binary) << theirs;
        std::filesystem::rename(files.front().string() + ".tmp", files.front());
    });
    ASSERT_TRUE(waitUntil([&] { return copyFiles(session->pagesFolder()).size() == 1; }, generous))
        << pageFilesText(session->pagesFolder());
    const std::filesystem::path copy = copyFiles(session->pagesFolder()).front();
    ASSERT_TRUE(desk.velto->waitForMilestone(noticeMilestone, generous));
    // The shell then leaves a note of its own: the folder's refresh loads that note and takes the rest of the
    // library over as Velto holds it, the copy among it. Velto has taken the note in once it lists it.
    std::ofstream(session->pagesFolder() / "note from the shell.md", std::ios::binary) << "a note\n";
    ASSERT_TRUE(waitUntil(
        [&] { return libraryMetadataText(session->pagesFolder()).find("note from the shell") != std::string::npos; },
        generous));

    ASSERT_NO_FATAL_FAILURE(desk.chooseFirstTrayMenuItem());
    ASSERT_TRUE(desk.waitForWindowNamed("Review Saved Conflict Copy")) << "the notice did not lead to the review";
    std::optional<std::string> review = desk.windowNamed("Review Saved Conflict Copy");
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == review; }, generous));
    // Down selects the copy from the search field; Tab then walks to the button.
    ASSERT_EQ(desk.key({"Down"}), 0);
    for (int tab = 0; tab < choice.tabsToButton; ++tab) {
        ASSERT_EQ(desk.key({"Tab"}), 0);
    }
    const std::vector<std::string> windowsBefore = session->visibleWindows();
    ASSERT_EQ(desk.key({"space"}), 0);
    if (choice.asksFirst) {
        std::optional<std::string> question;
        ASSERT_TRUE(waitUntil(
            [&] {
                for (const std::string &window : session->visibleWindows()) {
                    if (std::find(windowsBefore.begin(), windowsBefore.end(), window) == windowsBefore.end()) {
                        question = window;
                    }
                }
                return question.has_value() && session->focusedWindow() == question;
            },
            generous))
            << "no confirmation";
        ASSERT_EQ(desk.key({"Return"}), 0);
    }

    // The save that removes the copy's file is the one that would have made a new copy.
    EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(copy); }, generous)) << "the copy stayed";
    EXPECT_TRUE(waitUntil([&] { return !desk.windowNamed("Review Saved Conflict Copy"); }, generous))
        << "the review stayed open with nothing left to review";
    ASSERT_NO_FATAL_FAILURE(desk.typeAndWaitForTheSave(" settled"));
    const std::string pages = pageFilesText(session->pagesFolder());
    EXPECT_TRUE(copyFiles(session->pagesFolder()).empty()) << pages;
    EXPECT_EQ(pageFiles(session->pagesFolder()).size(), choice.pageFileCount) << pages;
    for (const std::string &text : choice.kept) {
        EXPECT_NE(pages.find(text), std::string::npos) << text << " is lost:\n" << pages;
    }
    for (const std::string &text : choice.gone) {
        EXPECT_EQ(pages.find(text), std::string::npos) << text << " stayed:\n" << pages;
    }
    EXPECT_EQ(desk.noticesRaised(), 1u) << "a notice came back";
    desk.quit();
}

INSTANTIATE_TEST_SUITE_P(EachChoice, VeltoConflictChoice, ::testing::ValuesIn(choices),
                         [](const ::testing::TestParamInfo<Choice> &info) { return info.param.name; });

/// Two Velto processes, each with a home of its own, on one Pages folder: the one that saves later keeps its
/// text in the page and the other's in a copy. Whoever's text went into the copy is told, in the panel and in
/// the tray menu, and the one that kept its text is told that the other version was kept.
TEST_F(VeltoConflicts, TwoVeltosTypingOnOneLineEachAreToldWhenTheirTextWentIntoACopy) {
    otherSession = std::make_unique<DesktopSession>();
    DesktopSession &other = *otherSession;
    ASSERT_TRUE(other.isReady()) << other.failure();
    std::filesystem::create_directories(session->pagesFolder());
    std::filesystem::create_directories(other.pagesFolder().parent_path());
    std::filesystem::create_directory_symlink(session->pagesFolder(), other.pagesFolder());

    Desk &first = deskOn(*session);
    Desk &second = deskOn(other);
    ASSERT_NO_FATAL_FAILURE(first.launch());
    first.showPanel();
    ASSERT_EQ(first.type("shared line"), 0);
    ASSERT_TRUE(pagesHold(session->pagesFolder(), "shared line"));
    ASSERT_NO_FATAL_FAILURE(second.launch());
    second.showPanel();
    ASSERT_TRUE(waitUntil(
        [&] {
            second.key({"ctrl+a", "ctrl+c"});
            return other.clipboard().find("shared line") != std::string::npos;
        },
        generous, 200ms))
        << "the second Velto does not show the page";
    ASSERT_EQ(second.key({"ctrl+End"}), 0);

    // Each in turn saves first, and the other, stopped meanwhile with its keys waiting, saves later.
    struct Round {
        Desk &savesFirst;
        Desk &savesLater;
        std::string displaced;
        std::string kept;
    };
    const Round rounds[] = {{second, first, " BBB", " AAA"}, {first, second, " CCC", " DDD"}};
    std::size_t round = 0;
    for (const Round &r : rounds) {
        SCOPED_TRACE(r.displaced);
        round += 1;
        r.savesLater.showPanel();
        ASSERT_EQ(r.savesLater.key({"ctrl+End"}), 0);
        r.savesLater.typeWhileStopped(r.kept, [&] {
            r.savesFirst.showPanel();
            ASSERT_EQ(r.savesFirst.key({"ctrl+End"}), 0);
            ASSERT_EQ(r.savesFirst.type(r.displaced), 0);
            ASSERT_TRUE(pagesHold(session->pagesFolder(), r.displaced));
        });
        ASSERT_TRUE(pagesHold(session->pagesFolder(), r.kept));
        ASSERT_TRUE(waitUntil([&] { return copyFiles(session->pagesFolder()).size() == round; }, generous))
            << pageFilesText(session->pagesFolder());

        EXPECT_TRUE(waitUntil([&] { return r.savesFirst.noticesRaised() == round; }, generous))
            << "the writer whose text went into the copy was not told";
        EXPECT_TRUE(waitUntil([&] { return r.savesLater.noticesRaised() == round; }, generous));
        EXPECT_TRUE(r.savesFirst.waitForWindowNamed("your version was saved as a copy"))
            << "no banner for the writer whose text went into the copy\n"
            << r.savesFirst.session.windowTree();
        EXPECT_TRUE(r.savesLater.waitForWindowNamed("the other version was saved as a copy"));

        ASSERT_NO_FATAL_FAILURE(r.savesFirst.chooseFirstTrayMenuItem());
        EXPECT_TRUE(r.savesFirst.waitForWindowNamed("Review Saved Conflict Copy"))
            << "the tray menu did not lead to the copy";
        ASSERT_EQ(r.savesFirst.key({"Escape"}), 0);
        EXPECT_TRUE(waitUntil([&] { return !r.savesFirst.windowNamed("Review Saved Conflict Copy"); }, generous));
    }
    first.quit();
    second.quit();
}

} // namespace
} // namespace velto::testing
