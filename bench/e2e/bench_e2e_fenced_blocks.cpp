// A page of many small fenced code blocks, each tagged with a language, as a user meets it: the built application
// on its own X server, tray host and session bus (as the end-to-end tests run it), the page its current page.
// The caret goes to the start of the page, on the first fence line, where one typed key makes that line text and
// so turns the fences below it from opening to closing lines and back; the Backspace after it undoes that.
// Measured from outside the process, for each such key:
//   - the processor time of the main thread from the key until the process is quiet again (the key, the style
//     pass that follows it, the highlighting of the blocks near the screen and the save), and of the whole
//     process (from /proc/<pid>/task/<tid>/schedstat);
//   - the key to the first change of the panel's pixels it causes (read back from the X server).
// Run: velto_bench_e2e_fenced_blocks [blocks...] (10000 and 20000 by default); VELTO_E2E_BUNDLE=<a Release
// build's Velto.app> names the application (default: this build's), VELTO_FENCED_BLOCKS_LAUNCHES the launches per
// page (default 2) and VELTO_FENCED_BLOCKS_ROUNDS the key and Backspace pairs per launch (default 5). Lines
// starting "figure" hold the results.
#include "BenchFigures.h"
#include "DesktopSession.h"
#include "ProcessReadings.h"
#include "ScreenReadings.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace velto::bench;
using velto::testing::DesktopSession;
using velto::testing::VeltoProcess;

namespace {

/// `count` blocks of one line of code each, their fences naming eight languages in turn.
std::string fencedBlocksPage(int count) {
    static const char *const languages[] = {"js", "python", "cpp", "rust", "go", "sql", "bash", "xml"};
    std::string page;
    for (int block = 0; block < count; ++block) {
        page += std::string("```") + languages[block % 8] + "\nvar a" + std::to_string(block) + " = \"s\"; // c\n```\n";
    }
    return page;
}

/// The keysym of BackSpace, as X11's keysym table numbers it.
constexpr xcb_keysym_t backSpaceKeysym = 0xff08;

int positiveFromEnvironment(const char *name, int fallback) {
    const char *value = std::getenv(name);
    return value != nullptr ? std::max(1, std::atoi(value)) : fallback;
}

/// Presses the key and measures it: the milliseconds until the panel's pixels change, and the processor time
/// until the process is quiet again, on the main thread and in all.
void measureKey(KeyPresser &presser, xcb_keycode_t key, Screen &screen, const Screen::Window &panel, pid_t pid,
                const std::string &name, Figures &figures) {
    ThreadRunTimeWatch watch(pid);
    const std::vector<std::uint32_t> before = screen.pixels(panel);
    const Clock::time_point sent = presser.press(key);
    if (const auto painted = waitForGlyph(screen, panel, before, 120s)) {
        figures.add(name + " to painted, ms",
                    std::chrono::duration<double, std::milli>(painted->second - sent).count());
    } else {
        std::printf("  the key changed nothing on screen within 120 s\n");
    }
    if (!waitUntilQuiet(pid, 600s, &watch)) {
        std::printf("  never quiet within 600 s\n");
    }
    watch.read();
    figures.add(name + ", main thread CPU ms", watch.mainThreadProcessorSeconds() * 1000);
    figures.add(name + ", process CPU ms", watch.processorSeconds() * 1000);
}

/// Measures the page's keys in a few launches; false when something failed on the way. Returning (not
/// exiting) lets the application, the X server, the tray host and the bus end with their owners.
bool measurePage(int blocks, int launches, int rounds, Figures &figures) {
    DesktopSession session;
    if (!session.isReady()) {
        std::fprintf(stderr, "no desktop session: %s\n", session.failure().c_str());
        return false;
    }
    const std::string page = fencedBlocksPage(blocks);
    const std::string sizeName = std::to_string(blocks) + " blocks";
    std::filesystem::create_directories(session.pagesFolder());
    std::ofstream(session.pagesFolder() / "fenced-blocks.md", std::ios::binary) << page;
    for (int launch = 0; launch < launches; ++launch) {
        std::printf("%s (%zu bytes), launch %d\n", sizeName.c_str(), page.size(), launch + 1);
        VeltoProcess velto(session);
        const pid_t pid = velto.process().pid();
        if (!velto.waitForMilestone("launch finished", 300s)) {
            std::fprintf(stderr, "Velto did not finish launching:\n%s\n", velto.output().c_str());
            return false;
        }
        Screen screen(session.display());
        waitUntilQuiet(pid, 600s);
        // The page's few lines of code paint too little dark text for the big pages' test of a painted panel:
        // the panel's window on screen is enough, the pause until the process is quiet does the rest.
        session.tool({"xdotool", "key", "alt+space"});
        if (!velto::testing::waitUntil([&screen] { return screen.panel().has_value(); }, 120s)) {
            std::fprintf(stderr, "the panel never showed\n");
            return false;
        }
        waitUntilQuiet(pid, 600s);
        session.tool({"xdotool", "key", "ctrl+Home"});
        waitUntilQuiet(pid, 600s);
        KeyPresser presser(session.display());
        const std::optional<xcb_keycode_t> letter = presser.keyCodeTyping('q');
        const std::optional<xcb_keycode_t> backspace = presser.keyCodeTyping(backSpaceKeysym);
        const std::optional<Screen::Window> panel = screen.panel();
        if (!letter || !backspace || !panel) {
            std::fprintf(stderr, "no key typing q or Backspace, or no panel\n");
            return false;
        }
        for (int round = 0; round < rounds; ++round) {
            measureKey(presser, *letter, screen, *panel, pid, sizeName + " key on the first fence line", figures);
            measureKey(presser, *backspace, screen, *panel, pid, sizeName + " Backspace after it", figures);
        }
        velto.process().signal(SIGTERM);
        velto.process().waitForExit(300s);
        // The keys and Backspaces cancel out: the next launch starts from the page as generated.
        if (velto::testing::pageFilesText(session.pagesFolder()).find(page) == std::string::npos) {
            std::printf("  the page file no longer holds the page as generated\n");
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    std::vector<int> counts;
    for (int k = 1; k < argc; ++k) {
        counts.push_back(std::max(1, std::atoi(argv[k])));
    }
    if (counts.empty()) {
        counts = {10'000, 20'000};
    }
    if (!DesktopSession::missingPrograms().empty()) {
        std::fprintf(stderr, "needs %s (installed by scripts/setup.sh)\n",
                     DesktopSession::missingPrograms()[0].c_str());
        return 1;
    }
    const int launches = positiveFromEnvironment("VELTO_FENCED_BLOCKS_LAUNCHES", 2);
    const int rounds = positiveFromEnvironment("VELTO_FENCED_BLOCKS_ROUNDS", 5);
    Figures figures;
    for (const int count : counts) {
        if (!measurePage(count, launches, rounds, figures)) {
            return 1;
        }
    }
    figures.report();
    return 0;
}
