#include "library/removal/RecordedPageVersions.h"

#include "library/folder/PageFileNaming.h"
#include "model/ContentChecksum.h"

namespace VeltoPageLibrary {

void RecordedPageVersions::note(const std::string &relativePath, const std::string &checksum,
                                std::optional<std::int64_t> size) {
    versions_[relativePath].push_back({checksum, size});
}

bool RecordedPageVersions::isRecorded(const std::string &relativePath, std::string_view text) const {
    auto recorded = versions_.find(relativePath);
    if (recorded == versions_.end()) {
        return false;
    }
    // Hashed only for a file the library records: a page of megabytes costs one pass.
    const std::optional<std::string> checksum = velto::contentChecksum(text);
    for (const Version &version : recorded->second) {
        bool sizeAgrees = !version.size || *version.size == static_cast<std::int64_t>(text.size());
        if (sizeAgrees && checksum == version.checksum) {
            return true;
        }
    }
    return false;
}

RecordedPageVersions recordedPageVersions(const velto::VeltoLibraryManifest &manifest) {
    RecordedPageVersions recorded;
    auto noteRecord = [&](const velto::VeltoLibraryPageRecord &record) {
        if (record.contentChecksum) {
            recorded.note(pageFileName(record), *record.contentChecksum, record.fileSize);
        }
    };
    noteRecord(manifest.currentPage);
    for (const auto &record : manifest.pages) {
        noteRecord(record);
    }
    return recorded;
}

} // namespace VeltoPageLibrary
