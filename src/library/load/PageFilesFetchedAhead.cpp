#include "library/load/PageFilesFetchedAhead.h"

#include "library/folder/ConcurrentWork.h"
#include "library/folder/PageFileNaming.h"

namespace VeltoPageLibrary {

std::future<void> fetchMarkdownFilesAhead(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    if (!mayWorkConcurrently(fileManager)) {
        return {};
    }
    return std::async(std::launch::async, [folderURL, &fileManager] {
        std::vector<velto::DirectoryEntry> entries;
        try {
            entries = fileManager.enumerateRecursively(folderURL);
        } catch (...) {
            // The load lists the folder again and reports what is wrong with it.
            return;
        }
        for (const auto &entry : entries) {
            if (entry.type == velto::FileType::regular && hasMarkdownExtension(entry.relativePath)) {
                fileManager.adviseWillRead(folderURL / entry.relativePath);
            }
        }
    });
}

} // namespace VeltoPageLibrary
