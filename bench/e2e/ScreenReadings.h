#pragma once

// The panel as a user sees it, read back from the session's X server, and keys pressed through its XTest
// extension: when the panel's text is painted, and when a typed key's glyph is.

#include "BenchFigures.h"
#include "DesktopSession.h"
#include "ProcessReadings.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velto::bench {

using velto::testing::DesktopSession;
using velto::testing::VeltoProcess;

/// Whether the programs a desktop session needs are installed; names the first one missing when not.
inline bool hasDesktopPrograms() {
    const std::vector<std::string> missing = DesktopSession::missingPrograms();
    if (!missing.empty()) {
        std::fprintf(stderr, "needs %s (installed by scripts/setup.sh)\n", missing.front().c_str());
    }
    return missing.empty();
}

/// The launches a benchmark makes of each case: the environment variable's number, 3 when it is not set.
inline int launchesFrom(const char *variable) {
    const char *value = std::getenv(variable);
    return value != nullptr ? std::max(1, std::atoi(value)) : 3;
}

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

    /// How many pixels of the rectangle are text on the light page, dark or coloured (a page of highlighted code
    /// is mostly coloured): none while less than half of the rectangle is light, as when the window is mapped
    /// but not painted yet and shows black.
    std::size_t textPixels(const Window &window) {
        std::size_t light = 0;
        const std::size_t dark = pixelsWhere(window, [&light](int blue, int green, int red) {
            const int luma = (blue * 11 + green * 59 + red * 30) / 100;
            light += luma > 200 ? 1 : 0;
            return luma < 110 || std::max({blue, green, red}) - std::min({blue, green, red}) > 60;
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

/// Enough text pixels that the page's text, not only the panel's frame, is on screen: a few lines, as many as a
/// panel shows of a page of small code blocks, whose fences are light grey.
constexpr std::size_t paintedTextPixels = 500;

/// Presses the hot key and waits for the panel's text to be painted; answers the milliseconds taken. The screen
/// is watched while xdotool still runs: it waits between the keys it sends and before it exits, tens of
/// milliseconds that are no part of the panel's way to the screen.
inline std::optional<double> hotKeyToPainted(DesktopSession &session, Screen &screen) {
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

/// Launches Velto and presses the hot key as soon as its icon is docked: from the start of the process until the
/// panel's text is painted, in milliseconds, what a user who opens the panel at once waits for; nothing when it
/// never is. The process is ended after.
inline std::optional<double> startToTextPainted(DesktopSession &session, Screen &screen) {
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

inline Difference differenceOf(const std::vector<std::uint32_t> &before, const std::vector<std::uint32_t> &after,
                               int width) {
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
inline std::optional<std::pair<Difference, Clock::time_point>> waitForGlyph(Screen &screen, const Screen::Window &area,
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
inline void measureKeyToGlyph(DesktopSession &session, Screen &screen, pid_t pid, const std::string &sizeName, int keys,
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

inline bool hidePanel(DesktopSession &session, Screen &screen) {
    session.tool({"xdotool", "key", "alt+space"});
    return velto::testing::waitUntil([&] { return !screen.panel().has_value(); }, 60s);
}

} // namespace velto::bench
