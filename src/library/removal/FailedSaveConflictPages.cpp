#include "library/removal/FailedSaveConflictPages.h"

#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/removal/FileRemoval.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

/// Removes the file only when it holds exactly the bytes the save wrote at the moment it goes: one another program has
/// changed since holds its text, and stays. Whether it went.
bool removedIfHolding(const std::filesystem::path &url, std::string_view bytes, velto::FileSystem &fileManager,
                      const RemoveOperation &removeItem) {
    try {
        return removeIfHolding(url, bytes, fileManager, removeItem) == velto::ProvenRemovalOutcome::removed;
    } catch (const std::exception &) {
        return false; // it stays, and is reported as any conflict page
    }
}

/// Whether the file a conflict copy took its text from holds this save's text for its page although the save did not
/// replace it: the swap back of a replacement that met another program's change can leave there this save's file
/// with that program's later lines, while the file the copy's text was in is no longer at the path. Then the copy
/// may hold the only text of the file it was copied from.
bool holdsThisSavesText(const std::filesystem::path &source, const std::vector<PageFileWrite> &files,
                        velto::FileSystem &fileManager) {
    auto file = std::find_if(files.begin(), files.end(), [&](const PageFileWrite &f) { return f.url == source; });
    if (file == files.end()) {
        return false;
    }
    try {
        return fileManager.readPrefix(source, file->text.size()) == file->text;
    } catch (const velto::FileSystemError &) {
        return false;
    }
}

} // namespace

FailedSaveLeftovers takeBackConflictPages(const VeltoResolvedDiskChanges &resolved,
                                          const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                                          const std::set<std::filesystem::path> &replaced,
                                          const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                          const RemoveOperation &removeItem) {
    // The files that were not checked went first, all of them; of the checked ones, those replaced before the stop.
    std::map<std::filesystem::path, std::string_view> written;
    for (const auto &file : files) {
        if (!observed.contains(file.url) || replaced.contains(file.url)) {
            written.emplace(file.url, file.text);
        }
    }
    FailedSaveLeftovers leftovers;
    for (const auto &conflict : resolved.conflicts) {
        const auto &page = conflict.preservedPage;
        auto url = pageURL(pageFileName(namingRecord(page)), folderURL, fileManager);
        auto text = written.find(url);
        auto origin = resolved.conflictPageOrigins.find(page.id);
        if (text == written.end()) {
            continue; // nothing written for it
        }
        // A recovered page holds the store's text, which may be in no file once the process ends (a final save at
        // logout is never tried again): it always stays. A save that starts over reads it back instead of making
        // another, so it alone does not keep the save from starting over.
        if (resolved.pageIDReplacements.contains(conflict.originalPageID)) {
            leftovers.keptConflicts.push_back(conflict);
            written.erase(text);
            continue;
        }
        bool madeHere = origin != resolved.conflictPageOrigins.end() && !origin->second.fileExisted;
        if (madeHere && !written.contains(origin->second.source) &&
            !holdsThisSavesText(origin->second.source, files, fileManager) &&
            removedIfHolding(url, text->second, fileManager, removeItem)) {
            written.erase(text);
            continue;
        }
        leftovers.keptConflicts.push_back(conflict);
    }
    leftovers.filesRemain = !written.empty();
    return leftovers;
}

} // namespace VeltoPageLibrary
