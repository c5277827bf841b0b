// Big pages as a user meets them: the built application on its own X server, tray host and session bus (as
// the end-to-end tests run it), with one generated page of 50 KB, 1 MB or 5 MiB (headings, task lists with
// inline code, Python fences, links) as its current page. Everything is measured from outside the process:
//   - start to tray icon: from the start of the process until its icon is in the tray host's panel and painted
//     (pixels read back from the X server);
//   - launch to idle: wall seconds until the process stays quiet, and the processor seconds it spent by then, with
//     the main thread's part (the text going into the editor and its styling; the rest is the library's load);
//     (from /proc/<pid>/stat); the same from the first hot key on, while the shown page is measured, and the two
//     processor times together: what opening the page costs in all;
//   - start to text painted: in a launch of its own, the hot key pressed as soon as the icon is docked, from the
//     start of the process until the panel's text is painted (pixels read back, as for the first hot key);
//   - the first hot key to the panel's text painted, and later hot keys to painted: from the start of the tool
//     that presses the key, pixels read back from the X server (while the tool still runs) until the panel
//     shows dark text on its light page;
//   - processor time per typed key in the middle of the page: keys typed in batches, each batch's
//     processor time divided by its keys, twice: while the keys are typed (until the typing tool exits), and
//     until the process is quiet again, which adds the style pass and the save that follow a pause in typing;
//     with its minor page faults; the time is what the scheduler counts for each thread in nanoseconds
//     (/proc/<pid>/task/<tid>/schedstat), with the main thread's part (keys, styling, painting: the rest is
//     mostly the save on a pool thread) and the figure in clock ticks that /proc/<pid>/stat gives (10 ms a
//     tick, 0.33 ms a key) beside it;
//   - how long after that paint the colours on screen (the code's highlighting) keep changing;
//   - a typed key to its glyph painted, in the middle of the page: from the moment the key goes out to the X
//     server (through its XTest extension, no tool started in between) until the pixels of the caret's line
//     change on screen by more than the caret's blinking;
//   - PSS (from /proc/<pid>/smaps_rollup) after opening the page and after 300 typed characters, with the
//     process's private memory and its anonymous memory beside it: PSS also holds a share of the shared
//     libraries' pages, which moves with how many other processes map them, while private and anonymous
//     memory are what the process itself holds;
//   - the same launch figures for a page of 60 MB of small tagged fences (60MB-fenced), whose code is highlighted.
// Run: velto_bench_e2e_big_pages [sizes...] with sizes among 50KB 1MB 5MiB 60MB 60MB-fenced (the first three by
// default); VELTO_E2E_BUNDLE=<a Release build's Velto.app> names the application (default: this build's), and
// VELTO_BIG_PAGES_LAUNCHES the launches per size (default 3). Lines starting "figure" hold the results.
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
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using namespace velto::bench;
using velto::testing::DesktopSession;
using velto::testing::VeltoProcess;

