#pragma once

#include <QtCore/QString>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velto {

/// A smoke-test launch ("--packaged-launch-smoke"): the library lives in a throw-away folder, optionally seeded
/// with a prepared manifest, and the launch touches nothing of the user's real setup.
struct ApplicationTestLaunchConfiguration {
    static constexpr char smokeArgument[] = "--packaged-launch-smoke";
    static constexpr char storageVariable[] = "VELTO_SMOKE_TEST_STORAGE_DIRECTORY";
    static constexpr char fixtureVariable[] = "VELTO_SMOKE_TEST_FIXTURE";

    bool isEnabled = false;
    std::optional<std::filesystem::path> documentURL;
    std::optional<std::filesystem::path> fixtureURL;
    bool resetsPreferences = false;
    bool opensEditor = false;
    bool showsWelcome = false;

    ApplicationTestLaunchConfiguration() = default;
    ApplicationTestLaunchConfiguration(const std::vector<std::string> &arguments,
                                       const std::map<std::string, std::string> &environment);

    /// Nothing unless enabled. Otherwise: preferences in a private temporary file (so that a smoke launch never
    /// reads or writes the user's), the storage folder and its ".velto" folder created (a temporary Pages folder
    /// when none was named, its path printed), and the fixture copied as the manifest when none exists.
    /// Throws std::filesystem::filesystem_error for a folder that cannot be created or a fixture that cannot be
    /// copied.
    void prepare(const std::optional<std::string> &bundleIdentifier);

    /// Where prepare put the private preferences; empty before.
    std::filesystem::path privatePreferencesFile;

    friend bool operator==(const ApplicationTestLaunchConfiguration &,
                           const ApplicationTestLaunchConfiguration &) = default;
};

/// The process's environment as a map.
std::map<std::string, std::string> processEnvironment();

} // namespace velto
