// Big libraries as a user meets them: the built application on its own X server, tray host and session bus (as
// the end-to-end tests run it), over a library of 10,000 or 30,000 small pages with Velto's front matter, taken
// into the library by a first launch. Everything is measured from outside the process, with `cat` of all the
// page files beside it, from the page cache (warm) and, where this process may drop the caches, from the disk
// (cold):
//   - start to panel painted: the hot key pressed as soon as the tray icon is docked, from the start of the process
//     until the panel's text is painted (pixels read back from the X server); warm, and cold after the caches
//     were dropped;
//   - launch to idle: wall seconds until the process stays quiet, the processor seconds all its threads spent by
//     then and the main thread's part (/proc/<pid>/task/<tid>/schedstat), and how many files in the Pages folder
//     the launch wrote (none, over a library that did not change);
//   - a refresh: one page file rewritten by this program while Velto is idle, then the processor time until Velto
//     is quiet again, the main thread's part, and the files Velto wrote meanwhile.
// Run: velto_bench_e2e_big_libraries [page counts...] (10000 and 30000 by default); VELTO_E2E_BUNDLE=<a Release
// build's Velto.app> names the application (default: this build's), and VELTO_BIG_LIBRARIES_LAUNCHES the
// launches per library (default 3). Lines starting "figure" hold the results.
#include "BenchFigures.h"
#include "DesktopSession.h"
#include "ProcessReadings.h"
#include "ScreenReadings.h"

#include "platform/Uuid.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace velto::bench;
using velto::testing::DesktopSession;
using velto::testing::VeltoProcess;

// ---- the generated library ----

/// A small page of about 1.4 KB: Velto's front matter with a fresh identifier, a heading and a few lines of
/// prose with links and inline code.
std::string generatedPage(int number) {
    std::string page = "---\nvelto:\n  id: " + velto::Uuid::random().uppercaseText() + "\n---\n";
    const std::string n = std::to_string(number);
    page += "# Page " + n + "\n\n";
    for (int line = 0; line < 18; ++line) {
        page += "Some notes about item " + n + " with a [link](https://example.com/" + n + ") and `code`.\n";
    }
    return page;
}

void writePages(const std::filesystem::path &folder, int count) {
    std::filesystem::create_directories(folder);
    for (int number = 0; number < count; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "page-%05d.md", number);
        std::ofstream(folder / name, std::ios::binary) << generatedPage(number);
    }
}

// ---- the page cache and `cat` ----

/// Drops the kernel's page cache, when this process may (as root): the next reads come from the disk.
bool dropCaches() {
    ::sync();
    std::ofstream control("/proc/sys/vm/drop_caches");
    control << "3\n";
    control.flush();
    return control.good();
}

/// Wall milliseconds for `cat` to read every page file of the folder (through find, which hands cat the names in
/// batches that fit the command line).
double catMilliseconds(const DesktopSession &session) {
    const Clock::time_point start = Clock::now();
    velto::testing::runTool(
        {"sh", "-c", "find \"$0\" -name '*.md' -exec cat {} + > /dev/null", session.pagesFolder().string()},
        session.environment(), 600s);
    return secondsSince(start) * 1000;
}

// ---- what Velto writes ----

/// How many files under the folder (the library's own files among them) were written since `since`.
int filesWrittenSince(const std::filesystem::path &folder, std::filesystem::file_time_type since) {
    int written = 0;
    std::error_code error;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) && entry.last_write_time(error) >= since) {
            ++written;
        }
    }
    return written;
}

/// A moment that every file written after it is stamped later than: file times have the file system's grain.
std::filesystem::file_time_type markWrites() {
    std::this_thread::sleep_for(20ms);
    const auto mark = std::filesystem::file_time_type::clock::now();
    std::this_thread::sleep_for(20ms);
    return mark;
}

// ---- the launches ----

void importLibrary(DesktopSession &session) {
    VeltoProcess first(session);
    if (!first.waitForMilestone("launch finished", 1200s)) {
        std::fprintf(stderr, "Velto did not finish launching:\n%s\n", first.output().c_str());
        std::exit(1);
    }
    waitUntilQuiet(first.process().pid(), 1200s);
    first.process().signal(SIGTERM);
    first.process().waitForExit(300s);
}

