#include "DesktopSession.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace velto::testing {

namespace {

constexpr std::chrono::milliseconds startTimeout{30'000};

std::filesystem::path makeRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velto-desktop.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

std::string variable(const char *name, const char *fallback) {
    const char *value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

} // namespace

std::vector<std::string> DesktopSession::missingPrograms() {
    std::vector<std::string> missing;
    for (const char *program : {"Xvfb", "xdotool", "xclip", "xwininfo", "xprop", "trayer", "dbus-daemon"}) {
        if (!hasProgram(program)) {
            missing.emplace_back(program);
        }
    }
    return missing;
}

DesktopSession::DesktopSession()
    : root_(makeRoot()) {
    if (root_.empty()) {
        failure_ = "no temporary folder";
        return;
    }
    for (const char *folder : {"home", "config", "data", "cache", "state", "runtime"}) {
        std::filesystem::create_directories(root_ / folder);
    }
    std::filesystem::permissions(root_ / "runtime", std::filesystem::perms::owner_all);

    Environment base{{"PATH", variable("PATH", "/usr/bin:/bin")}, {"HOME", home().string()}};
    xServer_ = std::make_unique<PrivateXServer>(base, std::vector<std::string>{"-screen", "0", "1280x800x24"},
                                                (root_ / "xvfb.log").string());
    if (!xServer_->isReady()) {
        failure_ = xServer_->failure();
        return;
    }

    bus_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=3"}, base,
        (root_ / "dbus.log").string(), true);
    auto address = bus_->readReport(startTimeout);
    if (!address) {
        failure_ = "the session bus did not start";
        return;
    }
    busAddress_ = *address;

    // A tray host that dies while the machine is busy is started again.
    bool trayUp = false;
    for (int attempt = 0; attempt < 3 && !trayUp; ++attempt) {
        trayHost_ =
            std::make_unique<ChildProcess>(std::vector<std::string>{"trayer", "--edge", "top", "--align", "right",
                                                                    "--widthtype", "request", "--height", "24"},
                                           environment(), (root_ / "trayer.log").string());
        trayUp = waitUntil(
            [this] {
                return windowTree().find("(\"panel\" \"trayer\")") != std::string::npos || !trayHost_->isRunning();
            },
            startTimeout, std::chrono::milliseconds(20));
        trayUp = trayUp && trayHost_->isRunning();
    }
    if (!trayUp) {
        failure_ = "the tray host did not start: " + readWholeFile((root_ / "trayer.log").string());
        return;
    }
    // Launches go straight to the tray, as a returning user's do; the Welcome's own tests forget the answer.
    std::filesystem::create_directories(preferencesFile().parent_path());
    std::ofstream(preferencesFile()) << "{\n    \"hasCompletedWelcome\": true\n}\n";
    ready_ = true;
}

void DesktopSession::forgetWelcome() {
    std::filesystem::remove(preferencesFile());
}

DesktopSession::~DesktopSession() {
    trayHost_.reset();
    bus_.reset();
    xServer_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

const std::string &DesktopSession::display() const {
    static const std::string none;
    return xServer_ != nullptr ? xServer_->display() : none;
}

Environment DesktopSession::environment() const {
    Environment environment{
        {"PATH", variable("PATH", "/usr/bin:/bin")},
        {"LANG", "C.UTF-8"},
        {"DISPLAY", display()},
        {"DBUS_SESSION_BUS_ADDRESS", busAddress_},
        {"HOME", home().string()},
        {"XDG_CONFIG_HOME", configHome().string()},
        {"XDG_DATA_HOME", dataHome().string()},
        {"XDG_CACHE_HOME", (root_ / "cache").string()},
        {"XDG_STATE_HOME", (root_ / "state").string()},
        {"XDG_RUNTIME_DIR", (root_ / "runtime").string()},
        {"TMPDIR", root_.string()},
    };
    // The sanitizers' reports stay on; leaks of the toolkit's and the font library's caches are not ours.
    environment["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=1";
    environment["UBSAN_OPTIONS"] = variable("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
    return environment;
}

ToolResult DesktopSession::tool(const std::vector<std::string> &arguments, std::chrono::milliseconds timeout) const {
    return runTool(arguments, environment(), timeout);
}

bool DesktopSession::setClipboard(const std::string &text) {
    return xServer_->offerSelection("clipboard", "", text);
}

std::string DesktopSession::clipboard() const {
    return xServer_->selectionText("clipboard");
}

std::string DesktopSession::windowTree() const {
    return tool({"xwininfo", "-root", "-tree"}).output;
}

std::optional<std::pair<int, int>> DesktopSession::dockedIconCenter() const {
    std::istringstream lines(windowTree());
    std::string line;
    std::optional<std::size_t> panelIndent;
    while (std::getline(lines, line)) {
        std::size_t indent = line.find_first_not_of(' ');
        if (line.find("(\"panel\" \"trayer\")") != std::string::npos) {
            panelIndent = indent;
            continue;
        }
        if (panelIndent && indent != std::string::npos && indent <= *panelIndent &&
            line.find("0x") != std::string::npos) {
            panelIndent.reset(); // left the tray host's subtree
        }
        if (!panelIndent || line.find("(\"velto\" \"Velto\")") == std::string::npos) {
            continue;
        }
        // "... 22x22+0+0  +1257+1": the size, then the absolute position after the two spaces.
        int width = 0, height = 0, relativeX = 0, relativeY = 0, x = 0, y = 0;
        auto geometry = line.find(')') + 1;
        if (std::sscanf(line.c_str() + geometry, " %dx%d+%d+%d +%d+%d", &width, &height, &relativeX, &relativeY, &x,
                        &y) == 6) {
            return std::make_pair(x + width / 2, y + height / 2);
        }
    }
    return std::nullopt;
}

namespace {

bool isWelcomeWindow(const DesktopSession &session, const std::string &window) {
    return session.tool({"xprop", "-id", window, "WM_WINDOW_ROLE"}).output.find("\"welcome\"") != std::string::npos;
}

} // namespace

std::optional<std::string> DesktopSession::visibleWelcomeWindow() const {
    std::istringstream windows(tool({"xdotool", "search", "--onlyvisible", "--class", "velto"}).output);
    std::string window;
    while (std::getline(windows, window)) {
        if (isWelcomeWindow(*this, window)) {
            return window;
        }
    }
    return std::nullopt;
}

std::optional<std::string> DesktopSession::visiblePanelWindow() const {
    std::vector<std::string> windows = visibleWindows();
    if (windows.empty()) {
        return std::nullopt;
    }
    return windows.front();
}

std::vector<std::string> DesktopSession::visibleWindows() const {
    std::vector<std::string> wide;
    std::istringstream windows(tool({"xdotool", "search", "--onlyvisible", "--class", "velto"}).output);
    std::string window;
    while (std::getline(windows, window)) {
        if (isWelcomeWindow(*this, window)) {
            continue;
        }
        std::string geometry = tool({"xdotool", "getwindowgeometry", window}).output;
        auto size = geometry.find("Geometry: ");
        if (size == std::string::npos) {
            continue;
        }
        int width = std::atoi(geometry.c_str() + size + 10);
        if (width > 100) {
            wide.push_back(window);
        }
    }
    return wide;
}

std::optional<std::string> DesktopSession::focusedWindow() const {
    ToolResult result = tool({"xdotool", "getwindowfocus"});
    if (result.exitStatus != 0) {
        return std::nullopt;
    }
    std::string window = result.output;
    while (!window.empty() && (window.back() == '\n' || window.back() == ' ')) {
        window.pop_back();
    }
    return window;
}

bool DesktopSession::giveFocusByClicking(const std::string &window) const {
    if (tool({"xdotool", "mousemove", "--window", window, "8", "8", "click", "1"}).exitStatus != 0) {
        return false;
    }
    return waitUntil([&] { return focusedWindow() == window; }, std::chrono::seconds(30));
}

std::optional<std::string> DesktopSession::openTrayMenu(std::chrono::milliseconds timeout) const {
    std::optional<std::pair<int, int>> icon;
    if (!waitUntil([&] { return (icon = dockedIconCenter()).has_value(); }, timeout)) {
        return std::nullopt;
    }
    const auto x = std::to_string(icon->first);
    const auto y = std::to_string(icon->second);
    if (tool({"xdotool", "mousemove", x, y, "click", "3"}).exitStatus != 0) {
        return std::nullopt;
    }
    std::optional<std::string> menu;
    waitUntil(
        [&] {
            const std::vector<std::string> windows = visibleWindows();
            menu = windows.empty() ? std::nullopt : std::optional(windows.front());
            return menu.has_value();
        },
        timeout);
    return menu;
}

VeltoProcess::VeltoProcess(const DesktopSession &session, const std::vector<std::string> &arguments,
                           const std::vector<std::string> &launcher) {
    static std::atomic<int> counter{0};
    outputFile_ = session.root() / ("velto-" + std::to_string(counter++) + ".log");
    std::vector<std::string> command = launcher;
    command.push_back(executable().string());
    command.insert(command.end(), arguments.begin(), arguments.end());
    Environment environment = session.environment();
    environment["VELTO_TRACE_LAUNCH"] = "1";
    process_ = std::make_unique<ChildProcess>(command, environment, outputFile_.string());
}

std::filesystem::path VeltoProcess::executable() {
    const char *bundle = std::getenv("VELTO_E2E_BUNDLE"); // another build's Velto.app, for measurements
    return std::filesystem::path(bundle != nullptr ? bundle : VELTO_BUNDLE_DIR) / "bin" / "velto";
}

std::string VeltoProcess::output() const {
    return readWholeFile(outputFile_.string());
}

bool VeltoProcess::waitForMilestone(const std::string &name, std::chrono::milliseconds timeout) {
    return waitUntil([this, &name] { return milestoneTime(name).has_value(); }, timeout);
}

std::optional<double> VeltoProcess::milestoneTime(const std::string &name, bool sinceBoot) const {
    std::istringstream lines(output());
    std::string line;
    const std::string prefix = "velto-trace ";
    while (std::getline(lines, line)) {
        if (line.rfind(prefix, 0) != 0) {
            continue;
        }
        auto first = line.find(' ', prefix.size());
        auto second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second != std::string::npos && line.substr(second + 1) == name) {
            return std::strtod(line.c_str() + (sinceBoot ? first + 1 : prefix.size()), nullptr);
        }
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> pageFiles(const std::filesystem::path &pagesFolder) {
    std::vector<std::filesystem::path> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(pagesFolder, error)) {
        if (entry.path().extension() == ".md") {
            files.push_back(entry.path());
        }
    }
    return files;
}

std::string pageFilesText(const std::filesystem::path &pagesFolder) {
    std::string text;
    for (const std::filesystem::path &file : pageFiles(pagesFolder)) {
        text += readWholeFile(file.string());
    }
    return text;
}

} // namespace velto::testing

namespace velto::testing {

std::vector<double> VeltoProcess::milestoneTimes(const std::string &name) const {
    std::vector<double> times;
    std::istringstream lines(output());
    std::string line;
    const std::string prefix = "velto-trace ";
    while (std::getline(lines, line)) {
        auto first = line.rfind(prefix, 0) == 0 ? line.find(' ', prefix.size()) : std::string::npos;
        auto second = first == std::string::npos ? first : line.find(' ', first + 1);
        if (second != std::string::npos && line.substr(second + 1) == name) {
            times.push_back(std::strtod(line.c_str() + first + 1, nullptr));
        }
    }
    return times;
}

double bootClockMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

} // namespace velto::testing
