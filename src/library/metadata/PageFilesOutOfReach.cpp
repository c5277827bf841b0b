#include "library/metadata/PageFilesOutOfReach.h"

#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"

namespace VeltoPageLibrary {

namespace {

/// Whether the name plainly leads to a file of the folder, or to no entry at all: no link on its way leads out of
/// the folder and the entry at the name is no link. Most names are settled so, without pageFileURL's own look.
bool leadsPlainly(const std::string &name, const PageURLResolver &pageURLs, velto::FileSystem &fileManager) {
    try {
        auto status = fileManager.status(pageURLs.url(name), false);
        return !status || status->type != velto::FileType::symbolicLink;
    } catch (const std::exception &) {
        return false; // a link out of the folder on the way, or one that cannot be looked at
    }
}

} // namespace

std::vector<velto::PageFileError> pageFilesOutOfReach(const std::set<std::string> &names,
                                                      const std::filesystem::path &folderURL,
                                                      velto::FileSystem &fileManager) {
    std::vector<velto::PageFileError> outOfReach;
    PageURLResolver pageURLs(folderURL, fileManager);
    for (const auto &name : names) {
        if (!isManagedPageFileName(name) || leadsPlainly(name, pageURLs, fileManager)) {
            continue;
        }
        try {
            pageFileURL(name, folderURL, fileManager);
        } catch (const velto::PageFileError &error) {
            outOfReach.push_back(error);
        } catch (const std::exception &) {
            // Not a link that keeps the file from the library: whatever looks at the file meets the error there.
        }
    }
    return outOfReach;
}

} // namespace VeltoPageLibrary
