#include "platform/ApplicationStorage.h"

#include "platform/ApplicationBundle.h"

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
    bool singleComponent = !bundleFolderName.empty() && bundleFolderName != "." && bundleFolderName != ".." &&
                           bundleFolderName.find('/') == std::string_view::npos &&
                           bundleFolderName.find('\0') == std::string_view::npos;
    return singleComponent ? std::string{bundleFolderName} : std::string{"Velto"};
}

const std::string &applicationSupportDirectoryName() {
    static const std::string name =
        applicationFolderName(applicationBundle::current().value("VeltoApplicationSupportDirectory").value_or(""));
    return name;
}

std::filesystem::path defaultPagesFolder() {
    return defaultPagesFolder(applicationSupportDirectoryName());
}

std::filesystem::path defaultPagesFolder(std::string_view bundleFolderName) {
    std::filesystem::path dataDirectory = userDataDirectory();
    if (dataDirectory.empty()) {
        return {};
    }
    return dataDirectory / applicationFolderName(bundleFolderName) / "Pages";
}

std::filesystem::path unsavedTextFolder() {
    std::filesystem::path dataDirectory = userDataDirectory();
    if (dataDirectory.empty()) {
        return {};
    }
    return dataDirectory / applicationSupportDirectoryName() / "Unsaved Text";
}

} // namespace velto::applicationStorage
