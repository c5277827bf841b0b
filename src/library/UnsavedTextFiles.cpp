#include "library/UnsavedTextFiles.h"

#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>

namespace VeltoPageLibrary {

namespace {

/// The names of the kept files not named to the user yet, one a line. Hidden, so it is no file the user looks for.
constexpr const char *namesToTellFile = ".to-name";
constexpr std::size_t titleGraphemes = 40;
constexpr std::size_t namesToTellBytes = 1024 * 1024;

/// "Shopping list" for "\n# Shopping list\n…": the first line with words, without heading marks, no longer than a
/// file manager shows at a glance.
std::string titleOf(std::string_view text) {
    if (!velto::text::isValidUTF8(text)) {
        return {};
    }
    for (std::string_view line : velto::text::splitKeepingEmpty(text, "\n")) {
        std::string_view words = velto::text::trimmingWhitespaceAndNewlines(line);
        while (!words.empty() && words.front() == '#') {
            words.remove_prefix(1);
        }
        words = velto::text::trimmingWhitespace(words);
        if (!words.empty()) {
            return velto::text::graphemePrefix(words, titleGraphemes);
        }
    }
    return {};
}

/// The title with what a file name cannot hold, or would hide the file, replaced.
std::string fileNameSafe(std::string title) {
    for (char &byte : title) {
        if (byte == '/' || static_cast<unsigned char>(byte) < 0x20) {
            byte = ' ';
        }
    }
    std::string_view trimmed = velto::text::trimmingWhitespace(title);
    while (!trimmed.empty() && trimmed.front() == '.') {
        trimmed.remove_prefix(1);
    }
    return std::string(velto::text::trimmingWhitespace(trimmed));
}

std::string timeStamp(velto::Date keptAt) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(keptAt);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d.%02d.%02d", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return stamp;
}

/// "name.md", then "name 2.md", "name 3.md", …
std::string numberedName(const std::string &fileName, int number) {
    if (number == 1) {
        return fileName;
    }
    std::string stem = fileName.substr(0, fileName.size() - 3);
    return stem + " " + std::to_string(number) + ".md";
}

/// Writes the text under the first free name: a name that another file takes, also one taken while writing, is
/// passed over.
std::filesystem::path writeUnderFreeName(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                                         const std::string &fileName, std::string_view text) {
    for (int number = 1;; ++number) {
        std::filesystem::path candidate = folder / numberedName(fileName, number);
        if (fileSystem.status(candidate, false).has_value()) {
            continue;
        }
        if (fileSystem.replaceIfUnchanged(candidate, text, std::nullopt) == velto::ReplacementOutcome::replaced) {
            return candidate;
        }
    }
}

std::vector<std::string> namesToTell(velto::FileSystem &fileSystem, const std::filesystem::path &folder) {
    std::filesystem::path list = folder / namesToTellFile;
    if (!fileSystem.status(list).has_value()) {
        return {};
    }
    const std::string listed = fileSystem.readFile(list, namesToTellBytes);
    std::vector<std::string> names;
    for (std::string_view line : velto::text::splitKeepingEmpty(listed, "\n")) {
        if (!line.empty()) {
            names.emplace_back(line);
        }
    }
    return names;
}

} // namespace

std::string unsavedTextFileName(std::string_view text, velto::Date keptAt) {
    std::string title = fileNameSafe(titleOf(text));
    return (title.empty() ? std::string("Untitled") : title) + " " + timeStamp(keptAt) + ".md";
}

std::filesystem::path keepUnsavedText(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                                      std::string_view text, velto::Date keptAt) {
    if (!folder.is_absolute()) { // no home folder: never a folder relative to wherever Velto was started
        throw velto::FileSystemError(ENOENT, folder, "Creating", "Velto has no data folder to keep the text in.");
    }
    fileSystem.createDirectories(folder);
    std::filesystem::path kept = writeUnderFreeName(fileSystem, folder, unsavedTextFileName(text, keptAt), text);
    std::vector<std::string> names = namesToTell(fileSystem, folder);
    names.push_back(kept.filename().string());
    fileSystem.writeAtomically(folder / namesToTellFile, velto::text::join(names, "\n") + "\n");
    return kept;
}

std::vector<std::filesystem::path> unsavedTextFilesToName(velto::FileSystem &fileSystem,
                                                          const std::filesystem::path &folder) {
    std::vector<std::filesystem::path> files;
    if (!folder.is_absolute()) {
        return files;
    }
    for (const std::string &name : namesToTell(fileSystem, folder)) {
        std::filesystem::path file = folder / name;
        if (name.find('/') == std::string::npos && fileSystem.status(file, false).has_value()) {
            files.push_back(file);
        }
    }
    return files;
}

void forgetUnsavedTextFile(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                           const std::filesystem::path &file) {
    std::vector<std::string> names = namesToTell(fileSystem, folder);
    std::erase(names, file.filename().string());
    if (names.empty()) {
        forgetUnsavedTextFilesNamed(fileSystem, folder);
        return;
    }
    fileSystem.writeAtomically(folder / namesToTellFile, velto::text::join(names, "\n") + "\n");
}

void forgetUnsavedTextFilesNamed(velto::FileSystem &fileSystem, const std::filesystem::path &folder) {
    std::filesystem::path list = folder / namesToTellFile;
    if (fileSystem.status(list, false).has_value()) {
        fileSystem.removeItem(list);
    }
}

} // namespace VeltoPageLibrary
