#include "library/PageFileWrites.h"

#include "model/LibraryErrors.h"

#include <string_view>

namespace VeltoPageLibrary {

namespace {

/// The replacement of a checked file. A file that fails to be read while it is compared (a failing disk) is no
/// change by another program: it stays as it was, and the save fails as a read of it fails anywhere else.
velto::ReplacementOutcome replaceUnlessChanged(const PageFileWrite &file, std::optional<std::string_view> expected,
                                               velto::FileSystem &fileManager) {
    try {
        return fileManager.replaceIfUnchanged(file.url, file.text, expected);
    } catch (const velto::FileSystemError &error) {
        if (error.operation() != "Reading") {
            throw;
        }
        throw velto::PageFileError::unreadable(file.url, error.localizedDescription(), error.code());
    }
}

} // namespace

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
        if (replaceUnlessChanged(file, expected, fileManager) == velto::ReplacementOutcome::changedMeanwhile) {
            throw PageFileChangedDuringSaveError(file.url, anyWritten);
        }
        anyWritten = true;
    }
}

} // namespace VeltoPageLibrary
