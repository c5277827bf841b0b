// The Settings window's flows in the running application, through its real dialogs: each one is driven with
// the keyboard as a user would, and the preferences file and the Pages folder are read from disk afterwards.
#include "DesktopSession.h"

#include <QtCore/QByteArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

QJsonObject preferencesOf(const DesktopSession &session) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(readWholeFile(session.preferencesFile().string())))
        .object();
}

/// The folder the preferences name as the Pages folder; nothing while they name none (the default folder).
std::optional<std::filesystem::path> storedPagesFolder(const DesktopSession &session) {
    QJsonValue bookmark = preferencesOf(session).value(QStringLiteral("pagesFolderBookmark"));
    if (!bookmark.isObject()) {
        return std::nullopt;
    }
    QByteArray path = QByteArray::fromBase64(bookmark.toObject().value(QStringLiteral("data")).toString().toLatin1());
    return std::filesystem::path(path.toStdString());
}

/// Preferences of a user past the Welcome whose show-or-hide shortcut is Super+Space, with `otherEntries`
/// (JSON members, each followed by a comma) before them.
std::string preferencesWithShowOrHideOnSuperSpace(const std::string &otherEntries = {}) {
    return "{\n" + otherEntries + R"(
    "hasCompletedWelcome": true,
    "globalShortcutConfigured": true,
    "globalShortcutKeyCode": 49,
    "globalShortcutModifiers": 262144,
    "globalShortcutKeyLabel": "Space"
})";
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class SettingsFlows : public DesktopSessionTest {
protected:
    void TearDown() override {
        if (HasFailure() && velto) {
            printVeltoOutputAndWindows(*velto);
        }
        if (velto && velto->process().isRunning()) {
            velto->process().signal(SIGTERM);
            EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
        }
        // LeakSanitizer's report of a flow that never ended comes at exit.
        if (velto) {
            EXPECT_EQ(velto->output().find("LeakSanitizer"), std::string::npos) << velto->output();
        }
    }

    void launch() {
        velto = std::make_unique<VeltoProcess>(*session);
        ASSERT_TRUE(velto->process().started());
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    }

    void key(const std::vector<std::string> &keys) {
        std::vector<std::string> arguments{"xdotool", "key", "--delay", "40"};
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        ASSERT_EQ(session->tool(arguments).exitStatus, 0);
    }

    void type(const std::string &text) {
        ASSERT_EQ(session->tool({"xdotool", "type", "--delay", "10", text}).exitStatus, 0);
    }

    std::optional<std::string> visibleWindowNamed(const std::string &name) const {
        std::string found =
            trimmed(session->tool({"xdotool", "search", "--onlyvisible", "--name", "^" + name + "$"}).output);
        if (found.empty()) {
            return std::nullopt;
        }
        return found.substr(0, found.find('\n'));
    }

    /// Waits until the window of that title is shown and has the keyboard.
    std::string focusedWindowNamed(const std::string &name) {
        std::optional<std::string> window;
        EXPECT_TRUE(waitUntil(
            [&] { return (window = visibleWindowNamed(name)).has_value() && session->focusedWindow() == window; },
            generous))
            << "no focused window “" << name << "”";
        return window.value_or("");
    }

    /// The show-or-hide shortcut, until the panel is shown and has the keyboard.
    void openPanel(const std::string &showOrHide = "alt+space") {
        ASSERT_EQ(session->tool({"xdotool", "key", showOrHide}).exitStatus, 0);
        std::optional<std::string> panel;
        ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous));
    }

    /// Types into the focused page until a page file holds the text.
    void typeIntoPage(const std::string &text) {
        type(text);
        ASSERT_TRUE(
            waitUntil([&] { return pageFilesText(session->pagesFolder()).find(text) != std::string::npos; }, generous))
            << "“" << text << "” was not saved\n"
            << pageFilesText(session->pagesFolder());
    }

    /// From the focused panel, Ctrl+comma: Settings opens with the sidebar focused.
    void openSettingsFromPanel() {
        key({"ctrl+comma"});
        settings = focusedWindowNamed("Settings");
        ASSERT_FALSE(settings.empty());
    }

    /// The panel (where the text is typed first, if any), then Settings.
    void openSettings(const std::string &typedFirst = {}, const std::string &showOrHide = "alt+space") {
        openPanel(showOrHide);
        if (!typedFirst.empty()) {
            typeIntoPage(typedFirst);
        }
        openSettingsFromPanel();
    }

    /// Another window of Velto on top of Settings (an alert) has the keyboard.
    std::string focusedAlert() {
        std::optional<std::string> alert;
        EXPECT_TRUE(waitUntil(
            [&] {
                alert = session->focusedWindow();
                if (!alert || *alert == settings) {
                    return false;
                }
                std::vector<std::string> windows = session->visibleWindows();
                return std::find(windows.begin(), windows.end(), *alert) != windows.end();
            },
            generous))
            << "no alert took the keyboard";
        return alert.value_or("");
    }

    /// The alert closed (the keyboard goes back to Settings where a window manager gives it back).
    void waitForAlertToClose(const std::string &alert) {
        EXPECT_TRUE(waitUntil(
            [&] {
                std::vector<std::string> windows = session->visibleWindows();
                return std::find(windows.begin(), windows.end(), alert) == windows.end();
            },
            generous))
            << "the alert stayed open";
    }

    /// With the sidebar focused: the category whose title starts with the letter, then Tab `tabs` times (or
    /// Shift+Tab, backwards from the page's last control, when negative) and Space, which presses the control
    /// reached.
    void pressControl(const std::string &categoryLetter, int tabs) {
        key({categoryLetter});
        std::vector<std::string> keys(static_cast<std::size_t>(std::abs(tabs)), tabs > 0 ? "Tab" : "shift+Tab");
        keys.push_back("space");
        key(keys);
    }

    /// Types the path into the file dialog of that title and confirms it.
    void chooseInFileDialog(const std::string &title, const std::filesystem::path &path) {
        focusedWindowNamed(title);
        key({"ctrl+a"});
        type(path.string());
        key({"Return"});
        EXPECT_TRUE(waitUntil([&] { return !visibleWindowNamed(title).has_value(); }, generous))
            << "the dialog “" << title << "” stayed open";
    }

    std::unique_ptr<VeltoProcess> velto;
    std::string settings;
};

