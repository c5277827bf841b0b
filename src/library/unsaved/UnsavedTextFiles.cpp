#include "library/unsaved/UnsavedTextFiles.h"

#include "library/removal/FileRemoval.h"
#include "library/removal/StaleTemporaryFiles.h"
#include "platform/FilePermissions.h"
#include "platform/Text.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <optional>

namespace VeltoPageLibrary {

namespace {

/// The names of the kept files not named to the user yet, one a line. Hidden, so it is no file the user looks for.
constexpr const char *namesToTellFile = ".to-name";
constexpr std::size_t titleGraphemes = 40;
constexpr std::size_t namesToTellBytes = 1024 * 1024;
/// A kept text may be longer than the largest page file: the text typed into a page past its size limit.
constexpr std::size_t largestKeptFileBytes = 4 * velto::largestReadableFileBytes;
/// Enough of a text left behind to find its first line with words, for a name.
constexpr std::size_t firstLinesBytes = 4096;
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

/// The names a list of names to tell holds, one a line.
std::vector<std::string> listedNames(std::string_view listed) {
    std::vector<std::string> names;
    for (std::string_view line : velto::text::splitKeepingEmpty(listed, "\n")) {
        if (!line.empty()) {
            names.emplace_back(line);
        }
    }
    return names;
}

std::vector<std::string> namesToTell(velto::FileSystem &fileSystem, const std::filesystem::path &folder) {
    std::filesystem::path list = folder / namesToTellFile;
    if (!fileSystem.status(list).has_value()) {
        return {};
    }
    return listedNames(fileSystem.readFile(list, namesToTellBytes));
}

/// Whether the name is that of a file of the folder (no path that leads elsewhere).
bool isThere(velto::FileSystem &fileSystem, const std::filesystem::path &folder, const std::string &name) {
    return name.find('/') == std::string::npos && fileSystem.status(folder / name, false).has_value();
}

/// Moves the file to `name` in its folder; where a file is there already, beside it under the "(kept …)" name, never
/// over it. Answers the name it has now.
std::filesystem::path moveToVisibleName(velto::FileSystem &fileSystem, const std::filesystem::path &file,
                                        const std::filesystem::path &name) {
    try {
        fileSystem.moveItem(file, name);
        return name;
    } catch (const velto::FileSystemError &error) {
        if (error.code() != EEXIST) {
            throw;
        }
    }
    const std::filesystem::path beside = velto::keptFileName(name);
    fileSystem.moveItem(file, beside);
    return beside;
}

/// The name a file left behind was made for; for the short form of a name too long to take the prefix, one made of
/// its first line and the time it was written, as a kept file's is.
std::filesystem::path nameLeftBehindFor(velto::FileSystem &fileSystem, const std::filesystem::path &leftBehind,
                                        const velto::FileStatus &status) {
    if (auto file = fileOfHiddenSibling(leftBehind)) {
        return *file;
    }
    std::string firstLines = fileSystem.readPrefix(leftBehind, firstLinesBytes);
    if (firstLines.size() == firstLinesBytes) {
        firstLines.resize(firstLines.rfind('\n') + 1); // whole lines, no character cut; none: "Untitled …"
    }
    return leftBehind.parent_path() / unsavedTextFileName(firstLines, status.modificationDate);
}

/// The text of a write that never went into place: it goes when the file it was written for holds every line of it,
/// in order and as often (its last line may be torn by the kill, or be whole typed text); otherwise it comes under that
/// file's name, or beside that file. Answers the name it comes under; nothing when it went. One that cannot be read is
/// never taken for held.
std::optional<std::filesystem::path> restoreUnfinishedWrite(velto::FileSystem &fileSystem,
                                                            const std::filesystem::path &leftBehind,
                                                            const std::filesystem::path &name) {
    std::optional<std::string> text;
    try {
        text = fileSystem.readFile(leftBehind, largestKeptFileBytes);
    } catch (const velto::FileSystemError &) {
    }
    if (text) {
        std::string held;
        try {
            held = fileSystem.readFile(name, largestKeptFileBytes);
        } catch (const velto::FileSystemError &) {
            // No file there, or none to read: it holds no line.
        }
        auto removal = removeIfThePageHoldsEveryLine(leftBehind, *text, held, true, fileSystem);
        if (removal && *removal != velto::ProvenRemovalOutcome::kept) {
            return std::nullopt;
        }
    }
    return moveToVisibleName(fileSystem, leftBehind, name);
}

/// Notes the files to be named at the next launch, each once.
void noteToName(velto::FileSystem &fileSystem, const std::filesystem::path &folder,
                const std::vector<std::string> &restored) {
    std::vector<std::string> names = namesToTell(fileSystem, folder);
    for (const std::string &name : restored) {
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    fileSystem.writeAtomically(folder / namesToTellFile, velto::text::join(names, "\n") + "\n");
}

} // namespace

void restoreUnsavedTextLeftBehind(velto::FileSystem &fileSystem, const std::filesystem::path &folder) {
    std::vector<std::string> names;
    try {
        if (folder.is_absolute()) {
            names = fileSystem.contentsOfDirectory(folder);
        }
    } catch (const velto::FileSystemError &) {
        return; // no folder yet, or one that cannot be listed: nothing was kept there
    }
    std::vector<std::string> restored;
    for (const std::string &name : names) {
        const bool takenAside = isAsideFileName(name);
        if (!takenAside && !isTemporaryFileName(name)) {
            continue;
        }
        const std::filesystem::path leftBehind = folder / name;
        try {
            auto status = fileSystem.status(leftBehind, false);
            if (!status || status->type != velto::FileType::regular) {
                continue;
            }
            const std::filesystem::path file = nameLeftBehindFor(fileSystem, leftBehind, *status);
            if (file.filename().string().starts_with(".")) {
                // A list of names to tell, which holds no one's words: the files it names that are there are named.
                std::vector<std::string> listed = listedNames(fileSystem.readFile(leftBehind, namesToTellBytes));
                std::copy_if(listed.begin(), listed.end(), std::back_inserter(restored),
                             [&](const std::string &listedName) { return isThere(fileSystem, folder, listedName); });
                fileSystem.removeItem(leftBehind);
                continue;
            }
            std::optional<std::filesystem::path> back = takenAside
                                                            ? moveToVisibleName(fileSystem, leftBehind, file)
                                                            : restoreUnfinishedWrite(fileSystem, leftBehind, file);
            if (back) {
                restored.push_back(back->filename().string());
            }
        } catch (const std::exception &) {
            // Left for a later launch.
        }
    }
    if (!restored.empty()) {
        try {
            noteToName(fileSystem, folder, restored);
        } catch (const std::exception &) {
            // The files are back under visible names all the same.
        }
    }
}

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
        if (isThere(fileSystem, folder, name)) {
            files.push_back(folder / name);
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
