#include "platform/ApplicationStorage.h"

#include <cstdlib>

namespace velto::applicationStorage {

namespace {

std::string_view environmentValue(const char *name) {
    const char *value = std::getenv(name);
    return value == nullptr ? std::string_view{} : std::string_view{value};
}

} // namespace

std::filesystem::path userDataDirectory(std::string_view xdgDataHome, std::string_view home) {
    // The XDG base-directory rules call a relative XDG_DATA_HOME invalid: it must be ignored.
    std::filesystem::path xdg{xdgDataHome};
    if (!xdgDataHome.empty() && xdg.is_absolute()) {
        return xdg;
    }
    std::filesystem::path homeFolder{home};
    if (home.empty() || !homeFolder.is_absolute()) {
        return {};
    }
    return homeFolder / ".local" / "share";
}

std::filesystem::path userDataDirectory() {
    return userDataDirectory(environmentValue("XDG_DATA_HOME"), environmentValue("HOME"));
}

std::string applicationFolderName(std::string_view bundleFolderName) {
    if (bundleFolderName.empty()) {
        return "Velto";
    }
    return std::string{bundleFolderName};
}

std::filesystem::path defaultPagesFolder(std::string_view bundleFolderName) {
    std::filesystem::path dataDirectory = userDataDirectory();
    if (dataDirectory.empty()) {
        return {};
    }
    return dataDirectory / applicationFolderName(bundleFolderName) / "Pages";
}

} // namespace velto::applicationStorage
