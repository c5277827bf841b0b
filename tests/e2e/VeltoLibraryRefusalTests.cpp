// A library Velto must not or cannot write, as the user meets it at launch: the alert says what is wrong and
// offers only what can work, and nothing is written meanwhile.
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <sstream>

#include <sys/mount.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto generous = 30s;

std::map<std::string, std::string> filesBelow(const std::filesystem::path &folder) {
    std::map<std::string, std::string> files;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            std::ifstream file(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << file.rdbuf();
            files[entry.path().lexically_relative(folder).string()] = bytes.str();
        }
    }
    return files;
}

class VeltoLibraryRefusal : public DesktopSessionTest {
protected:
    void SetUp() override {
        DesktopSessionTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        std::filesystem::create_directories(session->pagesFolder() / ".velto");
        std::ofstream(session->pagesFolder() / "notes.md") << "Notes kept by another Velto\n";
    }

    void TearDown() override {
        if (HasFailure() && velto) {
            printVeltoOutputAndWindows(*velto);
        }
    }

    /// Answers the alert in front with its default button, its first.
    void answerAlert() {
        std::optional<std::string> alert;
        ASSERT_TRUE(waitUntil(
            [&] {
                auto windows = session->visibleWindows();
                alert = windows.empty() ? std::nullopt : std::optional<std::string>(windows.front());
                return alert.has_value();
            },
            generous))
            << "no alert showed";
        if (!waitUntil([&] { return session->focusedWindow() == alert; }, 5s)) {
            session->tool({"xdotool", "windowfocus", *alert});
        }
        ASSERT_TRUE(waitUntil([&] { return session->focusedWindow() == alert; }, generous)) << "no focus";
        ASSERT_EQ(session->tool({"xdotool", "key", "Return"}).exitStatus, 0);
    }

    std::unique_ptr<VeltoProcess> velto;
};

// The alert's texts are the headless launch tests' to check; here the running application takes the road of a
// newer library, whose first and only button quits without a launch, and the library stays as it was.
TEST_F(VeltoLibraryRefusal, ANewerLibraryIsAnnouncedItsOnlyAnswerQuitsAndItStaysAsItWas) {
    std::ofstream(session->pagesFolder() / ".velto" / "manifest.json") << R"({"schemaVersion":4,"future":true})";
    auto before = filesBelow(session->pagesFolder());

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("newer library announced", generous)) << velto->output();
    answerAlert();
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
    EXPECT_FALSE(velto->milestoneTime("launch finished").has_value());
    EXPECT_FALSE(velto->milestoneTime("damaged library announced").has_value());
    EXPECT_EQ(filesBelow(session->pagesFolder()), before);
}

// The Pages folder on a read-only mount: announced as a folder to change, not a damaged library; Try Again asks
// again while it stays read-only, and opens the library once it may be written.
TEST_F(VeltoLibraryRefusal, AReadOnlyPagesFolderIsAnnouncedAndTryAgainOpensItOnceWritable) {
    const auto pages = session->pagesFolder();
    if (::mount(pages.c_str(), pages.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        GTEST_SKIP() << "no permission to mount here";
    }
    struct Unmount {
        std::filesystem::path path;
        bool mounted = true;
        void now() {
            if (mounted) {
                ::umount2(path.c_str(), MNT_DETACH);
                mounted = false;
            }
        }
        ~Unmount() { now(); }
    } unmount{pages};
    ASSERT_EQ(::mount(nullptr, pages.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);

    velto = std::make_unique<VeltoProcess>(*session);
    ASSERT_TRUE(velto->waitForMilestone("unusable folder announced", generous)) << velto->output();
    answerAlert(); // "Try Again" while the folder is still read-only
    ASSERT_TRUE(waitUntil([&] { return velto->milestoneTimes("unusable folder announced").size() == 2; }, generous))
        << velto->output();
    EXPECT_FALSE(velto->milestoneTime("launch finished").has_value());

    unmount.now();
    answerAlert();
    ASSERT_TRUE(velto->waitForMilestone("launch finished", generous)) << velto->output();
    EXPECT_FALSE(velto->milestoneTime("damaged library announced").has_value());
    velto->process().signal(SIGTERM);
    EXPECT_EQ(velto->process().waitForExit(generous), 0) << velto->output();
}

} // namespace
} // namespace velto::testing
