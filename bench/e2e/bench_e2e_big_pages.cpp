// Big pages as a user meets them: the built application on its own X server, tray host and session bus (as
// the end-to-end tests run it), with one generated page of 50 KB, 1 MB or 5 MiB (headings, task lists with
// inline code, Python fences, links) as its current page. Everything is measured from outside the process:
//   - start to tray icon: from the start of the process until its icon is in the tray host's panel and painted
//     (pixels read back from the X server);
//   - launch to idle: wall seconds until the process stays quiet, and the processor seconds it spent by then
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
//     memory are what the process itself holds.
// Run: velto_bench_e2e_big_pages [sizes...] with sizes among 50KB 1MB 5MiB 60MB (all but 60MB by default);
// VELTO_E2E_BUNDLE=<a Release build's Velto.app> names the application (default: this build's), and
// VELTO_BIG_PAGES_LAUNCHES the launches per size (default 3). Lines starting "figure" hold the results.
#include "DesktopSession.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using velto::testing::DesktopSession;
using velto::testing::VeltoProcess;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

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

// ---- the process, from /proc ----

/// The fields of /proc/<pid>/stat after the command name, numbered as proc(5) numbers them (state is 3).
std::vector<std::string> statFields(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::vector<std::string> fields(3);
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return fields;
    }
    std::istringstream rest(text.substr(close + 2));
    for (std::string field; rest >> field;) {
        fields.push_back(field);
    }
    return fields;
}

double statField(const std::vector<std::string> &fields, std::size_t number) {
    return number < fields.size() ? std::strtod(fields[number].c_str(), nullptr) : 0;
}

/// The processor seconds the process has spent, all its threads together (user and system time).
double processorSeconds(pid_t pid) {
    const std::vector<std::string> fields = statFields(pid);
    return (statField(fields, 14) + statField(fields, 15)) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// How long each thread of the process has run on a processor, in nanoseconds, by thread id: the first field
/// of /proc/<pid>/task/<tid>/schedstat. The scheduler counts it exactly, where /proc/<pid>/stat counts whole
/// clock ticks.
std::map<std::string, std::uint64_t> threadRunTimes(pid_t pid) {
    std::map<std::string, std::uint64_t> runTimes;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream schedstat(task.path() / "schedstat");
        std::uint64_t nanoseconds = 0;
        if (schedstat >> nanoseconds) {
            runTimes[task.path().filename().string()] = nanoseconds;
        }
    }
    return runTimes;
}

std::string threadName(pid_t pid, const std::string &thread) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/task/" + thread + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? thread : name;
}

/// The processor time the process's threads run from its start on, read again and again as it passes: a thread
/// that ends meanwhile takes the time it ran with it, so it counts up to its last reading, which the caller
/// takes at short steps. A thread new since the start counts from zero.
class ThreadRunTimeWatch {
public:
    explicit ThreadRunTimeWatch(pid_t pid)
        : pid_(pid) {
        for (const auto &[thread, runTime] : threadRunTimes(pid)) {
            threads_[thread] = Thread{runTime, runTime, 0, threadName(pid, thread)};
        }
    }

    void read() {
        std::map<std::string, std::uint64_t> now = threadRunTimes(pid_);
        for (auto &[thread, watched] : threads_) {
            watched.running = now.count(thread) != 0;
        }
        for (const auto &[thread, runTime] : now) {
            auto [found, isNew] = threads_.try_emplace(thread, Thread{});
            Thread &watched = found->second;
            if (isNew) {
                watched.name = threadName(pid_, thread);
            } else if (runTime < watched.latest) {
                // Another thread under an ended one's id: the ended one's time is kept, the new one's counts too.
                watched.ended += watched.latest - watched.start;
                watched.start = 0;
            }
            watched.latest = runTime;
        }
    }

    double processorSeconds() const {
        std::uint64_t nanoseconds = 0;
        for (const auto &[thread, watched] : threads_) {
            nanoseconds += watched.ended + watched.latest - watched.start;
        }
        return static_cast<double>(nanoseconds) / 1e9;
    }