/// A launch left to become idle, then one page file rewritten by this program as another editor or a sync
/// client would, and the refresh that follows.
void measureLaunchAndRefresh(DesktopSession &session, const std::string &name, int launch, Figures &figures) {
    const auto launchMark = markWrites();
    const Clock::time_point started = Clock::now();
    VeltoProcess velto(session);
    const pid_t pid = velto.process().pid();
    ThreadRunTimeWatch watch(pid);
    const std::optional<Clock::time_point> quiet = waitUntilQuiet(pid, 600s, &watch);
    if (!quiet) {
        std::printf("  never idle within 600 s\n");
        return;
    }
    watch.read();
    figures.add(name + " launch to idle, s", std::chrono::duration<double>(*quiet - started).count());
    figures.add(name + " launch to idle, CPU s", watch.processorSeconds());
    figures.add(name + " launch to idle, main thread CPU s", watch.mainThreadProcessorSeconds());
    figures.add(name + " files written by the launch", filesWrittenSince(session.dataHome(), launchMark));

    const std::filesystem::path changed = velto::testing::pageFiles(session.pagesFolder()).front();
    ThreadRunTimeWatch refresh(pid);
    const auto refreshMark = markWrites();
    std::ofstream(changed, std::ios::binary | std::ios::app) << "A line another program added " << launch << ".\n";
    const auto changedAt = std::filesystem::last_write_time(changed);
    // The folder's events wait out a short latency before the refresh starts: the wait ends once Velto has been
    // quiet for a second after it.
    std::this_thread::sleep_for(500ms);
    waitUntilQuiet(pid, 600s, &refresh);
    refresh.read();
    figures.add(name + " refresh after one changed file, CPU ms", refresh.processorSeconds() * 1000);
    figures.add(name + " refresh after one changed file, main thread CPU ms",
                refresh.mainThreadProcessorSeconds() * 1000);
    const int written = filesWrittenSince(session.dataHome(), refreshMark) -
                        (std::filesystem::last_write_time(changed) == changedAt ? 1 : 0);
    figures.add(name + " files written by the refresh", written);
    velto.process().signal(SIGTERM);
    velto.process().waitForExit(300s);
}

void measureLibrary(int pageCount, int launches, Figures &figures) {
    DesktopSession session;
    if (!session.isReady()) {
        std::fprintf(stderr, "no desktop session: %s\n", session.failure().c_str());
        std::exit(1);
    }
    const std::string name = std::to_string(pageCount) + " pages";
    writePages(session.pagesFolder(), pageCount);
    importLibrary(session);
    const bool canDropCaches = dropCaches();
    if (!canDropCaches) {
        std::printf("  the page cache cannot be dropped here (not root): cold figures left out\n");
    }
    for (int launch = 0; launch < launches; ++launch) {
        std::printf("%s, launch %d\n", name.c_str(), launch + 1);
        catMilliseconds(session); // the files in the page cache
        figures.add(name + " cat of all files warm, ms", catMilliseconds(session));
        Screen screen(session.display());
        if (const std::optional<double> painted = startToTextPainted(session, screen)) {
            figures.add(name + " start to panel painted warm, ms", *painted);
        } else {
            std::printf("  the panel's text was never painted after the launch\n");
        }
        if (canDropCaches) {
            dropCaches();
            figures.add(name + " cat of all files cold, ms", catMilliseconds(session));
            dropCaches();
            if (const std::optional<double> painted = startToTextPainted(session, screen)) {
                figures.add(name + " start to panel painted cold, ms", *painted);
            }
        }
        measureLaunchAndRefresh(session, name, launch, figures);
    }
}

} // namespace

int main(int argc, char **argv) {
    std::vector<int> pageCounts;
    for (int k = 1; k < argc; ++k) {
        pageCounts.push_back(std::atoi(argv[k]));
    }
    if (pageCounts.empty()) {
        pageCounts = {10'000, 30'000};
    }
    const int launches = launchesFrom("VELTO_BIG_LIBRARIES_LAUNCHES");
    if (!hasDesktopPrograms()) {
        return 1;
    }
    Figures figures;
    for (const int pageCount : pageCounts) {
        if (pageCount <= 0) {
            std::fprintf(stderr, "page counts are positive numbers\n");
            return 1;
        }
        measureLibrary(pageCount, launches, figures);
    }
    figures.report();
    return 0;
}