// Where the controls are from the sidebar, in the order Tab reaches them.
constexpr int tabsToChangePagesFolder = 2;
constexpr int tabsToRestoreAllDefaults = 5;
constexpr int tabsToExportKeyboardSettings = -1; // the Shortcuts page's last control
constexpr int tabsToImportKeyboardSettings = -2;
constexpr int tabsToDeleteArchivedPages = -1; // the Pages & Storage page's last control, once enabled

TEST_F(SettingsFlows, ChangingThePagesFolderToAnEmptyFolderMovesThePagesAndStoresTheFolder) {
    launch();
    std::filesystem::path empty = session->home() / "Synced";
    std::filesystem::create_directories(empty);
    openSettings("moved along with the library");
    pressControl("p", tabsToChangePagesFolder);
    chooseInFileDialog("Choose Pages Folder", empty);

    // Start fresh there, or take the current pages along: the second answer.
    std::string question = focusedAlert();
    EXPECT_FALSE(storedPagesFolder(*session).has_value()) << "the folder changed before the answer";
    key({"Tab", "space"});
    waitForAlertToClose(question);
    EXPECT_TRUE(waitUntil([&] { return storedPagesFolder(*session) == empty; }, generous))
        << readWholeFile(session->preferencesFile().string());
    EXPECT_EQ(preferencesOf(*session).value(QStringLiteral("pagesFolderOwnershipMode")).toString(),
              QStringLiteral("managedFolder"));
    EXPECT_TRUE(std::filesystem::exists(empty / ".velto")) << "the library did not move";
    EXPECT_NE(pageFilesText(empty).find("moved along with the library"), std::string::npos) << pageFilesText(empty);
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("moved along with the library"), std::string::npos)
        << "the old folder stays as it was";
}

