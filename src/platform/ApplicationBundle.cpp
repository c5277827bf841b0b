#include "platform/ApplicationBundle.h"

#include <fstream>
#include <sstream>
#include <system_error>

namespace velto::applicationBundle {

namespace {

std::string_view trimmed(std::string_view text) {
    const char *blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

} // namespace

std::map<std::string, std::string> parseInfo(std::string_view infoText) {
    std::map<std::string, std::string> keys;
    while (!infoText.empty()) {
        auto end = infoText.find('\n');
        std::string_view line = trimmed(infoText.substr(0, end));
        infoText = end == std::string_view::npos ? std::string_view{} : infoText.substr(end + 1);
        if (line.empty() || line.front() == '#' || line.front() == ';') {
            continue;
        }
        auto separator = line.find('=');
        if (separator == std::string_view::npos) {
            continue;
        }
        std::string key{trimmed(line.substr(0, separator))};
        if (!key.empty()) {
            keys.emplace(std::move(key), std::string{trimmed(line.substr(separator + 1))});
        }
    }
    return keys;
}

std::filesystem::path bundleFolder(const std::filesystem::path &executable) {
    return executable.parent_path().parent_path();
}

std::optional<std::string> Bundle::value(const std::string &key) const {
    auto found = info.find(key);
    if (found == info.end()) {
        return std::nullopt;
    }
    return found->second;
}

Bundle read(const std::filesystem::path &folder) {
    Bundle bundle;
    bundle.folder = folder;
    std::ifstream file(folder / "Info.ini", std::ios::binary);
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        bundle.info = parseInfo(text.str());
        bundle.hasInfo = true;
    }
    return bundle;
}

const Bundle &current() {
    static const Bundle bundle = [] {
        std::error_code error;
        auto executable = std::filesystem::canonical("/proc/self/exe", error);
        if (error) {
            return Bundle{};
        }
        return read(bundleFolder(executable));
    }();
    return bundle;
}

} // namespace velto::applicationBundle
