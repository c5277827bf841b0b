// Conflicts in the running application: another program rewrites the line being typed, or a second Velto on the
// same Pages folder types on it. Velto keeps both versions, tells whoever's text went into the copy, and each
// choice of the review settles the copy for good.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

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

    /// The screen position of the window's top left corner and its size.
    std::optional<std::array<int, 4>> geometryOf(const std::string &window) {
        std::string text = session.tool({"xdotool", "getwindowgeometry", window}).output;
        std::array<int, 4> geometry{};
        auto position = text.find("Position: ");
        auto size = text.find("Geometry: ");
        if (position == std::string::npos || size == std::string::npos ||
            std::sscanf(text.c_str() + position, "Position: %d,%d", &geometry[0], &geometry[1]) != 2 ||
            std::sscanf(text.c_str() + size, "Geometry: %dx%d", &geometry[2], &geometry[3]) != 2) {
            return std::nullopt;
        }
        return geometry;
    }

    /// Clicks the point (x, y) of the window, from its top left corner; a negative y counts from its bottom.
    void clickIn(const std::string &window, int x, int y) {
        std::optional<std::array<int, 4>> geometry = geometryOf(window);
        ASSERT_TRUE(geometry.has_value()) << window;
        const int top = y >= 0 ? (*geometry)[1] + y : (*geometry)[1] + (*geometry)[3] + y;
        ASSERT_EQ(
            session
                .tool({"xdotool", "mousemove", std::to_string((*geometry)[0] + x), std::to_string(top), "click", "1"})
                .exitStatus,
            0);
    }

    /// Opens the tray menu with a right click on the icon; answers the menu's window.
    std::string openTrayMenu() {
        const std::vector<std::string> before = session.visibleWindows();
        EXPECT_EQ(
            session
                .tool({"xdotool", "mousemove", std::to_string(icon->first), std::to_string(icon->second), "click", "3"})
                .exitStatus,
            0);
        std::string menu;
        EXPECT_TRUE(waitUntil(
            [&] {
                for (const std::string &window : session.visibleWindows()) {
                    if (std::find(before.begin(), before.end(), window) == before.end()) {
                        menu = window;
                    }
                }
                return !menu.empty();
            },
            generous))
            << "no menu";
        return menu;
    }

    /// The window that came to the front and took the keyboard focus after `before` was seen: an alert.
    std::optional<std::string> newFocusedWindow(const std::vector<std::string> &before) {
        std::optional<std::string> found;
        const bool focused = waitUntil(
            [&] {
                for (const std::string &window : session.visibleWindows()) {
                    if (std::find(before.begin(), before.end(), window) == before.end()) {
                        found = window;
                    }
                }
                return found.has_value() && session.focusedWindow() == found;
            },
            generous);
        return focused ? found : std::nullopt;
    }

    /// Opens the tray menu and chooses its first item after "Open Velto" (the conflict notice when there is one)
    /// with the keyboard, or with the mouse: a click on the item, the menu's second line.
    void chooseFirstTrayMenuItem(bool withTheMouse = false) {
        const std::string menu = openTrayMenu();
        ASSERT_FALSE(menu.empty());
        if (withTheMouse) {
            clickIn(menu, 60, 34);
        } else {
            ASSERT_EQ(key({"Down", "Down", "Return"}), 0);
        }
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

    /// Quits and launches again; answers the notices the quitted process raised.
    std::size_t relaunch() {
        const std::size_t notices = noticesRaised();
        quit();
        launch();
        return notices;
    }
};

/// A person reads before acting: the deliberate pause of a user, not a wait for a condition.
void pauseAsAPerson(std::chrono::milliseconds pause = 2s) {
    std::this_thread::sleep_for(pause);
}

bool pagesHold(const std::filesystem::path &folder, const std::string &text) {
    return waitUntil([&] { return pageFilesText(folder).find(text) != std::string::npos; }, generous, 20ms);
}