    /// The part of processorSeconds() the main thread ran, whose id is the process's.
    double mainThreadProcessorSeconds() const {
        const auto found = threads_.find(std::to_string(pid_));
        if (found == threads_.end()) {
            return 0;
        }
        const Thread &watched = found->second;
        return static_cast<double>(watched.ended + watched.latest - watched.start) / 1e9;
    }

    /// The names of the threads that ended since the start.
    std::vector<std::string> endedThreads() const {
        std::vector<std::string> names;
        for (const auto &[thread, watched] : threads_) {
            if (!watched.running) {
                names.push_back(watched.name);
            }
        }
        return names;
    }

private:
    struct Thread {
        std::uint64_t start = 0;  // at the watch's start; 0 for a thread new since
        std::uint64_t latest = 0; // at the last reading
        std::uint64_t ended = 0;  // of an ended thread whose id another took
        std::string name;
        bool running = true;
    };
    pid_t pid_;
    std::map<std::string, Thread> threads_;
};

/// The page faults the process has taken that needed no reading from disk: each costs the kernel a fresh page,
/// which is how memory given back to the system and taken again shows.
double minorPageFaults(pid_t pid) {
    return statField(statFields(pid), 10);
}

/// A line "Name:  value kB" of a /proc file, in megabytes.
double procMegabytes(pid_t pid, const char *file, const std::string &name) {
    std::ifstream lines("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::strtod(line.c_str() + name.size() + 1, nullptr) / 1024.0;
        }
    }
    return 0;
}

double pssMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Pss");
}

/// The pages only this process maps (its unique set size).
double privateMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Private_Clean") + procMegabytes(pid, "smaps_rollup", "Private_Dirty");
}

/// The pages backed by no file: the heap, thread stacks and other allocations of the process.
double anonymousMegabytes(pid_t pid) {
    return procMegabytes(pid, "smaps_rollup", "Anonymous");
}

double residentMegabytes(pid_t pid) {
    return procMegabytes(pid, "status", "VmRSS");
}

/// Waits until the process has spent less than 1 % of a processor over a whole second. Answers when that
/// quiet second began, or nothing at the time-out. A watch given is read at every step.
std::optional<Clock::time_point> waitUntilQuiet(pid_t pid, std::chrono::seconds timeout,
                                                ThreadRunTimeWatch *watch = nullptr) {
    constexpr auto window = 1000ms;
    constexpr auto step = 100ms;
    const Clock::time_point deadline = Clock::now() + timeout;
    std::vector<std::pair<Clock::time_point, double>> readings;
    while (Clock::now() < deadline) {
        if (watch != nullptr) {
            watch->read();
        }
        readings.emplace_back(Clock::now(), processorSeconds(pid));
        const auto &latest = readings.back();
        for (const auto &earlier : readings) {
            if (latest.first - earlier.first < window) {
                break;
            }
            if (latest.first - earlier.first < window + step && latest.second - earlier.second < 0.01) {
                return earlier.first;
            }
        }
        std::this_thread::sleep_for(step);
    }
    return std::nullopt;
}

// ---- the panel on screen, from the X server ----