TEST_F(SettingsFlows, AFolderOfNotesAsksFirstThenTheLibraryGoesIntoItsVeltoSubfolderAndTheNotesStay) {
    std::filesystem::path notes = session->home() / "Notes";
    std::filesystem::create_directories(notes);
    std::ofstream(notes / "groceries.md") << "milk\n";
    std::ofstream(notes / "ideas.md") << "# Ideas\n";
    launch();
    openSettings("copied into the subfolder");
    pressControl("p", tabsToChangePagesFolder);
    chooseInFileDialog("Choose Pages Folder", notes);

    // The question about a folder of other notes; its first answer keeps them apart in a subfolder. Then the
    // question for that empty subfolder: its second answer copies the current pages there.
    std::string question = focusedAlert();
    EXPECT_FALSE(storedPagesFolder(*session).has_value()) << "the folder changed before the answer";
    key({"Return"});
    EXPECT_TRUE(waitUntil(
        [&] {
            std::optional<std::string> focused = session->focusedWindow();
            return focused && *focused != question && *focused != settings;
        },
        generous))
        << "no question for the subfolder";
    key({"Tab", "space"});
    EXPECT_TRUE(waitUntil([&] { return storedPagesFolder(*session) == notes / "Velto"; }, generous))
        << readWholeFile(session->preferencesFile().string());
    EXPECT_EQ(preferencesOf(*session).value(QStringLiteral("pagesFolderOwnershipMode")).toString(),
              QStringLiteral("managedFolder"));
    EXPECT_NE(pageFilesText(notes / "Velto").find("copied into the subfolder"), std::string::npos);
    EXPECT_EQ(readWholeFile((notes / "groceries.md").string()), "milk\n");
    EXPECT_EQ(readWholeFile((notes / "ideas.md").string()), "# Ideas\n");
    EXPECT_FALSE(std::filesystem::exists(notes / ".velto")) << "the notes' folder became a library";
}

TEST_F(SettingsFlows, AFolderInsideTheCurrentPagesFolderIsRefusedAndNothingChanges) {
    launch();
    std::filesystem::path nested = session->pagesFolder() / "Inner";
    std::filesystem::create_directories(nested);
    std::string preferencesBefore = readWholeFile(session->preferencesFile().string());
    openSettings();
    pressControl("p", tabsToChangePagesFolder);
    chooseInFileDialog("Choose Pages Folder", nested);

    // "Couldn’t inspect pages folder", with the reason; nothing was asked before it.
    std::string refusal = focusedAlert();
    key({"Return"});
    waitForAlertToClose(refusal);
    EXPECT_EQ(readWholeFile(session->preferencesFile().string()), preferencesBefore);
    EXPECT_FALSE(std::filesystem::exists(nested / ".velto"));
    EXPECT_TRUE(std::filesystem::is_empty(nested));
}

TEST_F(SettingsFlows, RestoringAllDefaultsAfterTheQuestionWritesEveryDefaultBack) {
    std::ofstream(session->preferencesFile()) << preferencesWithShowOrHideOnSuperSpace(R"(
    "appearanceChoice": "dark",
    "editorFontSize": 18,)");
    launch();
    openSettings({}, "super+space");
    pressControl("g", tabsToRestoreAllDefaults);
    std::string question = focusedAlert();
    key({"Return"});
    waitForAlertToClose(question);
    // The defaults are written out: System appearance, 15-point text, Alt+Space, and Velto starts at login.
    EXPECT_TRUE(waitUntil(
        [&] {
            QJsonObject stored = preferencesOf(*session);
            return stored.value(QStringLiteral("appearanceChoice")).toString() == QStringLiteral("system") &&
                   stored.value(QStringLiteral("editorFontSize")).toInt() == 15 &&
                   stored.value(QStringLiteral("globalShortcutModifiers")).toInt() == 0x80000;
        },
        generous))
        << readWholeFile(session->preferencesFile().string());
    EXPECT_TRUE(std::filesystem::exists(session->autostartEntry()));
    EXPECT_TRUE(preferencesOf(*session).value(QStringLiteral("hasCompletedWelcome")).toBool())
        << "restoring defaults must not bring the Welcome back";
}

