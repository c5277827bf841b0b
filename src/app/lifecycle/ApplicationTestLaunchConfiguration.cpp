#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"

#include "preferences/Preferences.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

extern char **environ;

namespace velto {

ApplicationTestLaunchConfiguration::ApplicationTestLaunchConfiguration(
    const std::vector<std::string> &arguments, const std::map<std::string, std::string> &environment) {
    for (const std::string &argument : arguments) {
        if (argument == smokeArgument) {
            isEnabled = true;
        }
    }
    if (!isEnabled) {
        return;
    }
    if (auto storage = environment.find(storageVariable); storage != environment.end()) {
        documentURL = std::filesystem::path(storage->second);
    }
    if (auto fixture = environment.find(fixtureVariable); fixture != environment.end()) {
        fixtureURL = std::filesystem::path(fixture->second);
    }
}

namespace {

std::filesystem::path makeTemporaryFolder() {
    std::filesystem::path pattern = std::filesystem::temp_directory_path() / "velto-smoke.XXXXXX";
    std::string text = pattern.string();
    if (mkdtemp(text.data()) == nullptr) {
        throw std::filesystem::filesystem_error("Velto couldn’t create a temporary folder for the smoke test.", pattern,
                                                std::error_code(errno, std::generic_category()));
    }
    return text;
}

} // namespace

void ApplicationTestLaunchConfiguration::prepare(const std::optional<std::string> &) {
    if (!isEnabled) {
        return;
    }
    std::filesystem::path scratch = makeTemporaryFolder();
    // The user's own preferences stay untouched: this run keeps its own, which it may also reset.
    privatePreferencesFile = scratch / "Velto.json";
    static std::unique_ptr<PreferencesStore> privateStore;
    privateStore = std::make_unique<PreferencesStore>(
        std::make_unique<DefaultsDomain>(QString::fromStdString(privatePreferencesFile.string())),
        VeltoNotificationCenter::defaultCenter());
    VeltoPreferences::useStorage(privateStore.get());

    if (!documentURL) {
        documentURL = scratch / "Pages";
        std::printf("Velto smoke test: Pages folder %s\n", documentURL->c_str());
        std::fflush(stdout);
    }
    std::filesystem::create_directories(*documentURL);
    std::filesystem::create_directories(*documentURL / ".velto");
    if (!fixtureURL) {
        return;
    }
    std::filesystem::path manifest = *documentURL / ".velto" / "manifest.json";
    if (!std::filesystem::exists(manifest)) {
        std::filesystem::copy_file(*fixtureURL, manifest);
    }
}

std::map<std::string, std::string> processEnvironment() {
    std::map<std::string, std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string text(*entry);
        auto separator = text.find('=');
        if (separator != std::string::npos) {
            environment.emplace(text.substr(0, separator), text.substr(separator + 1));
        }
    }
    return environment;
}

} // namespace velto
