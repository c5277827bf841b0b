#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// The staged application folder "Velto.app/": the executable in "bin/", the bundle's keys in "Info.ini"
// ("Key=Value" lines) and "Resources/". One reader of those keys serves every caller.
namespace velto::applicationBundle {

/// The keys of an "Info.ini" text: one "Key=Value" per line, blanks around both trimmed; lines without "="
/// and lines starting with "#" or ";" are skipped; the first line of a key wins.
std::map<std::string, std::string> parseInfo(std::string_view infoText);

/// The bundle around an executable: the folder above the folder that holds it ("Velto.app" for
/// "Velto.app/bin/velto").
std::filesystem::path bundleFolder(const std::filesystem::path &executable);

/// What this process's bundle says: its folder (from /proc/self/exe, symbolic links resolved) and the keys of
/// its "Info.ini" (empty when there is none). Read once, on first use, from any thread.
struct Bundle {
    std::filesystem::path folder;
    std::map<std::string, std::string> info;
    bool hasInfo = false;

    std::optional<std::string> value(const std::string &key) const;
    std::filesystem::path resourcesFolder() const { return folder / "Resources"; }
};
const Bundle &current();

/// Builds the value from a bundle folder on disk, reading its "Info.ini".
Bundle read(const std::filesystem::path &bundleFolder);

} // namespace velto::applicationBundle
