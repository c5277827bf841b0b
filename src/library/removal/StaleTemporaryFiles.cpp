#include "library/removal/StaleTemporaryFiles.h"

#include "library/folder/LibraryFolder.h"
#include "library/metadata/DeletionIndex.h"
#include "library/metadata/MissingFileObservations.h"
#include "library/metadata/WriterStates.h"
#include "library/removal/FileRemoval.h"
#include "library/removal/KeptConflictCopy.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <cerrno>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace VeltoPageLibrary {

namespace {

// The hidden files the process's file system makes beside a file: ".page.md.tmp-3f2a9c01b2d4" holds the new bytes of
// a write, ".page.md.aside-3f2a9c01b2d4" a file taken aside to be proven before it is removed.
constexpr std::string_view temporaryKind = "tmp";
constexpr std::string_view asideKind = "aside";
constexpr std::size_t siblingSuffixDigits = 12;

bool isLowercaseHexDigit(char character) {
    return (character >= '0' && character <= '9') || (character >= 'a' && character <= 'f');
}

/// The length of ".<kind>-" and the digits that end a hidden sibling's name.
std::size_t siblingSuffixLength(std::string_view kind) {
    return kind.size() + 2 + siblingSuffixDigits;
}

/// Whether the name is "." and a file name, then ".<kind>-" and twelve lower-case hexadecimal digits.
bool isHiddenSiblingName(const std::string &name, std::string_view kind) {
    const std::size_t suffixLength = siblingSuffixLength(kind);
    if (name.size() < 1 + 1 + suffixLength || name.front() != '.') {
        return false;
    }
    std::size_t suffix = name.size() - suffixLength;
    if (name.compare(suffix, kind.size() + 2, "." + std::string(kind) + "-") != 0) {
        return false;
    }
    for (std::size_t index = suffix + kind.size() + 2; index < name.size(); ++index) {
        if (!isLowercaseHexDigit(name[index])) {
            return false;
        }
    }
    return true;
}

/// The file a hidden sibling was made beside: "page.md" for ".page.md.tmp-3f2a…"; nothing for the short form
/// ".velto.tmp-3f2a…" of a name too long to take the prefix, which names no file.
std::optional<std::filesystem::path> fileOfSibling(const std::filesystem::path &sibling, std::string_view kind) {
    std::string name = sibling.filename().string();
    std::string file = name.substr(1, name.size() - 1 - siblingSuffixLength(kind));
    if (file == "velto") {
        return std::nullopt;
    }
    return sibling.parent_path() / file;
}

/// Whether a recorded folder lies below the Pages folder: metadata from another writer is not trusted to.
bool isInsideFolder(const std::filesystem::path &relativeFolder) {
    if (relativeFolder.empty() || relativeFolder.is_absolute()) {
        return false;
    }
    for (const auto &component : relativeFolder) {
        if (component == "..") {
            return false;
        }
    }
    return true;
}

/// The folders where atomic writes put their temporary files beside the page files they replace.
std::vector<std::filesystem::path> pageFoldersWithWrites(const std::filesystem::path &folderURL,
                                                         const std::set<std::string> &pageFolders) {
    std::vector<std::filesystem::path> folders{folderURL};
    for (const auto &relativeFolder : pageFolders) {
        if (isInsideFolder(relativeFolder)) {
            folders.push_back(folderURL / relativeFolder);
        }
    }
    return folders;
}

/// The folders where atomic writes put the temporary files of the library's own metadata.
std::vector<std::filesystem::path> metadataFoldersWithWrites(const std::filesystem::path &folderURL) {
    return {metadataDirectory(folderURL), writersDirectory(folderURL), deletionIndexDirectory(folderURL),
            legacyTombstonesDirectory(folderURL), missingFilesDirectory(folderURL)};
}

/// What the page file holds; nothing when it cannot be read, or the file is a short form's that names none.
std::string pageTextOf(const std::optional<std::filesystem::path> &pageFile, velto::FileSystem &fileManager) {
    try {
        if (pageFile) {
            return fileManager.readFile(*pageFile);
        }
    } catch (const velto::FileSystemError &) {
    }
    return {};
}

/// The identifier of the page whose file text this is; nothing for a file without one.
std::optional<velto::Uuid> pageIDIn(const std::string &pageText) {
    if (pageText.empty() || !velto::text::isValidUTF8(pageText)) {
        return std::nullopt;
    }
    return velto::VeltoPageFileContent::parse(pageText).veltoPageID();
}

/// A stale temporary file beside page files. The text a killed exchange left behind, the page's file as the library
/// recorded it, goes: the save was replacing it with the user's newer text. So does one whose every line the page's
/// file holds, in order and as often. Any other is kept as one conflict copy of the page it sits beside, which
/// shows it where the user sees conflict copies, or, when it is no UTF-8 text that a page can hold, left where it is.
void tidyStalePageTemporary(const std::filesystem::path &folderURL, const std::filesystem::path &temporary,
                            const RecordedPageVersions &recorded, velto::Date now, velto::FileSystem &fileManager) {
    std::string text;
    try {
        text = fileManager.readFile(temporary);
    } catch (const velto::FileSystemError &) {
        return; // too large or unreadable: it may be someone's only copy
    }
    const std::optional<std::filesystem::path> pageFile = fileOfSibling(temporary, temporaryKind);
    if (pageFile && recorded.isRecorded(pageFile->lexically_relative(folderURL).generic_string(), text)) {
        removeIfHolding(temporary, text, fileManager);
        return;
    }
    // The swap of a replacement that met another program's change, or a process killed right after the swap, leaves
    // there the page's previous file, which may hold that program's last lines and nothing else may. A write killed
    // before its exchange leaves its own text, whole or cut off anywhere: only a torn last line that a line of the
    // page begins with is no one's words.
    const std::string pageText = pageTextOf(pageFile, fileManager);
    if (!removeIfThePageHoldsEveryLine(temporary, text, pageText, true, fileManager)) {
        keepAsConflictCopy(temporary, text, now, fileManager, pageIDIn(pageText));
    }
}

/// The hidden siblings of the kind in the folder old enough to be left by work that never finished.
std::vector<std::filesystem::path> staleSiblingsIn(const std::filesystem::path &folder, std::string_view kind,
                                                   velto::Date now, velto::FileSystem &fileManager) {
    std::vector<std::filesystem::path> stale;
    std::vector<std::string> names;
    try {
        names = fileManager.contentsOfDirectory(folder);
    } catch (const velto::FileSystemError &) {
        return stale; // no such folder, or one that cannot be listed: nothing of ours to tidy there
    }
    for (const auto &name : names) {
        if (!isHiddenSiblingName(name, kind)) {
            continue;
        }
        auto url = folder / name;
        try {
            auto status = fileManager.status(url, false);
            if (status && status->type == velto::FileType::regular &&
                now - status->modificationDate >= staleTemporaryFileAge) {
                stale.push_back(url);
            }
        } catch (const velto::FileSystemError &) {
            // Left for a later load.
        }
    }
    return stale;
}

/// Moves the file taken aside back to its name; where another file has come there since, beside it under the
/// "(kept …)" name, as a removal that did not go ahead puts it back while it runs, so that it is found.
void putBack(const std::filesystem::path &aside, const std::filesystem::path &file, velto::FileSystem &fileManager) {
    try {
        fileManager.moveItem(aside, file);
    } catch (const velto::FileSystemError &error) {
        if (error.code() != EEXIST) {
            throw;
        }
        fileManager.moveItem(aside, velto::keptFileName(file));
    }
}

/// A file taken aside by a removal that never finished was never proven: it goes back to its name. The short form of
/// a name too long for the prefix names no file: such a file comes back as a "(kept …)" page file, to be found.
void putBackFilesLeftAside(const std::filesystem::path &folder, velto::Date now, velto::FileSystem &fileManager) {
    for (const auto &aside : staleSiblingsIn(folder, asideKind, now, fileManager)) {
        auto file = fileOfSibling(aside, asideKind);
        try {
            if (file) {
                putBack(aside, *file, fileManager);
            } else {
                fileManager.moveItem(aside, velto::keptFileName(folder / "velto.md"));
            }
        } catch (const velto::FileSystemError &) {
            // Left for a later load.
        }
    }
}

} // namespace

