// Typed words are never in no file: when the open page cannot be saved, a logout (SIGTERM, whose final save may
// ask nobody) or a kill four seconds after the last key leaves them in the page, in another page of the Pages
// folder, or in Velto's "Unsaved Text" folder; and the next launch names what was kept there, once.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include <sys/mount.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

/// Also for a page near the size Velto opens, which is read, laid out and written slowly under the sanitizers.
constexpr auto generous = 60s;
constexpr std::size_t largestPageFile = 64u << 20;

/// A file of exactly `bytes` bytes of plain lines of words.
void writePlainLines(const std::filesystem::path &file, std::size_t bytes) {
    std::string line;
    while (line.size() < 1000) {
        line += "plain words filling a page up to the size Velto opens ";
    }
    line += '\n';
    std::string text;
    text.reserve(bytes);
    while (text.size() + 2 * line.size() <= bytes) {
        text += line;
    }
    text.append(bytes - text.size() - 1, 'w');
    text += '\n';
    std::ofstream(file, std::ios::binary) << text;
}

class VeltoFinalSave : public VeltoSessionTest {
public:
    std::filesystem::path page() const { return session->pagesFolder() / "keep.md"; }
    std::filesystem::path unsavedTextFolder() const { return session->dataHome() / "Velto" / "Unsaved Text"; }

    void TearDown() override {
        VeltoSessionTest::TearDown();
        if (HasFailure() && velto) {
            std::printf("--- files\n%s\n", listing().c_str());
        }
        pagesWritableAgain(); // before the session removes its folder
    }

    void launch() {
        velto = std::make_unique<VeltoProcess>(*session);
        ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    }

    int key(const std::string &keys) { return session->tool({"xdotool", "key", keys}).exitStatus; }
    int type(const std::string &text) { return session->tool({"xdotool", "type", "--delay", "5", text}).exitStatus; }

    /// Shows the panel with the keyboard in it and the cursor on the page's last line.
    void showPanelAtTheEnd() {
        ASSERT_EQ(key("alt+space"), 0);
        std::optional<std::string> panel;
        ASSERT_TRUE(waitUntil([&] { return (panel = session->visiblePanelWindow()).has_value(); }, generous));
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == panel; }, generous)) << "no keyboard focus";
        ASSERT_EQ(key("ctrl+End"), 0);
    }

    /// Waits until the editor shows `text` on the cursor's line: every key typed before has reached it.
    void waitUntilThePanelShows(const std::string &text) {
        ASSERT_TRUE(waitUntil(
            [&] {
                session->tool({"xdotool", "key", "shift+Home", "ctrl+c"});
                return session->clipboard().find(text) != std::string::npos;
            },
            generous, 200ms))
            << "the panel does not show \u201c" << text << "\u201d";
    }

    /// The Pages folder mounted on itself read-only, as a disk that turned read-only under Velto; false where
    /// this process may not mount.
    bool turnPagesReadOnly() {
        const auto pages = session->pagesFolder();
        if (::mount(pages.c_str(), pages.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return false;
        }
        mounted_ = true;
        return ::mount(nullptr, pages.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    }

    void pagesWritableAgain() {
        if (mounted_) {
            ::umount2(session->pagesFolder().c_str(), MNT_DETACH);
            mounted_ = false;
        }
    }

    /// The files `text` is in: the Pages folder's Markdown files (not a link to one) and the kept files of
    /// "Unsaved Text".
    std::vector<std::filesystem::path> filesHolding(const std::string &text) const {
        std::vector<std::filesystem::path> candidates = pageFiles(session->pagesFolder());
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(unsavedTextFolder(), error)) {
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
                candidates.push_back(entry.path()); // not the hidden list of names
            }
        }
        std::vector<std::filesystem::path> holding;
        for (const auto &file : candidates) {
            if (!std::filesystem::is_symlink(file) && readWholeFile(file.string()).find(text) != std::string::npos) {
                holding.push_back(file);
            }
        }
        return holding;
    }

    /// Every file of Velto's data folder and its size, for a failure's report.
    std::string listing() const {
        std::ostringstream files;
        std::error_code error;
        for (const auto &entry : std::filesystem::recursive_directory_iterator(session->dataHome(), error)) {
            if (entry.is_regular_file()) {
                files << entry.path().lexically_relative(session->dataHome()).string() << " (" << entry.file_size()
                      << " bytes)\n";
            }
        }
        return files.str();
    }

    void quit() {
        velto->process().signal(SIGTERM);
        EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    }