/// Reads the screen of the session's X server.
class Screen {
public:
    explicit Screen(const std::string &display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~Screen() { xcb_disconnect(connection_); }
    Screen(const Screen &) = delete;
    Screen &operator=(const Screen &) = delete;

    /// The viewable top-level windows wider than `minimumWidth`, with their screen rectangles.
    struct Window {
        xcb_window_t id = 0;
        int x = 0, y = 0, width = 0, height = 0;
    };
    std::vector<Window> wideViewableWindows(int minimumWidth) {
        std::vector<Window> found;
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr);
        if (tree == nullptr) {
            return found;
        }
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int k = 0; k < xcb_query_tree_children_length(tree); ++k) {
            auto *attributes = xcb_get_window_attributes_reply(
                connection_, xcb_get_window_attributes(connection_, children[k]), nullptr);
            auto *geometry = xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, children[k]), nullptr);
            if (attributes != nullptr && geometry != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                !attributes->override_redirect && geometry->width > minimumWidth && geometry->height > 150) {
                found.push_back(Window{children[k], geometry->x, geometry->y, geometry->width, geometry->height});
            }
            std::free(attributes);
            std::free(geometry);
        }
        std::free(tree);
        return found;
    }

    /// How many pixels of the window's rectangle on screen pass `counts`, which gets each pixel's blue, green and
    /// red (24-bit depth: blue, green, red, pad).
    template <typename Predicate> std::size_t pixelsWhere(const Window &window, Predicate counts) {
        std::size_t counted = 0;
        for (const std::uint32_t pixel : pixels(window)) {
            counted += counts(static_cast<int>(pixel & 0xffu), static_cast<int>(pixel >> 8 & 0xffu),
                              static_cast<int>(pixel >> 16 & 0xffu))
                           ? 1
                           : 0;
        }
        return counted;
    }

    /// The rectangle's pixels as the X server holds them now (blue, green, red and a pad byte each); empty when
    /// they cannot be read.
    std::vector<std::uint32_t> pixels(const Window &window) {
        std::vector<std::uint32_t> read;
        auto *image = xcb_get_image_reply(
            connection_,
            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<std::int16_t>(window.x),
                          static_cast<std::int16_t>(window.y), static_cast<std::uint16_t>(window.width),
                          static_cast<std::uint16_t>(window.height), ~0u),
            nullptr);
        if (image == nullptr) {
            return read;
        }
        const std::uint8_t *data = xcb_get_image_data(image);
        read.resize(static_cast<std::size_t>(xcb_get_image_data_length(image)) / 4);
        for (std::size_t k = 0; k < read.size(); ++k) {
            read[k] = (data[4 * k] | data[4 * k + 1] << 8 | data[4 * k + 2] << 16) & 0xffffffu;
        }
        std::free(image);
        return read;
    }

    /// How many pixels of the rectangle are dark text on the light page: none while less than half of the
    /// rectangle is light, as when the window is mapped but not painted yet and shows black.
    std::size_t textPixels(const Window &window) {
        std::size_t light = 0;
        const std::size_t dark = pixelsWhere(window, [&light](int blue, int green, int red) {
            const int luma = (blue * 11 + green * 59 + red * 30) / 100;
            light += luma > 200 ? 1 : 0;
            return luma < 110;
        });
        const std::size_t all = static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height);
        return light * 2 >= all ? dark : 0;
    }

    /// How many pixels of the rectangle are coloured (hue well away from grey): highlighted code, links.
    std::size_t colouredPixels(const Window &window) {
        return pixelsWhere(window, [](int blue, int green, int red) {
            return std::max({blue, green, red}) - std::min({blue, green, red}) > 60;
        });
    }

    /// The panel: the widest viewable window that is not the tray host's bar (which is short).
    std::optional<Window> panel() {
        std::vector<Window> windows = wideViewableWindows(300);
        if (windows.empty()) {
            return std::nullopt;
        }
        return windows.front();
    }

private:
    xcb_connection_t *connection_;
    xcb_window_t root_ = 0;
};

/// Enough dark pixels that the page's text, not only the panel's frame, is on screen.
constexpr std::size_t paintedTextPixels = 1500;