/// Replaces `from` with `to` in the file as a shell does: a new file renamed over the old one.
void rewriteAsAShellDoes(const std::filesystem::path &file, const std::string &from, const std::string &to) {
    std::string text = readWholeFile(file.string());
    text.replace(text.find(from), from.size(), to);
    std::ofstream(file.string() + ".tmp", std::ios::binary) << text;
    std::filesystem::rename(file.string() + ".tmp", file);
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

/// The places in the review window that a person clicks, from its top left corner (a negative y from its bottom):
/// the first row, and the three choices under the list, left to right.
constexpr std::pair<int, int> firstRow{260, 117};
constexpr std::pair<int, int> choiceButtons[] = {{59, -32}, {155, -32}, {260, -32}};

/// One choice of the review, and what the folder then holds.
struct Choice {
    std::string name;
    int button;                     // from the left: Keep Current, Keep Both, Use Saved Copy
    bool asksFirst;                 // a confirmation comes first
    std::vector<std::string> pages; // the texts of the page files once the copy is settled
};

void PrintTo(const Choice &choice, std::ostream *out) {
    *out << choice.name;
}

const Choice choices[] = {
    {"KeepCurrent", 0, true, {"shared line typed on"}},
    {"KeepBoth", 1, false, {"shared line typed on", "their line"}},
    {"UseSavedCopy", 2, true, {"their line"}},
};

/// Whether the folder holds exactly these page texts, one file each, and no conflict copy.
::testing::AssertionResult holdsExactly(const std::filesystem::path &folder, std::vector<std::string> texts) {
    std::vector<std::filesystem::path> files = pageFiles(folder);
    if (files.size() != texts.size() || !copyFiles(folder).empty()) {
        return ::testing::AssertionFailure() << pageFilesText(folder);
    }
    for (const std::filesystem::path &file : files) {
        const std::string text = readWholeFile(file.string());
        auto held = std::find_if(texts.begin(), texts.end(), [&](const std::string &expected) {
            return text.size() >= expected.size() &&
                   text.compare(text.size() - expected.size(), expected.size(), expected) == 0;
        });
        if (held == texts.end()) {
            return ::testing::AssertionFailure() << "unexpected " << file << ":\n" << pageFilesText(folder);
        }
        texts.erase(held);
    }
    return ::testing::AssertionSuccess();
}

/// A shell rewrites the line being typed and Velto keeps the shell's version as a copy; the test stands where a
/// person does, the review of the copy open from the tray menu's notice a couple of seconds after it was raised.
class VeltoConflictReview : public VeltoConflicts {
protected:
    void openTheReviewOfAShellsChange(Desk &desk, bool withTheMouse) {
        ASSERT_NO_FATAL_FAILURE(desk.launch());
        desk.showPanel();
        ASSERT_EQ(desk.type("shared line"), 0);
        ASSERT_TRUE(pagesHold(session->pagesFolder(), "shared line"));
        pauseAsAPerson(); // the folder's first refresh has run by then, as it has when a person goes on typing

        desk.typeWhileStopped(" typed on", [&] {
            std::vector<std::filesystem::path> files = pageFiles(session->pagesFolder());
            ASSERT_EQ(files.size(), 1u);
            rewriteAsAShellDoes(files.front(), "shared line", "their line");
        });
        ASSERT_TRUE(waitUntil([&] { return copyFiles(session->pagesFolder()).size() == 1; }, generous))
            << pageFilesText(session->pagesFolder());
        copy = copyFiles(session->pagesFolder()).front();
        ASSERT_TRUE(desk.velto->waitForMilestone(noticeMilestone, generous));

        pauseAsAPerson(); // the banner is read
        ASSERT_NO_FATAL_FAILURE(desk.chooseFirstTrayMenuItem(withTheMouse));
        ASSERT_TRUE(desk.waitForWindowNamed("Review Saved Conflict Copy")) << "the notice did not lead to the review";
        review = desk.windowNamed("Review Saved Conflict Copy").value_or("");
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == review; }, generous));
    }

    /// Presses the choice's button, with the mouse on the selected row or with Tab from the search field, and
    /// confirms with Return when asked.
    void choose(Desk &desk, const Choice &choice, bool withTheMouse) {
        const std::vector<std::string> before = session->visibleWindows();
        if (withTheMouse) {
            ASSERT_NO_FATAL_FAILURE(
                desk.clickIn(review, choiceButtons[choice.button].first, choiceButtons[choice.button].second));
        } else {
            // From the search field: the list, then the buttons from left to right.
            for (int tab = 0; tab < choice.button + 2; ++tab) {
                ASSERT_EQ(desk.key({"Tab"}), 0);
            }
            ASSERT_EQ(desk.key({"space"}), 0);
        }
        if (choice.asksFirst) {
            ASSERT_TRUE(desk.newFocusedWindow(before).has_value()) << "no confirmation";
            ASSERT_EQ(desk.key({"Return"}), 0);
        }
    }

    void selectTheCopy(Desk &desk, bool withTheMouse) {
        if (withTheMouse) {
            ASSERT_NO_FATAL_FAILURE(desk.clickIn(review, firstRow.first, firstRow.second));
        } else {
            ASSERT_EQ(desk.key({"Down"}), 0); // from the search field
        }
    }

    /// The folder holds exactly `pages` a while after the choice, when a new copy would have come, and again
    /// after a relaunch; one notice was raised in all.
    void expectSettled(Desk &desk, const std::vector<std::string> &pages) {
        EXPECT_TRUE(waitUntil([&] { return !std::filesystem::exists(copy); }, generous)) << "the copy stayed";
        EXPECT_TRUE(waitUntil([&] { return !desk.windowNamed("Review Saved Conflict Copy"); }, generous))
            << "the review stayed open with nothing left to review";
        pauseAsAPerson(12s);
        EXPECT_TRUE(holdsExactly(session->pagesFolder(), pages));
        const std::size_t notices = desk.relaunch();
        pauseAsAPerson(); // the launch's refresh of the folder
        EXPECT_TRUE(holdsExactly(session->pagesFolder(), pages));
        EXPECT_EQ(notices + desk.noticesRaised(), 1u) << "a notice came back";
    }

    std::filesystem::path copy;
    std::string review;
};