// Without a window manager nobody hands the keyboard back when a sheet closes: Settings takes it back itself, on the
// control that opened the sheet, so that Space opens the same sheet again.
TEST_F(SettingsFlows, ClosingTheRestoreQuestionGivesTheKeyboardBackToTheRestoreButton) {
    launch();
    openSettings();
    pressControl("g", tabsToRestoreAllDefaults);
    for (int opening = 1; opening <= 2; ++opening) {
        SCOPED_TRACE(opening);
        std::string question = focusedAlert();
        key({"Escape"});
        waitForAlertToClose(question);
        EXPECT_EQ(focusedWindowNamed("Settings"), settings) << "the keyboard stayed where the question was";
        if (opening == 1) {
            key({"space"}); // the button that asked, once more
        }
    }
}

TEST_F(SettingsFlows, AnsweringStartFreshGivesTheKeyboardBackToTheFolderButton) {
    std::filesystem::path empty = session->root() / "Empty";
    std::filesystem::create_directories(empty);
    launch();
    openSettings();
    pressControl("p", tabsToChangePagesFolder);
    chooseInFileDialog("Choose Pages Folder", empty);
    std::string question = focusedAlert(); // "Start fresh in “Empty”?"
    key({"Return"});
    waitForAlertToClose(question);
    EXPECT_TRUE(waitUntil([&] { return storedPagesFolder(*session) == empty; }, generous))
        << readWholeFile(session->preferencesFile().string());
    EXPECT_EQ(focusedWindowNamed("Settings"), settings) << "the keyboard stayed where the question was";
    key({"space"}); // the button that chose the folder, once more
    focusedWindowNamed("Choose Pages Folder");
    key({"Escape"});
    EXPECT_EQ(focusedWindowNamed("Settings"), settings);
}

/// The mean lightness (0 black … 1 white) of a window's pixels as the X server holds them; nothing when they
/// could not be read.
std::optional<double> meanLightness(const DesktopSession &session, const std::string &window) {
    ToolResult shot = session.tool({"import", "-window", window, "rgb:-"});
    if (shot.exitStatus != 0 || shot.output.size() < 3) {
        return std::nullopt;
    }
    double sum = 0;
    std::size_t pixels = shot.output.size() / 3;
    for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            sum += static_cast<unsigned char>(shot.output[pixel * 3 + channel]);
        }
    }
    return sum / (static_cast<double>(pixels) * 3 * 255);
}

TEST_F(SettingsFlows, WithDarkChosenOnALightDesktopTheTrayMenuAndAnAlertAreDrawnDark) {
    if (session->tool({"sh", "-c", "command -v import"}).exitStatus != 0) {
        GTEST_SKIP() << "needs import (installed by scripts/setup.sh)";
    }
    std::ofstream(session->preferencesFile()) << preferencesWithShowOrHideOnSuperSpace(R"(
    "appearanceChoice": "dark",)");
    launch();

    // The tray icon's menu, opened with a right click.
    const std::optional<std::string> trayMenu = session->openTrayMenu(generous);
    ASSERT_TRUE(trayMenu) << "no menu";
    const std::string menu = *trayMenu;
    std::optional<double> menuLightness;
    EXPECT_TRUE(
        waitUntil([&] { return (menuLightness = meanLightness(*session, menu)) && *menuLightness < 0.3; }, generous))
        << "the menu is light: " << menuLightness.value_or(-1);
    key({"Escape"});
    EXPECT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the menu stayed open";

    // An alert: the question before restoring all defaults, which Escape answers with Cancel.
    openSettings({}, "super+space");
    std::optional<double> settingsLightness = meanLightness(*session, settings);
    EXPECT_LT(settingsLightness.value_or(1), 0.3);
    pressControl("g", tabsToRestoreAllDefaults);
    std::string question = focusedAlert();
    std::optional<double> alertLightness;
    EXPECT_TRUE(waitUntil([&] { return (alertLightness = meanLightness(*session, question)) && *alertLightness < 0.3; },
                          generous))
        << "the alert is light: " << alertLightness.value_or(-1);
    key({"Escape"});
    waitForAlertToClose(question);
    EXPECT_EQ(preferencesOf(*session).value(QStringLiteral("appearanceChoice")).toString(), QStringLiteral("dark"));
}

