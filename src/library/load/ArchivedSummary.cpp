#include "library/load/ArchivedSummary.h"

#include "library/folder/IOObservation.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

namespace VeltoPageLibrary {

std::optional<velto::VeltoArchivedPageSummary> archivedSummary(const std::filesystem::path &fileURL,
                                                               const velto::VeltoLibraryPageRecord &record,
                                                               velto::FileSystem &fileManager) {
    if (record.isArchived.value_or(false)) {
        VeltoLibraryIOObservation::count([&](VeltoLibraryIOCounters &counters) {
            ++counters.archivedPrefixReads;
            counters.archivedPrefixReadPaths.push_back(fileURL.filename().string());
        });
    }
    std::string prefix;
    try {
        prefix = fileManager.readPrefix(fileURL, archivedSummaryPrefixBytes);
    } catch (const velto::FileSystemError &error) {
        throw velto::PageFileError::unreadable(fileURL, error.localizedDescription(), error.code());
    }
    // A character cut at the end of the prefix becomes one replacement character.
    auto content = velto::VeltoPageFileContent::parse(velto::text::decodingUTF8Lossy(prefix));
    if (!content.isArchived()) {
        return std::nullopt;
    }
    auto attributes = fileManager.status(fileURL);
    velto::VeltoArchivedPageSummary summary;
    summary.preview = velto::text::graphemePrefix(content.body, archivedPreviewCharacters);
    summary.fileSize =
        attributes ? static_cast<std::int64_t>(attributes->size) : static_cast<std::int64_t>(prefix.size());
    summary.hasContent = record.hasContent;
    summary.contentChecksum = record.contentChecksum;
    summary.bodyChecksum = record.bodyChecksum;
    return summary;
}

} // namespace VeltoPageLibrary