bool isTemporaryFileName(const std::string &name) {
    return isHiddenSiblingName(name, temporaryKind);
}

bool isAsideFileName(const std::string &name) {
    return isHiddenSiblingName(name, asideKind);
}

std::optional<std::filesystem::path> fileOfHiddenSibling(const std::filesystem::path &sibling) {
    return fileOfSibling(sibling, isTemporaryFileName(sibling.filename().string()) ? temporaryKind : asideKind);
}

void removeStaleTemporaryFiles(const std::filesystem::path &folderURL, const std::set<std::string> &pageFolders,
                               const RecordedPageVersions &recorded, velto::Date now, velto::FileSystem &fileManager) {
    for (const auto &folder : pageFoldersWithWrites(folderURL, pageFolders)) {
        putBackFilesLeftAside(folder, now, fileManager);
        for (const auto &temporary : staleSiblingsIn(folder, temporaryKind, now, fileManager)) {
            try {
                tidyStalePageTemporary(folderURL, temporary, recorded, now, fileManager);
            } catch (const std::exception &) {
                // Left for a later load.
            }
        }
    }
    // The library's own metadata, which only this library writes: what a write never finished is in no one's words.
    for (const auto &folder : metadataFoldersWithWrites(folderURL)) {
        putBackFilesLeftAside(folder, now, fileManager);
        for (const auto &temporary : staleSiblingsIn(folder, temporaryKind, now, fileManager)) {
            try {
                fileManager.removeItem(temporary);
            } catch (const velto::FileSystemError &) {
                // Left for a later load.
            }
        }
    }
}

} // namespace VeltoPageLibrary
