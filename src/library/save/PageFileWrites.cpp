#include "library/save/PageFileWrites.h"

#include "library/folder/PageFileNaming.h"
#include "library/removal/FileRemoval.h"
#include "library/removal/KeptConflictCopy.h"
#include "model/LibraryErrors.h"
#include "platform/Clock.h"

#include <cerrno>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

/// " The conflict copy “a.md” it made stays in the folder.", or nothing when none stays.
std::string keptConflictsSentence(const std::vector<VeltoSaveConflict> &keptConflicts) {
    if (keptConflicts.empty()) {
        return {};
    }
    std::string names;
    for (const auto &conflict : keptConflicts) {
        names +=
            (names.empty() ? "\u201c" : ", \u201c") + pageFileName(namingRecord(conflict.preservedPage)) + "\u201d";
    }
    if (keptConflicts.size() == 1) {
        return " The conflict copy " + names + " it made stays in the folder.";
    }
    return " The conflict copies " + names + " it made stay in the folder.";
}

/// The replacement of a checked file. A file that fails to be read while it is compared (a failing disk) is no
/// change by another program: it stays as it was, and the save fails as a read of it fails anywhere else.
velto::ReplacementOutcome replaceUnlessChanged(const PageFileWrite &file, std::optional<std::string_view> expected,
                                               const std::filesystem::path &pagesFolder, velto::FileSystem &fileManager,
                                               std::optional<std::filesystem::path> &theirFile) {
    try {
        return fileManager.replaceIfUnchangedBeneath(pagesFolder, file.url.lexically_relative(pagesFolder), file.text,
                                                     expected, theirFile);
    } catch (const velto::FileSystemError &error) {
        if (error.operation() != "Reading") {
            throw;
        }
        throw velto::PageFileError::unreadable(file.url, error.localizedDescription(), error.code());
    }
}

/// "The page file “a.md” could not be saved: Permission denied.", or the error's own sentence when it names the file.
std::string refusalSentence(const std::filesystem::path &url, const velto::FileSystemError &error) {
    std::string reason = error.localizedDescription();
    if (reason.find("\u201c" + url.filename().string() + "\u201d") != std::string::npos) {
        return reason;
    }
    return "The page file \u201c" + url.filename().string() + "\u201d could not be saved: " + reason + ".";
}

/// The replacement of a checked file, or nothing when the file refused it on its own account and `refused` takes the
/// refusal: the permission to change the file or to add one beside it, or a read of the file taken out that failed
/// on its own. Every other error is thrown.
std::optional<velto::ReplacementOutcome>
replaceUnlessRefused(const PageFileWrite &file, std::optional<std::string_view> expected,
                     const std::filesystem::path &pagesFolder, velto::FileSystem &fileManager,
                     std::vector<RefusedPageFile> *refused, std::optional<std::filesystem::path> &theirFile) {
    try {
        return replaceUnlessChanged(file, expected, pagesFolder, fileManager, theirFile);
    } catch (const velto::PageFileError &error) {
        if (refused == nullptr || !error.isConfinedToItsFile()) {
            throw;
        }
        refused->push_back({file.url, error.what(), false, true});
    } catch (const velto::FileSystemError &error) {
        if (refused == nullptr || (error.code() != EACCES && error.code() != EPERM)) {
            throw;
        }
        refused->push_back(
            {file.url, refusalSentence(file.url, error), fileManager.refusesWriting(file.url.parent_path()), false});
    }
    return std::nullopt;
}

/// Writes a file that the save's check did not look at: a new page, a conflict copy, or a page of a library whose
/// manifest is gone, as a recovery writes every page. A file already there that refuses on its own account while its
/// folder takes new files (a license file shipped read-only) goes into `refused`, when given, and stays as it is: the
/// page's text is in that file already, and the other pages are written on. A refusal of the folder is thrown.
bool writeUnlessTheFileRefuses(const PageFileWrite &file, const std::filesystem::path &pagesFolder,
                               velto::FileSystem &fileManager, std::vector<RefusedPageFile> *refused) {
    try {
        fileManager.writeAtomicallyBeneath(pagesFolder, file.url.lexically_relative(pagesFolder), file.text);
        return true;
    } catch (const velto::FileSystemError &error) {
        bool refusedByTheFile =
            (error.code() == EACCES || error.code() == EPERM) && !fileManager.refusesWriting(file.url.parent_path());
        if (refused == nullptr || !refusedByTheFile) {
            throw;
        }
        refused->push_back({file.url, refusalSentence(file.url, error), false, false});
        return false;
    }
}

/// The file another program's change was left in by the replacement of the page's file that met it: a conflict copy
/// of the page, which this save reports, when it holds a line that the page's file lacks now; otherwise it goes.
/// Nothing when no copy was made; a file that cannot be read or kept now stays for the clean-up of stale temporary
/// files, and the save fails for the change it met, not for that.
std::vector<VeltoSaveConflict> keptTheirFile(const PageFileWrite &file, const std::filesystem::path &theirFile,
                                             velto::FileSystem &fileManager) {
    try {
        const std::string text = fileManager.readFile(theirFile);
        std::string pageText;
        try {
            pageText = fileManager.readFile(file.url);
        } catch (const velto::FileSystemError &) {
            // A page file that cannot be read lacks every line.
        }
        // Another program's whole file, never a write cut short: its last line counts as it is.
        if (removeIfThePageHoldsEveryLine(theirFile, text, pageText, false, fileManager)) {
            return {};
        }
        if (auto copy = keepAsConflictCopy(theirFile, text, velto::systemClock().now(), fileManager)) {
            return {{file.pageID, std::move(*copy)}};
        }
    } catch (const std::exception &) {
    }
    return {};
}

} // namespace

PageFileChangedDuringSaveError::PageFileChangedDuringSaveError(const std::filesystem::path &url,
                                                               bool earlierFilesWritten,
                                                               std::vector<VeltoSaveConflict> keptConflicts)
    : std::runtime_error("The page file \u201c" + url.filename().string() +
                         "\u201d changed while Velto was saving it. Velto saves again in a moment." +
                         keptConflictsSentence(keptConflicts))
    , url_(url)
    , earlierFilesWritten_(earlierFilesWritten)
    , keptConflicts_(std::move(keptConflicts)) {}

void writePageFiles(const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                    const std::filesystem::path &pagesFolder, velto::FileSystem &fileManager,
                    std::set<std::filesystem::path> &replaced, std::vector<RefusedPageFile> *refused) {
    bool anyWritten = false;
    for (const auto &file : files) {
        if (!observed.contains(file.url) && writeUnlessTheFileRefuses(file, pagesFolder, fileManager, refused)) {
            anyWritten = true;
        }
    }
    for (const auto &file : files) {
        auto found = observed.find(file.url);
        if (found == observed.end()) {
            continue;
        }
        std::optional<std::string_view> expected;
        if (found->second) {
            expected = *found->second;
        }
        std::optional<std::filesystem::path> theirFile;
        auto outcome = replaceUnlessRefused(file, expected, pagesFolder, fileManager, refused, theirFile);
        if (!outcome) {
            continue;
        }
        if (*outcome == velto::ReplacementOutcome::changedMeanwhile) {
            std::vector<VeltoSaveConflict> kept;
            if (theirFile) {
                kept = keptTheirFile(file, *theirFile, fileManager);
            }
            throw PageFileChangedDuringSaveError(file.url, anyWritten || !kept.empty(), std::move(kept));
        }
        replaced.insert(file.url);
        anyWritten = true;
    }
}

} // namespace VeltoPageLibrary