TEST_F(SettingsFlows, OnceShowOrHideHasAnotherShortcutAltSpaceTypesNothingIntoThePage) {
    std::ofstream(session->preferencesFile()) << preferencesWithShowOrHideOnSuperSpace();
    launch();
    openPanel("super+space");
    type("before");
    key({"alt+space"});
    type("after");
    EXPECT_TRUE(waitUntil(
        [&] { return pageFilesText(session->pagesFolder()).find("beforeafter") != std::string::npos; }, generous))
        << pageFilesText(session->pagesFolder());
    EXPECT_TRUE(session->visiblePanelWindow().has_value()) << "Alt+Space no longer shows or hides Velto";
}

TEST_F(SettingsFlows, AfterEscapeTheShowOrHideRecorderRecordsNothingUntilSpaceStartsItAgain) {
    std::ofstream(session->preferencesFile()) << preferencesWithShowOrHideOnSuperSpace();
    launch();
    openSettings({}, "super+space");
    // Tab from the sidebar reaches the show-or-hide recorder, which records until Escape. Idle, it leaves Alt+K
    // alone and Ctrl+W to the window, which closes.
    key({"s", "Tab", "Escape", "alt+k", "ctrl+w"});
    EXPECT_TRUE(waitUntil([&] { return !visibleWindowNamed("Settings").has_value(); }, generous))
        << "Ctrl+W did not close Settings";
    QJsonObject kept = preferencesOf(*session);
    EXPECT_EQ(kept.value(QStringLiteral("globalShortcutKeyCode")).toInt(), 49);
    EXPECT_EQ(kept.value(QStringLiteral("globalShortcutModifiers")).toInt(), 262144);

    // Space starts it again: the next combination, Super+J, becomes the shortcut.
    if (session->visiblePanelWindow()) {
        key({"super+space"});
        ASSERT_TRUE(waitUntil([&] { return !session->visiblePanelWindow().has_value(); }, generous));
    }
    openSettings({}, "super+space");
    key({"s", "Tab", "Escape", "space", "super+j"});
    EXPECT_TRUE(waitUntil(
        [&] {
            QJsonObject stored = preferencesOf(*session);
            return stored.value(QStringLiteral("globalShortcutKeyCode")).toInt() == 38 &&
                   stored.value(QStringLiteral("globalShortcutModifiers")).toInt() == 262144;
        },
        generous))
        << readWholeFile(session->preferencesFile().string());
}

