#include "app/lifecycle/LaunchAtLogin.h"

#include "platform/FileSystem.h"
#include "platform/desktop/FileManagerReveal.h"

#include <QtCore/QCoreApplication>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace velto::launchAtLogin {

namespace {

std::optional<std::filesystem::path> configurationFolder() {
    const char *configured = std::getenv("XDG_CONFIG_HOME");
    if (configured != nullptr && std::filesystem::path(configured).is_absolute()) {
        return std::filesystem::path(configured);
    }
    const char *home = std::getenv("HOME");
    if (home != nullptr && std::filesystem::path(home).is_absolute()) {
        return std::filesystem::path(home) / ".config";
    }
    return std::nullopt;
}

/// Undoes the escapes of a desktop entry's string values ("\\s", "\\n", "\\t", "\\r", "\\\\").
std::string unescapedString(const std::string &value) {
    std::string result;
    for (std::size_t index = 0; index < value.size(); ++index) {
        if (value[index] != '\\' || index + 1 == value.size()) {
            result += value[index];
            continue;
        }
        char next = value[++index];
        switch (next) {
        case 's':
            result += ' ';
            break;
        case 'n':
            result += '\n';
            break;
        case 't':
            result += '\t';
            break;
        case 'r':
            result += '\r';
            break;
        default:
            result += next;
            break;
        }
    }
    return result;
}

/// The keys of the entry's "[Desktop Entry]" group.
std::vector<std::pair<std::string, std::string>> desktopEntryKeys(const std::filesystem::path &file) {
    std::vector<std::pair<std::string, std::string>> keys;
    std::ifstream stream(file);
    std::string line;
    bool inGroup = false;
    while (std::getline(stream, line)) {
        if (line.starts_with('[')) {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        std::size_t equals = line.find('=');
        if (!inGroup || line.starts_with('#') || equals == std::string::npos) {
            continue;
        }
        auto trimmed = [](std::string text) {
            while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
                text.pop_back();
            }
            std::size_t start = text.find_first_not_of(" \t");
            return start == std::string::npos ? std::string() : text.substr(start);
        };
        keys.emplace_back(trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)));
    }
    return keys;
}

bool isSameFile(const std::filesystem::path &a, const std::filesystem::path &b) {
    std::error_code error;
    bool same = std::filesystem::equivalent(a, b, error);
    return !error && same;
}

} // namespace

std::optional<std::filesystem::path> autostartEntryFile() {
    std::optional<std::filesystem::path> folder = configurationFolder();
    if (!folder) {
        return std::nullopt;
    }
    return *folder / "autostart" / entryFileName;
}

std::string execValue(const std::filesystem::path &executable) {
    const std::string path = executable.string();
    const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
    if (path.find_first_of(reserved) == std::string::npos) {
        return path;
    }
    // Quoted: '"', '`', '$' and '\' take a backslash, and every backslash is doubled again for the string value.
    std::string quoted = "\"";
    for (char character : path) {
        if (character == '"' || character == '`' || character == '$') {
            quoted += "\\\\";
        } else if (character == '\\') {
            quoted += "\\\\\\";
        }
        quoted += character;
    }
    return quoted + "\"";
}

std::optional<std::filesystem::path> execProgram(const std::string &value) {
    std::string command = unescapedString(value);
    if (command.empty()) {
        return std::nullopt;
    }
    if (command.front() != '"') {
        return std::filesystem::path(command.substr(0, command.find_first_of(" \t")));
    }
    std::string program;
    for (std::size_t index = 1; index < command.size(); ++index) {
        char character = command[index];
        if (character == '"') {
            return std::filesystem::path(program);
        }
        if (character == '\\' && index + 1 < command.size()) {
            character = command[++index];
        }
        program += character;
    }
    return std::nullopt; // no closing quote
}

LaunchAtLoginStatus status(const std::optional<std::filesystem::path> &entryFile,
                           const std::filesystem::path &executable) {
    if (!entryFile) {
        return LaunchAtLoginStatus::unavailable;
    }
    std::error_code error;
    std::filesystem::path configuration = entryFile->parent_path().parent_path();
    if (std::filesystem::exists(configuration, error) && !std::filesystem::is_directory(configuration, error)) {
        return LaunchAtLoginStatus::unavailable;
    }
    if (!std::filesystem::is_regular_file(*entryFile, error)) {
        return LaunchAtLoginStatus::disabled;
    }
    std::optional<std::filesystem::path> program;
    for (const auto &[key, value] : desktopEntryKeys(*entryFile)) {
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return LaunchAtLoginStatus::disabled;
        }
        if (key == "Exec") {
            program = execProgram(value);
        }
    }
    // An entry of a program that moved or was removed starts nothing: turning it on writes it again.
    return program && isSameFile(*program, executable) ? LaunchAtLoginStatus::enabled : LaunchAtLoginStatus::disabled;
}

void registerEntry(const std::filesystem::path &entryFile, const std::filesystem::path &executable) {
    std::ostringstream entry;
    entry << "[Desktop Entry]\n"
          << "Type=Application\n"
          << "Name=Velto\n"
          << "Exec=" << execValue(executable) << "\n"
          << "Icon=app.velto.Velto\n"
          << "Terminal=false\n"
          << "X-GNOME-Autostart-enabled=true\n";
    try {
        FileSystem &files = defaultFileSystem();
        files.createDirectories(entryFile.parent_path());
        files.writeAtomically(entryFile, entry.str());
    } catch (const std::exception &error) {
        throw std::runtime_error("Velto couldn’t write its startup entry “" + entryFile.string() + "”. " +
                                 error.what());
    }
}

void unregisterEntry(const std::filesystem::path &entryFile) {
    std::error_code error;
    std::filesystem::remove(entryFile, error);
    if (error) {
        throw std::runtime_error("Velto couldn’t remove its startup entry “" + entryFile.string() + "”. " +
                                 error.message() + ".");
    }
}

LaunchAtLoginService live() {
    auto executable = [] { return std::filesystem::path(QCoreApplication::applicationFilePath().toStdString()); };
    auto unavailable = [] { return std::runtime_error("There is no configuration folder for startup applications."); };
    LaunchAtLoginService service;
    service.currentStatus = [executable] { return status(autostartEntryFile(), executable()); };
    service.registerService = [executable, unavailable] {
        std::optional<std::filesystem::path> entry = autostartEntryFile();
        if (!entry) {
            throw unavailable();
        }
        registerEntry(*entry, executable());
    };
    service.unregisterService = [unavailable] {
        std::optional<std::filesystem::path> entry = autostartEntryFile();
        if (!entry) {
            throw unavailable();
        }
        unregisterEntry(*entry);
    };
    service.openSystemSettings = [] {
        if (std::optional<std::filesystem::path> entry = autostartEntryFile()) {
            std::error_code error;
            std::filesystem::create_directories(entry->parent_path(), error);
            fileManager::openFolder(entry->parent_path());
        }
    };
    return service;
}

LaunchAtLoginStatus applyWantedState(const LaunchAtLoginService &service, bool wanted) {
    LaunchAtLoginStatus current = service.currentStatus();
    bool registered = current == LaunchAtLoginStatus::enabled || current == LaunchAtLoginStatus::requiresApproval;
    if (wanted && !registered) {
        service.registerService();
    } else if (!wanted && registered) {
        service.unregisterService();
    }
    return service.currentStatus();
}

} // namespace velto::launchAtLogin
