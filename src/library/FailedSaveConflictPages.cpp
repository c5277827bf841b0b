#include "library/FailedSaveConflictPages.h"

#include "library/PageFileLocation.h"
#include "library/PageFileNaming.h"

#include <map>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

/// Removes the file only while it holds exactly the bytes the save wrote: one another program has changed since
/// holds its text, and stays. Whether it went.
bool removedIfHolding(const std::filesystem::path &url, std::string_view bytes, velto::FileSystem &fileManager,
                      const RemoveOperation &removeItem) {
    if (!fileManager.holdsExactly(url, bytes)) {
        return false;
    }
    try {
        removeItem(url);
        return true;
    } catch (const std::exception &) {
        return false; // it stays, and is reported as any conflict page
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
        bool isRecoveredPage = resolved.pageIDReplacements.contains(conflict.originalPageID);
        bool madeHere = origin != resolved.conflictPageOrigins.end() && !origin->second.fileExisted;
        if (madeHere && (isRecoveredPage || !written.contains(origin->second.source)) &&
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