/// Presses the hot key and waits for the panel's text to be painted; answers the milliseconds taken. The screen
/// is watched while xdotool still runs: it waits between the keys it sends and before it exits, tens of
/// milliseconds that are no part of the panel's way to the screen.
std::optional<double> hotKeyToPainted(DesktopSession &session, Screen &screen) {
    const velto::testing::Environment environment = session.environment();
    const Clock::time_point start = Clock::now();
    velto::testing::ChildProcess key({"xdotool", "key", "alt+space"}, environment);
    const Clock::time_point deadline = start + 120s;
    while (Clock::now() < deadline) {
        if (const std::optional<Screen::Window> panel = screen.panel()) {
            if (screen.textPixels(*panel) >= paintedTextPixels) {
                const double milliseconds = secondsSince(start) * 1000;
                return key.waitForExit(20s) == 0 ? std::optional<double>(milliseconds) : std::nullopt;
            }
        }
        if (!key.isRunning() && key.waitForExit(0ms) != 0) {
            return std::nullopt; // the key never went out
        }
        std::this_thread::sleep_for(1ms);
    }
    return std::nullopt;
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

/// Launches Velto and presses the hot key as soon as its icon is docked: from the start of the process until the
/// panel's text is painted, in milliseconds, what a user who opens the panel at once waits for; nothing when it
/// never is. The process is ended after.
std::optional<double> startToTextPainted(DesktopSession &session, Screen &screen) {
    const Clock::time_point started = Clock::now();
    VeltoProcess velto(session);
    std::optional<double> painted;
    if (velto::testing::waitUntil([&] { return session.hasDockedIcon(); }, 120s, 2ms)) {
        if (hotKeyToPainted(session, screen)) {
            painted = secondsSince(started) * 1000;
        }
    }
    velto.process().signal(SIGTERM);
    velto.process().waitForExit(300s);
    return painted;
}

// ---- figures ----

struct Figure {
    std::string name;
    std::vector<double> samples;
};

class Figures {
public:
    void add(const std::string &name, double value) {
        auto found = std::find_if(figures_.begin(), figures_.end(), [&](const Figure &f) { return f.name == name; });
        if (found == figures_.end()) {
            figures_.push_back(Figure{name, {}});
            found = figures_.end() - 1;
        }
        found->samples.push_back(value);
        std::printf("  %-52s %10.2f\n", name.c_str(), value);
        std::fflush(stdout);
    }
    void report() const {
        for (Figure figure : figures_) {
            std::sort(figure.samples.begin(), figure.samples.end());
            std::printf("figure %-52s median %10.2f  worst %10.2f  (%zu runs)\n", figure.name.c_str(),
                        figure.samples[figure.samples.size() / 2], figure.samples.back(), figure.samples.size());
        }
    }

private:
    std::vector<Figure> figures_;
};

// ---- a typed key to its glyph on screen ----

/// Presses keys through the XTest extension of the session's X server.
class KeyPresser {
public:
    explicit KeyPresser(const std::string &display)
        : connection_(xcb_connect(display.c_str(), nullptr)) {}
    ~KeyPresser() { xcb_disconnect(connection_); }
    KeyPresser(const KeyPresser &) = delete;
    KeyPresser &operator=(const KeyPresser &) = delete;

    /// The key that types `keysym` without Shift in the server's keyboard mapping.
    std::optional<xcb_keycode_t> keyCodeTyping(xcb_keysym_t keysym) {
        const xcb_setup_t *setup = xcb_get_setup(connection_);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        auto *mapping = xcb_get_keyboard_mapping_reply(
            connection_, xcb_get_keyboard_mapping(connection_, setup->min_keycode, static_cast<std::uint8_t>(count)),
            nullptr);
        if (mapping == nullptr) {
            return std::nullopt;
        }
        std::optional<xcb_keycode_t> found;
        const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping);
        for (int key = 0; key < count && !found; ++key) {
            if (keysyms[key * mapping->keysyms_per_keycode] == keysym) {
                found = static_cast<xcb_keycode_t>(setup->min_keycode + key);
            }
        }
        std::free(mapping);
        return found;
    }

    /// Presses and releases the key; answers the moment the press went out to the server.
    Clock::time_point press(xcb_keycode_t key) {
        xcb_test_fake_input(connection_, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(connection_, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        const Clock::time_point sent = Clock::now();
        xcb_flush(connection_);
        return sent;
    }

private:
    xcb_connection_t *connection_;
};

/// Where pixels of two readings of one rectangle differ: the rows and columns they span.
struct Difference {
    int top = -1, bottom = -1, left = -1, right = -1;
    bool isEmpty() const { return top < 0; }
    int width() const { return isEmpty() ? 0 : right - left + 1; }
};

Difference differenceOf(const std::vector<std::uint32_t> &before, const std::vector<std::uint32_t> &after, int width) {
    Difference difference;
    if (before.size() != after.size() || width <= 0) {
        return difference;
    }
    for (std::size_t k = 0; k < before.size(); ++k) {
        if (before[k] == after[k]) {
            continue;
        }
        const int row = static_cast<int>(k) / width;
        const int column = static_cast<int>(k) % width;
        if (difference.isEmpty()) {
            difference = Difference{row, row, column, column};
        }
        difference.bottom = std::max(difference.bottom, row);
        difference.left = std::min(difference.left, column);
        difference.right = std::max(difference.right, column);
    }
    return difference;
}

/// Wider than the caret, whose blinking changes a column or two: a glyph was painted (and the caret moved).
constexpr int glyphWidth = 4;

/// Waits until the rectangle differs from `before` by a glyph; answers the difference and when it was seen.
std::optional<std::pair<Difference, Clock::time_point>> waitForGlyph(Screen &screen, const Screen::Window &area,
                                                                     const std::vector<std::uint32_t> &before,
                                                                     std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
        const Difference difference = differenceOf(before, screen.pixels(area), area.width);
        if (difference.width() > glyphWidth) {
            return std::make_pair(difference, Clock::now());
        }
        std::this_thread::sleep_for(100us);
    }
    return std::nullopt;
}

/// Types `keys` single keys into the shown panel, a quarter of a second apart as a steady typist does, and adds
/// the milliseconds from each key's press going out to its glyph on screen. The caret's line is found first by
/// one key, with the whole panel watched; the keys measured then watch only a band around that line, which the
/// server reads back in a fraction of a millisecond.
void measureKeyToGlyph(DesktopSession &session, Screen &screen, pid_t pid, const std::string &sizeName, int keys,
                       Figures &figures) {
    KeyPresser presser(session.display());
    const std::optional<xcb_keycode_t> key = presser.keyCodeTyping('x');
    const std::optional<Screen::Window> panel = screen.panel();
    if (!key || !panel) {
        std::printf("  no key typing x, or no panel: key to glyph not measured\n");
        return;
    }
    waitUntilQuiet(pid, 60s);
    const std::vector<std::uint32_t> wholeBefore = screen.pixels(*panel);
    presser.press(*key);
    const auto found = waitForGlyph(screen, *panel, wholeBefore, 10s);
    if (!found) {
        std::printf("  the typed key never showed: key to glyph not measured\n");
        return;
    }
    constexpr int margin = 6;
    const int top = std::max(0, found->first.top - margin);
    const int bottom = std::min(panel->height - 1, found->first.bottom + margin);
    const Screen::Window line{0, panel->x, panel->y + top, panel->width, bottom - top + 1};
    waitUntilQuiet(pid, 60s);
    for (int typed = 0; typed < keys; ++typed) {
        std::this_thread::sleep_for(250ms);
        const std::vector<std::uint32_t> before = screen.pixels(line);
        const Clock::time_point sent = presser.press(*key);
        if (const auto painted = waitForGlyph(screen, line, before, 5s)) {
            figures.add(sizeName + " key to glyph painted, ms",
                        std::chrono::duration<double, std::milli>(painted->second - sent).count());
        } else {
            std::printf("  a typed key did not show within 5 s\n");
        }
    }
}

bool hidePanel(DesktopSession &session, Screen &screen) {
    session.tool({"xdotool", "key", "alt+space"});
    return velto::testing::waitUntil([&] { return !screen.panel().has_value(); }, 60s);
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
    const std::map<std::string, std::size_t> bytes{
        {"50KB", 50'000}, {"1MB", 1'000'000}, {"5MiB", 5u * 1024 * 1024}, {"60MB", 60'000'000}};
    const char *launchesVariable = std::getenv("VELTO_BIG_PAGES_LAUNCHES");
    const int launches = launchesVariable != nullptr ? std::max(1, std::atoi(launchesVariable)) : 3;
    if (!DesktopSession::missingPrograms().empty()) {
        std::fprintf(stderr, "needs %s (installed by scripts/setup.sh)\n",
                     DesktopSession::missingPrograms()[0].c_str());
        return 1;
    }
    Figures figures;
    for (const std::string &size : sizes) {
        const auto found = bytes.find(size);
        if (found == bytes.end()) {
            std::fprintf(stderr, "unknown size %s\n", size.c_str());
            return 1;
        }
        measureLaunch(size, generatedPage(found->second), launches, figures);
    }
    figures.report();
    return 0;
}