class VeltoConflictChoice : public VeltoConflictReview,
                            public ::testing::WithParamInterface<std::tuple<Choice, bool>> {};

/// Each choice, made with the mouse or with the keyboard at a person's pace, settles the copy for good.
TEST_P(VeltoConflictChoice, SettlesTheCopyAShellLedToWithoutANewCopyOrNotice) {
    const auto &[choice, withTheMouse] = GetParam();
    Desk &desk = deskOn(*session);
    ASSERT_NO_FATAL_FAILURE(openTheReviewOfAShellsChange(desk, withTheMouse));
    ASSERT_NO_FATAL_FAILURE(selectTheCopy(desk, withTheMouse));
    ASSERT_NO_FATAL_FAILURE(choose(desk, choice, withTheMouse));
    expectSettled(desk, choice.pages);
    desk.quit();
}

INSTANTIATE_TEST_SUITE_P(EachChoice, VeltoConflictChoice,
                         ::testing::Combine(::testing::ValuesIn(choices), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<Choice, bool>> &info) {
                             return std::get<0>(info.param).name +
                                    (std::get<1>(info.param) ? "WithTheMouse" : "WithTheKeyboard");
                         });

/// Another program rewrites the copy while it is reviewed: the choice made a moment later takes the copy as it is
/// now. A choice that met the change first is explained ("Saved Copy Changed") and made again.
TEST_F(VeltoConflictReview, AChoiceTakesACopyRewrittenElsewhereAsItIsNow) {
    Desk &desk = deskOn(*session);
    ASSERT_NO_FATAL_FAILURE(openTheReviewOfAShellsChange(desk, true));
    ASSERT_NO_FATAL_FAILURE(selectTheCopy(desk, true));
    rewriteAsAShellDoes(copy, "their line", "their line rewritten");

    pauseAsAPerson();
    ASSERT_NO_FATAL_FAILURE(choose(desk, choices[2], true));
    waitUntil([&] { return !std::filesystem::exists(copy) || desk.windowNamed("Saved Copy Changed").has_value(); },
              generous);
    if (desk.windowNamed("Saved Copy Changed").has_value()) {
        ASSERT_EQ(desk.key({"Return"}), 0); // "Review Again"
        ASSERT_NO_FATAL_FAILURE(choose(desk, choices[2], true));
    }
    expectSettled(desk, {"their line rewritten"});
    desk.quit();
}

/// Another program deletes the copy while it is reviewed: the choice made on it says that the copy is gone
/// ("Saved Copy Deleted"), the review closes with nothing left to review, and the page stays as it is.
TEST_F(VeltoConflictReview, AChoiceOnACopyDeletedElsewhereSaysItIsGone) {
    Desk &desk = deskOn(*session);
    ASSERT_NO_FATAL_FAILURE(openTheReviewOfAShellsChange(desk, true));
    ASSERT_NO_FATAL_FAILURE(selectTheCopy(desk, true));
    std::filesystem::remove(copy);

    pauseAsAPerson();
    ASSERT_NO_FATAL_FAILURE(choose(desk, choices[0], true));
    EXPECT_TRUE(desk.waitForWindowNamed("Saved Copy Deleted")) << "the choice did not say the copy is gone";
    ASSERT_EQ(desk.key({"Return"}), 0);
    expectSettled(desk, {"shared line typed on"});
    desk.quit();
}

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
