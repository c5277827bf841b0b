// Response times of the running application, measured from outside with Velto's trace. Run on request:
// VELTO_E2E_FIGURES=1 (and VELTO_E2E_BUNDLE=<a release build's Velto.app> to measure that one).
#include "DesktopSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

struct Figure {
    const char *name;
    std::vector<double> samples;

    void report() {
        ASSERT_FALSE(samples.empty()) << name;
        std::sort(samples.begin(), samples.end());
        std::printf("figure %-45s median %7.1f ms  worst %7.1f ms  (%zu runs)\n", name, samples[samples.size() / 2],
                    samples.back(), samples.size());
    }
};

/// 100 pages of 52,428 bytes each: 5 MiB of page text, as much as stays active.
void writeLibrary(const std::filesystem::path &pages) {
    std::filesystem::create_directories(pages);
    std::string line = "A line of a page that fills the library up to its active limit, written once.\n";
    for (int page = 0; page < 100; ++page) {
        std::string text = "# Page " + std::to_string(page) + "\n\n";
        while (text.size() + line.size() <= 52'428) {
            text += line;
        }
        std::ofstream(pages / ("page-" + std::to_string(page) + ".md"), std::ios::binary) << text;
    }
}

TEST(VeltoFigures, LaunchShortcutAppendAndQuit) {
    if (std::getenv("VELTO_E2E_FIGURES") == nullptr || !DesktopSession::missingPrograms().empty()) {
        GTEST_SKIP() << "set VELTO_E2E_FIGURES=1 to measure";
    }
    DesktopSession session;
    ASSERT_TRUE(session.isReady()) << session.failure();
    writeLibrary(session.pagesFolder());
    {
        VeltoProcess first(session); // takes the Markdown files into a library
        ASSERT_TRUE(first.waitForMilestone("launch finished", 60s)) << first.output();
        first.process().signal(SIGTERM);
        ASSERT_EQ(first.process().waitForExit(60s), 0);
    }

    Figure docked{"launch to tray icon docked (100 pages, 5 MiB)", {}};
    Figure panelReady{"launch to panel ready", {}};
    Figure shortcut{"shortcut to painted panel", {}};
    Figure append{"append shortcut to text on disk", {}};
    Figure quit{"SIGTERM with an edited page to exit", {}};
    int run = 0;
    for (int launch = 0; launch < 7; ++launch) {
        VeltoProcess velto(session);
        ASSERT_TRUE(velto.waitForMilestone("status item docked", 60s)) << velto.output();
        docked.samples.push_back(*velto.milestoneTime("status item docked"));
        panelReady.samples.push_back(*velto.milestoneTime("panel ready"));

        for (int toggle = 0; toggle < 3; ++toggle) {
            std::size_t painted = velto.milestoneTimes("panel painted").size();
            double start = bootClockMilliseconds();
            ASSERT_EQ(session.tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
            ASSERT_TRUE(waitUntil([&] { return velto.milestoneTimes("panel painted").size() > painted; }, 30s, 1ms));
            shortcut.samples.push_back(velto.milestoneTimes("panel painted").back() - start);
            ASSERT_EQ(session.tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
            ASSERT_TRUE(waitUntil([&] { return !session.visiblePanelWindow().has_value(); }, 30s));
        }

        std::string marker = "appended text " + std::to_string(run++);
        ASSERT_TRUE(session.setClipboard(marker));
        double start = bootClockMilliseconds();
        ASSERT_EQ(session.tool({"xdotool", "key", "ctrl+alt+v"}).exitStatus, 0);
        ASSERT_TRUE(waitUntil([&] { return pageFilesText(session.pagesFolder()).find(marker) != std::string::npos; },
                              30s, 1ms));
        append.samples.push_back(bootClockMilliseconds() - start);

        ASSERT_EQ(session.tool({"xdotool", "key", "alt+space"}).exitStatus, 0);
        ASSERT_TRUE(waitUntil([&] { return velto.milestoneTimes("panel painted").size() > 3u; }, 30s, 1ms));
        ASSERT_TRUE(waitUntil([&] { return session.focusedWindow() == session.visiblePanelWindow(); }, 30s));
        std::string typed = "typed" + std::to_string(launch);
        ASSERT_EQ(session.tool({"xdotool", "type", typed}).exitStatus, 0);
        start = bootClockMilliseconds();
        velto.process().signal(SIGTERM);
        ASSERT_EQ(velto.process().waitForExit(30s), 0);
        quit.samples.push_back(bootClockMilliseconds() - start);
        EXPECT_NE(pageFilesText(session.pagesFolder()).find(typed), std::string::npos);
    }
    for (Figure *figure : {&docked, &panelReady, &shortcut, &append, &quit}) {
        figure->report();
    }
}

} // namespace
} // namespace velto::testing
