#include "library/UnsavedTextFiles.h"

#include "platform/FilePermissions.h"
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
/// A name is bounded in bytes by the file system (NAME_MAX): the title leaves room for the time it was kept, the
/// number a taken name gets and the extension, so that no first line, however long its characters are in UTF-8,
/// makes a name the file system refuses.
constexpr std::size_t longestFileNameBytes = 255;
constexpr std::size_t bytesAfterTitle = sizeof(" 2026-12-10 17.04.05") - 1 + sizeof(" 4294967295") - 1 + 3;
constexpr std::size_t longestTitleBytes = longestFileNameBytes - bytesAfterTitle;

/// The first words, whole characters only, no more than a file manager shows at a glance and a name may hold.
std::string boundedTitle(std::string_view words) {
    std::size_t graphemes = titleGraphemes;
    std::string title = velto::text::graphemePrefix(words, graphemes);
    while (title.size() > longestTitleBytes) {
        title = velto::text::graphemePrefix(words, --graphemes);
    }
    return title;
}

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
            return boundedTitle(words);
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

/// Only the user may look into the folder: a kept file is there before it has its page's permissions, and a private
/// page's text must never be readable meanwhile. Where the folder's permissions cannot be changed (another user's
/// folder), the text is kept all the same.
void keepFolderPrivate(const std::filesystem::path &folder) {
    try {
        velto::setFilePermissions(folder, std::filesystem::perms::owner_all);
    } catch (const velto::FileSystemError &) {
    }
}

/// The kept file is readable by those who may read the page, and its owner may always read and change it: a private
/// page's text stays private, a shared page's stays shared. The text is kept whether or not that succeeds.
void giveThePagesReaders(const std::filesystem::path &kept, std::filesystem::perms pagePermissions) {
    using std::filesystem::perms;
    const perms readAndWrite = perms::owner_read | perms::owner_write | perms::group_read | perms::group_write |
                               perms::others_read | perms::others_write;
    try {
        velto::setFilePermissions(kept, (pagePermissions & readAndWrite) | perms::owner_read | perms::owner_write);
    } catch (const velto::FileSystemError &) {
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
                                      std::string_view text, velto::Date keptAt,
                                      std::optional<std::filesystem::perms> pagePermissions) {
    if (!folder.is_absolute()) { // no home folder: never a folder relative to wherever Velto was started
        throw velto::FileSystemError(ENOENT, folder, "Creating", "Velto has no data folder to keep the text in.");
    }
    fileSystem.createDirectories(folder);
    keepFolderPrivate(folder);
    std::filesystem::path kept;
    try {
        kept = writeUnderFreeName(fileSystem, folder, unsavedTextFileName(text, keptAt), text);
    } catch (const velto::FileSystemError &error) {
        if (error.code() != ENAMETOOLONG) {
            throw;
        }
        // A file system with a shorter limit than most: the name never stops the text from being kept.
        kept = writeUnderFreeName(fileSystem, folder, unsavedTextFileName("", keptAt), text);
    }
    if (pagePermissions) {
        giveThePagesReaders(kept, *pagePermissions);
    }
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