private:
    bool mounted_ = false;
};

enum class Cause {
    readOnlyPagesFolder,
    pageTypedPastTheLimit,
    pageFileReplacedWithoutRoom,
    pageFileMadeReadOnly,
    symbolicLinkToThePage
};
enum class Ending { logout, kill };
/// Where the typed words must be afterwards: certain for some causes, any file for another.
enum class KeptIn { thePage, unsavedText, anyFile };

struct CauseCase {
    Cause cause;
    const char *name;
    std::size_t pageBytes;           // of the page's file at launch; 0: a line of words
    std::optional<int> logoutStatus; // where it is certain
    KeptIn keptIn;
    const char *firstLine = "first words"; // of a page of a line of words
};

/// Eleven family emoji: 275 bytes of UTF-8 in 11 characters, more than a file name may hold.
const std::string elevenFamilies = [] {
    std::string line;
    for (int family = 0; family < 11; ++family) {
        line += "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466";
    }
    return line;
}();

const CauseCase causes[] = {
    {Cause::readOnlyPagesFolder, "ReadOnlyPagesFolder", 0, 1, KeptIn::unsavedText},
    // The kept file is named after the first line, which is longer in bytes than a name may be.
    {Cause::readOnlyPagesFolder, "ReadOnlyPagesFolderEmojiFirstLine", 0, 1, KeptIn::unsavedText,
     elevenFamilies.c_str()},
    {Cause::pageTypedPastTheLimit, "PageTypedPastTheLimit", largestPageFile - 600, 1, KeptIn::unsavedText},
    // Velto cannot write into such a file: it keeps the page's text as a recovered page and leaves the file be; a
    // logout may come before Velto has read the new file, so any file will do.
    {Cause::pageFileReplacedWithoutRoom, "PageFileReplacedByOneWithoutRoom", 0, std::nullopt, KeptIn::anyFile},
    // A file its owner made read-only refuses the change whatever the user's privileges: a recovered page.
    {Cause::pageFileMadeReadOnly, "PageFileMadeReadOnly", 0, 0, KeptIn::anyFile},
    // A link to the page is the same page: saves go on.
    {Cause::symbolicLinkToThePage, "SymbolicLinkToThePage", 0, 0, KeptIn::thePage},
};

void PrintTo(const CauseCase &c, std::ostream *out) {
    *out << c.name;
}

void PrintTo(Ending ending, std::ostream *out) {
    *out << (ending == Ending::logout ? "logout" : "kill");
}

constexpr std::size_t replacementBytes = largestPageFile - 100; // less room than Velto's metadata takes