TEST_F(SettingsFlows, KeyboardSettingsExportedFromOneSetupAreImportedIntoAnother) {
    std::ofstream(session->preferencesFile()) << preferencesWithShowOrHideOnSuperSpace();
    launch();
    openSettings({}, "super+space");
    std::filesystem::path exported = session->home() / "keys.json";
    pressControl("s", tabsToExportKeyboardSettings);
    chooseInFileDialog("Export Keyboard Settings", exported);
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(exported); }, generous));
    EXPECT_TRUE(QJsonDocument::fromJson(QByteArray::fromStdString(readWholeFile(exported.string()))).isObject())
        << readWholeFile(exported.string());
    velto->process().signal(SIGTERM);
    ASSERT_EQ(velto->process().waitForExit(generous), 0) << velto->output();

    // Another setup, on the defaults, takes them in.
    std::ofstream(session->preferencesFile()) << "{\n    \"hasCompletedWelcome\": true\n}\n";
    launch();
    openSettings();
    pressControl("s", tabsToImportKeyboardSettings);
    chooseInFileDialog("Import Keyboard Settings", exported);
    std::string outcome = focusedAlert();
    EXPECT_TRUE(waitUntil(
        [&] { return preferencesOf(*session).value(QStringLiteral("globalShortcutModifiers")).toInt() == 262144; },
        generous))
        << readWholeFile(session->preferencesFile().string());
    key({"Return"});
    waitForAlertToClose(outcome);
}

TEST_F(SettingsFlows, DeletingArchivedPagesAfterTheQuestionRemovesTheirFilesOnly) {
    launch();
    // A page written and archived in the panel (Shift+Ctrl+A), then the page that stays.
    openPanel();
    typeIntoPage("to be archived");
    key({"shift+ctrl+a"});
    ASSERT_TRUE(waitUntil(
        [&] { return pageFilesText(session->pagesFolder()).find("archived: true") != std::string::npos; }, generous))
        << pageFilesText(session->pagesFolder());
    typeIntoPage("stays");
    openSettingsFromPanel();

    pressControl("p", tabsToDeleteArchivedPages);
    std::string question = focusedAlert();
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("to be archived"), std::string::npos)
        << "nothing goes before the answer";
    key({"Return"});
    waitForAlertToClose(question);
    EXPECT_TRUE(waitUntil(
        [&] { return pageFilesText(session->pagesFolder()).find("to be archived") == std::string::npos; }, generous))
        << pageFilesText(session->pagesFolder());
    EXPECT_NE(pageFilesText(session->pagesFolder()).find("stays"), std::string::npos);
}

// A folder where an earlier copy stopped half way, its page file edited by hand since: copying the current pages
// into the whole folder is refused with an alert, the edit stays and the Pages folder stays where it was.
TEST_F(SettingsFlows, CopyingIntoAFolderWhereACopyStoppedIsRefusedAndKeepsTheHandEdit) {
    std::filesystem::path stopped = session->home() / "Stopped";
    std::filesystem::create_directories(stopped / ".velto");
    const std::string edited = "2026-01-05-a1b2c3d4.md";
    std::ofstream(stopped / edited) << "alpha\nmy edit\n";
    std::ofstream(stopped / ".velto" / "unfinished-copy.json")
        << R"({"files": [{"name": ")" << edited << R"(", "sha256": ["0000"]}]})";
    launch();
    openSettings("typed before the copy");
    pressControl("p", tabsToChangePagesFolder);
    chooseInFileDialog("Choose Pages Folder", stopped);

    // The whole folder (its second answer, then confirmed), and the current pages copied into it.
    std::string previous;
    auto nextAlert = [&] {
        std::optional<std::string> alert;
        EXPECT_TRUE(waitUntil(
            [&] {
                alert = session->focusedWindow();
                return alert && *alert != settings && *alert != previous;
            },
            generous))
            << "no alert after “" << previous << "”";
        previous = alert.value_or("");
    };
    nextAlert();
    key({"Tab", "space"});
    nextAlert();
    key({"Return"});
    nextAlert();
    key({"Tab", "space"});
    nextAlert(); // "Couldn’t change pages folder", with the refusal (its text: LibraryConnectionError's tests)
    key({"Return"});
    waitForAlertToClose(previous);
    EXPECT_EQ(readWholeFile((stopped / edited).string()), "alpha\nmy edit\n");
    EXPECT_TRUE(std::filesystem::exists(stopped / ".velto" / "unfinished-copy.json"));
    EXPECT_NE(storedPagesFolder(*session), stopped);
}

} // namespace
} // namespace velto::testing
