#include "library/PageFileWrites.h"

#include <string_view>

namespace VeltoPageLibrary {

void writePageFiles(const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                    velto::FileSystem &fileManager) {
    bool anyWritten = false;
    for (const auto &file : files) {
        if (!observed.contains(file.url)) {
            fileManager.writeAtomically(file.url, file.text);
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
        if (fileManager.replaceIfUnchanged(file.url, file.text, expected) ==
            velto::ReplacementOutcome::changedMeanwhile) {
            throw PageFileChangedDuringSaveError(file.url, anyWritten);
        }
        anyWritten = true;
    }
}

} // namespace VeltoPageLibrary