class VeltoFinalSaveCause : public VeltoFinalSave, public ::testing::WithParamInterface<std::tuple<CauseCase, Ending>> {
protected:
    /// Makes the page's saves fail (or, for a link, seem to) and types `token` meanwhile.
    void typeWhileThePageCannotBeSaved(Cause cause, const std::string &token) {
        switch (cause) {
        case Cause::readOnlyPagesFolder:
            if (!turnPagesReadOnly()) {
                GTEST_SKIP() << "no permission to mount here";
            }
            ASSERT_EQ(type(token), 0);
            break;
        case Cause::pageTypedPastTheLimit: {
            std::string lines;
            while (lines.size() < 2048) {
                lines += "pasted words that take the page past the size Velto opens\n";
            }
            ASSERT_TRUE(session->setClipboard(lines));
            ASSERT_EQ(key("ctrl+v"), 0);
            ASSERT_EQ(type(token), 0);
            break;
        }
        case Cause::pageFileReplacedWithoutRoom:
            // Typed while Velto is stopped, so that the replacement always meets words on no disk yet.
            velto->process().signal(SIGSTOP);
            EXPECT_EQ(type(token), 0);
            writePlainLines(page().string() + ".tmp", replacementBytes);
            std::filesystem::rename(page().string() + ".tmp", page());
            velto->process().signal(SIGCONT);
            break;
        case Cause::pageFileMadeReadOnly:
            std::filesystem::permissions(page(), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
            ASSERT_EQ(type(token), 0);
            break;
        case Cause::symbolicLinkToThePage:
            std::filesystem::create_symlink("keep.md", session->pagesFolder() / "alias.md");
            ASSERT_EQ(type(token), 0);
            break;
        }
    }
};

TEST_P(VeltoFinalSaveCause, TheTypedWordsAreInAFileAfterVeltoEnds) {
    const CauseCase &c = std::get<0>(GetParam());
    const Ending ending = std::get<1>(GetParam());
    if (c.pageBytes > 0) {
        writePlainLines(page(), c.pageBytes);
    } else {
        std::ofstream(page()) << c.firstLine << "\n";
    }
    launch();
    ASSERT_NO_FATAL_FAILURE(showPanelAtTheEnd());
    const std::string token = std::string("token ") + c.name + (ending == Ending::logout ? " logout" : " kill");
    typeWhileThePageCannotBeSaved(c.cause, token);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    ASSERT_NO_FATAL_FAILURE(waitUntilThePanelShows(token));

    if (ending == Ending::logout) {
        velto->process().signal(SIGTERM);
        std::optional<int> status = velto->process().waitForExit(generous);
        ASSERT_TRUE(status.has_value()) << "Velto did not end on a logout";
        if (c.logoutStatus) {
            EXPECT_EQ(*status, *c.logoutStatus) << velto->output();
        } else {
            EXPECT_TRUE(*status == 0 || *status == 1) << *status << "\n" << velto->output();
        }
    } else {
        if (c.cause == Cause::pageFileReplacedWithoutRoom) {
            // The save that meets the replacement reads a file of nearly 64 MiB before it keeps the recovered page:
            // with the sanitizers, on a machine running other tests, that alone takes longer than four seconds. The
            // kill then comes once the words are in a file: what it may not do is take them out of it.
            ASSERT_TRUE(waitUntil([&] { return !filesHolding(token).empty(); }, generous)) << velto->output();
        }
        // A deliberate wait after the last key, not one for a condition: a session killed four seconds after the
        // user stopped typing, while saves fail; what the words are in by then is what is checked.
        std::this_thread::sleep_for(4s);
        velto->process().signal(SIGKILL);
        ASSERT_EQ(velto->process().waitForExit(generous), 128 + SIGKILL);
    }

    std::vector<std::filesystem::path> holding = filesHolding(token);
    ASSERT_FALSE(holding.empty()) << "the typed words are in no file";
    if (c.keptIn == KeptIn::thePage) {
        EXPECT_EQ(holding, std::vector<std::filesystem::path>{page()}) << "a page saved as usual is kept elsewhere too";
    } else if (c.keptIn == KeptIn::unsavedText) {
        ASSERT_EQ(holding.front().parent_path(), unsavedTextFolder());
        const std::string kept = readWholeFile(holding.front().string());
        EXPECT_EQ(kept.rfind(c.pageBytes > 0 ? "plain words" : c.firstLine, 0), 0u) << "not the page's whole text";
        EXPECT_GE(kept.size(), c.pageBytes);
        if (ending == Ending::kill) {
            EXPECT_TRUE(velto->milestoneTime("unsaved text kept").has_value());
        }
    }
    if (c.cause == Cause::pageFileMadeReadOnly) {
        EXPECT_EQ(readWholeFile(page().string()).find(token), std::string::npos) << "the read-only file was changed";
    }
    if (c.cause == Cause::pageFileReplacedWithoutRoom) {
        EXPECT_EQ(std::filesystem::file_size(page()), replacementBytes) << "the other program's file was changed";
    }
}

INSTANTIATE_TEST_SUITE_P(VeltoFinalSave, VeltoFinalSaveCause,
                         ::testing::Combine(::testing::ValuesIn(causes),
                                            ::testing::Values(Ending::logout, Ending::kill)),
                         [](const ::testing::TestParamInfo<std::tuple<CauseCase, Ending>> &info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Ending::logout ? "_Logout"
                                                                               : "_KilledFourSecondsAfterTheLastKey");
                         });