namespace {

// ---- the generated page ----

/// A page of about `bytes` bytes: sections of a heading, prose with links, a task list with inline code
/// and a Python fence, and one marker line in the middle where the typing happens.
std::string generatedPage(std::size_t bytes) {
    std::string page;
    bool markerWritten = false;
    for (int section = 0; page.size() < bytes; ++section) {
        const std::string n = std::to_string(section);
        page += "## Section " + n + "\n\n";
        page += "Some prose about item " + n + " with a [link to it](https://example.com/items/" + n +
                ") and *emphasis*, **strong words** and a bare address https://example.org/" + n + ".\n\n";
        page += "- [ ] call `handler_" + n + "()` before `close(" + n + ")`\n";
        page += "- [x] check `value_" + n + " == " + n + "` in the log\n";
        page += "- [ ] read [the notes](https://notes.example.com/" + n + ")\n\n";
        page += "```python\ndef compute_" + n +
                "(values):\n    total = 0\n    for value in values:\n"
                "        if value > " +
                n +
                ":\n            total += value * 2  # doubled\n"
                "    return f\"total {total}\"\n```\n\n";
        if (!markerWritten && page.size() >= bytes / 2) {
            page += "Typing happens here: MIDDLEMARK\n\n";
            markerWritten = true;
        }
    }
    return page;
}

/// A page of about `bytes` bytes of small fenced blocks, each of one line of code and tagged with one of eight
/// languages in turn, with the marker line between two blocks in the middle.
std::string fencedBlocksPage(std::size_t bytes) {
    static const char *const languages[] = {"js", "python", "cpp", "rust", "go", "sql", "bash", "xml"};
    std::string page;
    bool markerWritten = false;
    for (int block = 0; page.size() < bytes; ++block) {
        page += std::string("```") + languages[block % 8] + "\nvar a" + std::to_string(block) + " = \"s\"; // c\n```\n";
        if (!markerWritten && page.size() >= bytes / 2) {
            page += "\nTyping happens here: MIDDLEMARK\n\n";
            markerWritten = true;
        }
    }
    return page;
}

/// After the panel's text is painted: how long its colours (the code's highlighting) keep changing, in
/// milliseconds; 0 when they were in place with the text. Changes smaller than a few words (the caret's
/// blinking) do not count; it looks for 3 s after the last change, 20 s at most.
double coloursSettled(Screen &screen) {
    constexpr std::size_t smallestChange = 200;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastChange = start;
    std::size_t last = 0;
    if (const std::optional<Screen::Window> panel = screen.panel()) {
        last = screen.colouredPixels(*panel);
    }
    while (Clock::now() - lastChange < 3s && Clock::now() - start < 20s) {
        std::this_thread::sleep_for(5ms);
        if (const std::optional<Screen::Window> panel = screen.panel()) {
            const std::size_t now = screen.colouredPixels(*panel);
            if (now > last + smallestChange || last > now + smallestChange) {
                last = now;
                lastChange = Clock::now();
            }
        }
    }
    return std::chrono::duration<double, std::milli>(lastChange - start).count();
}

/// From `started` until Velto's icon is in the tray host's panel and painted (more than one shade in it: before
/// its first paint the embedded window shows one colour), in milliseconds; nothing when it never is.
std::optional<double> trayIconPainted(DesktopSession &session, Screen &screen, Clock::time_point started) {
    constexpr int iconSide = 16; // the middle of the icon, whatever size the tray host gives it
    const Clock::time_point deadline = Clock::now() + 120s;
    while (Clock::now() < deadline) {
        if (const std::optional<std::pair<int, int>> centre = session.dockedIconCenter()) {
            const Screen::Window icon{0, centre->first - iconSide / 2, centre->second - iconSide / 2, iconSide,
                                      iconSide};
            int darkest = 255;
            int lightest = 0;
            screen.pixelsWhere(icon, [&](int blue, int green, int red) {
                const int luma = (blue * 11 + green * 59 + red * 30) / 100;
                darkest = std::min(darkest, luma);
                lightest = std::max(lightest, luma);
                return false;
            });
            if (lightest - darkest > 40) {
                return secondsSince(started) * 1000;
            }
        }
        std::this_thread::sleep_for(2ms);
    }
    return std::nullopt;
}

/// The processor seconds the main thread (whose id is the process's) has run since the process started.
double mainThreadSeconds(pid_t pid) {
    const std::map<std::string, std::uint64_t> runTimes = threadRunTimes(pid);
    const auto found = runTimes.find(std::to_string(pid));
    return found == runTimes.end() ? 0 : static_cast<double>(found->second) / 1e9;
}

/// The process's memory at one moment: PSS (the goal's figure), private and anonymous memory.
void addMemoryFigures(Figures &figures, const std::string &sizeName, const std::string &when, pid_t pid) {
    figures.add(sizeName + " PSS " + when + ", MB", pssMegabytes(pid));
    figures.add(sizeName + " private " + when + ", MB", privateMegabytes(pid));
    figures.add(sizeName + " anonymous " + when + ", MB", anonymousMegabytes(pid));
}

/// Puts the caret after the marker in the middle of the page, through the find bar.
void caretToMiddle(DesktopSession &session) {
    session.tool({"xdotool", "key", "ctrl+f"});
    std::this_thread::sleep_for(300ms);
    session.tool({"xdotool", "type", "--delay", "20", "MIDDLEMARK"});
    std::this_thread::sleep_for(300ms);
    session.tool({"xdotool", "key", "Escape"});
    std::this_thread::sleep_for(300ms);
    session.tool({"xdotool", "key", "End"});
}

void measureLaunch(const std::string &sizeName, const std::string &page, int launches, Figures &figures) {
    DesktopSession session;
    if (!session.isReady()) {
        std::fprintf(stderr, "no desktop session: %s\n", session.failure().c_str());
        std::exit(1);
    }
    std::filesystem::create_directories(session.pagesFolder());
    std::ofstream(session.pagesFolder() / "big-page.md", std::ios::binary) << page;
    {
        VeltoProcess first(session); // takes the page into a library
        if (!first.waitForMilestone("launch finished", 300s)) {
            std::fprintf(stderr, "Velto did not finish launching:\n%s\n", first.output().c_str());
            std::exit(1);
        }
        first.process().signal(SIGTERM);
        first.process().waitForExit(300s);
    }
    const bool huge = page.size() > 32u * 1024 * 1024;
    for (int launch = 0; launch < launches; ++launch) {
        std::printf("%s, launch %d\n", sizeName.c_str(), launch + 1);
        Screen screen(session.display());
        if (const std::optional<double> painted = startToTextPainted(session, screen)) {
            figures.add(sizeName + " start to text painted, ms", *painted);
        } else {
            std::printf("  the panel's text was never painted after the launch\n");
        }
        const Clock::time_point started = Clock::now();
        VeltoProcess velto(session);
        const pid_t pid = velto.process().pid();
        if (const std::optional<double> trayIcon = trayIconPainted(session, screen, started)) {
            figures.add(sizeName + " start to tray icon, ms", *trayIcon);
        } else {
            std::printf("  the tray icon was never painted\n");
        }
        const std::optional<Clock::time_point> quiet = waitUntilQuiet(pid, 600s);
        if (!quiet) {
            std::printf("  never idle within 600 s\n");
        } else {
            figures.add(sizeName + " launch to idle, s", std::chrono::duration<double>(*quiet - started).count());
        }
        const double launchProcessorSeconds = processorSeconds(pid);
        figures.add(sizeName + " launch to idle, CPU s", launchProcessorSeconds);
        figures.add(sizeName + " launch to idle, main thread CPU s", mainThreadSeconds(pid));

        const double processorBeforeShow = processorSeconds(pid);
        const Clock::time_point shown = Clock::now();
        if (const std::optional<double> painted = hotKeyToPainted(session, screen)) {
            figures.add(sizeName + " first hot key to painted, ms", *painted);
            figures.add(sizeName + " code coloured after the paint, ms", coloursSettled(screen));
        } else {
            std::printf("  the panel's text was never painted\n");
            continue;
        }
        // The page's paragraphs are measured while idle once it is shown: that work belongs to opening it too.
        if (const std::optional<Clock::time_point> settled = waitUntilQuiet(pid, 600s)) {
            figures.add(sizeName + " first show to idle, s", std::chrono::duration<double>(*settled - shown).count());
        }
        figures.add(sizeName + " first show to idle, CPU s", processorSeconds(pid) - processorBeforeShow);
        // Opening the page in all: launching with it, showing it and measuring what is shown.
        figures.add(sizeName + " launch and first show to idle, CPU s",
                    launchProcessorSeconds + processorSeconds(pid) - processorBeforeShow);
        addMemoryFigures(figures, sizeName, "after opening", pid);
        if (huge) {
            figures.add(sizeName + " resident after opening, MB", residentMegabytes(pid));
        }
        for (int toggle = 0; toggle < 5; ++toggle) {
            hidePanel(session, screen);
            waitUntilQuiet(pid, 60s);
            if (const std::optional<double> painted = hotKeyToPainted(session, screen)) {
                figures.add(sizeName + " later hot key to painted, ms", *painted);
            }
        }
        waitUntilQuiet(pid, 60s);

        caretToMiddle(session);
        waitUntilQuiet(pid, 60s);
        // 300 characters in batches of 30; each batch's processor time is read when the typing ends, and again
        // once the process is quiet (the style pass and the save that follow the keys included).
        constexpr int batches = 10;
        constexpr int keysPerBatch = 30;
        for (int batch = 0; batch < batches; ++batch) {
            const double ticksBefore = processorSeconds(pid);
            ThreadRunTimeWatch watch(pid);
            const double faultsBefore = minorPageFaults(pid);
            const std::string keys =
                std::string("typed words in the middle ").substr(0, keysPerBatch - 4) + std::to_string(1000 + batch);
            velto::testing::ChildProcess typing({"xdotool", "type", "--delay", "40", keys}, session.environment());
            const Clock::time_point typingDeadline = Clock::now() + 60s;
            while (typing.isRunning() && Clock::now() < typingDeadline) {
                watch.read();
                std::this_thread::sleep_for(10ms);
            }
            typing.waitForExit(20s);
            // The last key's paint follows its release within a few milliseconds; the style pass waits for a
            // pause of 50 ms, the save for one of 250 ms: neither is part of the typing itself.
            std::this_thread::sleep_for(20ms);
            watch.read();
            const double whileTyping = watch.processorSeconds();
            const double mainThreadWhileTyping = watch.mainThreadProcessorSeconds();
            waitUntilQuiet(pid, 60s, &watch);
            const double ticksSpent = processorSeconds(pid) - ticksBefore;
            watch.read();
            if (const std::vector<std::string> ended = watch.endedThreads(); !ended.empty()) {
                std::string names;
                for (const std::string &name : ended) {
                    names += (names.empty() ? "" : ", ") + name;
                }
                std::printf("  threads ended during the batch, counted up to their last reading: %s\n", names.c_str());
            }
            figures.add(sizeName + " CPU per typed key while typing, ms", whileTyping * 1000 / keysPerBatch);
            figures.add(sizeName + " CPU per typed key on the main thread while typing, ms",
                        mainThreadWhileTyping * 1000 / keysPerBatch);
            figures.add(sizeName + " CPU per typed key, ms", watch.processorSeconds() * 1000 / keysPerBatch);
            figures.add(sizeName + " CPU per typed key on the main thread, ms",
                        watch.mainThreadProcessorSeconds() * 1000 / keysPerBatch);
            figures.add(sizeName + " CPU per typed key in clock ticks, ms", ticksSpent * 1000 / keysPerBatch);
            figures.add(sizeName + " page faults per typed key", (minorPageFaults(pid) - faultsBefore) / keysPerBatch);
        }
        addMemoryFigures(figures, sizeName, "after 300 typed characters", pid);
        if (huge) {
            figures.add(sizeName + " resident after typing, MB", residentMegabytes(pid));
        }
        measureKeyToGlyph(session, screen, pid, sizeName, 20, figures);
        velto.process().signal(SIGTERM);
        velto.process().waitForExit(300s);
        const std::string saved = velto::testing::pageFilesText(session.pagesFolder());
        if (saved.find("typed words in the middle") == std::string::npos) {
            std::printf("  the typed text did not reach the page file\n");
        }
        // The next launch starts from the page as generated.
        std::ofstream(session.pagesFolder() / "big-page.md", std::ios::binary | std::ios::trunc) << page;
    }
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> sizes;
    for (int k = 1; k < argc; ++k) {
        sizes.emplace_back(argv[k]);
    }
    if (sizes.empty()) {
        sizes = {"50KB", "1MB", "5MiB"};
    }
    const std::map<std::string, std::size_t> bytes{{"50KB", 50'000},
                                                   {"1MB", 1'000'000},
                                                   {"5MiB", 5u * 1024 * 1024},
                                                   {"60MB", 60'000'000},
                                                   {"60MB-fenced", 60'000'000}};
    const int launches = launchesFrom("VELTO_BIG_PAGES_LAUNCHES");
    if (!hasDesktopPrograms()) {
        return 1;
    }
    Figures figures;
    for (const std::string &size : sizes) {
        const auto found = bytes.find(size);
        if (found == bytes.end()) {
            std::fprintf(stderr, "unknown size %s\n", size.c_str());
            return 1;
        }
        const bool fenced = size.ends_with("-fenced");
        measureLaunch(size, fenced ? fencedBlocksPage(found->second) : generatedPage(found->second), launches, figures);
    }
    figures.report();
    return 0;
}