TEST_F(VeltoFinalSave, TheNextLaunchNamesTheKeptTextOnceAndTheLaunchAfterItNamesNothing) {
    std::ofstream(page()) << "first words\n";
    launch();
    ASSERT_NO_FATAL_FAILURE(showPanelAtTheEnd());
    if (!turnPagesReadOnly()) {
        GTEST_SKIP() << "no permission to mount here";
    }
    const std::string token = "kept for the next launch";
    ASSERT_EQ(type(token), 0);
    ASSERT_NO_FATAL_FAILURE(waitUntilThePanelShows(token));
    // The banner of failing saves says where the text is kept meanwhile.
    const std::string keptIn = "Kept in “" + unsavedTextFolder().string() + "”";
    EXPECT_TRUE(waitUntil(
        [&] {
            ToolResult banners = session->tool({"xdotool", "search", "--onlyvisible", "--name", "Kept in"});
            return banners.exitStatus == 0 &&
                   session->tool({"xdotool", "getwindowname", banners.output.substr(0, banners.output.find('\n'))})
                           .output.find(keptIn) != std::string::npos;
        },
        generous))
        << "no banner says " << keptIn << "\n"
        << session->windowTree();
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 1) << velto->output();
    std::vector<std::filesystem::path> kept = filesHolding(token);
    ASSERT_EQ(kept.size(), 1u);
    ASSERT_EQ(kept.front().parent_path(), unsavedTextFolder());
    pagesWritableAgain();

    velto = std::make_unique<VeltoProcess>(*session); // its alert is answered with the default button, OK
    ASSERT_TRUE(velto->waitForMilestone("unsaved text named", generous)) << velto->output();
    std::optional<std::string> alert;
    ASSERT_TRUE(waitUntil([&] { return (alert = session->visiblePanelWindow()).has_value(); }, generous));
    if (!waitUntil([&] { return session->focusedWindow() == alert; }, 5s)) {
        session->tool({"xdotool", "windowfocus", *alert});
    }
    ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == alert; }, generous)) << "the alert has no focus";
    ASSERT_EQ(key("Return"), 0);
    ASSERT_TRUE(waitUntil([&] { return session->visibleWindows().empty(); }, generous)) << "the alert stayed";
    EXPECT_EQ(velto->milestoneTimes("unsaved text named").size(), 1u);
    quit();

    // Once the launch has gone on to take typing and save it, no alert has named the kept file again.
    launch();
    ASSERT_NO_FATAL_FAILURE(showPanelAtTheEnd());
    ASSERT_EQ(type("typed on the third launch"), 0);
    EXPECT_TRUE(
        waitUntil([&] { return readWholeFile(page().string()).find("typed on the third launch") != std::string::npos; },
                  generous));
    EXPECT_FALSE(velto->milestoneTime("unsaved text named").has_value());
    EXPECT_EQ(session->visibleWindows().size(), 1u) << "a window besides the panel";
    EXPECT_EQ(filesHolding(token), kept) << "the kept file is the user's to remove";
    quit();
}

} // namespace
} // namespace velto::testing
