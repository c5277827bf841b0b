#include "library/folder/PageFileNaming.h"

#include "platform/Date.h"
#include "platform/Text.h"

namespace VeltoPageLibrary {

std::string pageFileStem(const velto::VeltoLibraryPageRecord &record) {
    return velto::utcDayStamp(record.createdAt);
}

bool hasMarkdownExtension(const std::filesystem::path &path) {
    return velto::text::lowercased(path.extension().string()) == ".md";
}

velto::VeltoLibraryPageRecord namingRecord(const velto::VeltoPage &page) {
    velto::VeltoLibraryPageRecord record;
    record.id = page.id;
    record.createdAt = page.createdAt;
    record.fileSlug = page.fileSlug;
    record.relativeFilePath = page.relativeFilePath;
    return record;
}

std::string pageFileName(const velto::VeltoLibraryPageRecord &record) {
    if (record.relativeFilePath) {
        return *record.relativeFilePath;
    }
    std::string name = pageFileStem(record);
    if (record.fileSlug) {
        name += "-" + *record.fileSlug;
    }
    return name + "-" + record.id.lowercaseText().substr(0, 8) + ".md";
}

bool isManagedPageFileName(std::string_view relativePath) {
    if (relativePath.starts_with("/")) {
        return false;
    }
    if (!velto::text::lowercased(relativePath).ends_with(".md")) {
        return false;
    }
    auto pieces = velto::text::splitKeepingEmpty(relativePath, "/");
    for (auto piece : pieces) {
        if (piece.empty() || piece == "." || piece == "..") {
            return false;
        }
    }
    return pieces.front() != ".velto";
}

bool recordActivityPrecedes(const velto::VeltoLibraryPageRecord &a, const velto::VeltoLibraryPageRecord &b) {
    velto::Date activityOfA = a.updatedAt.value_or(a.createdAt);
    velto::Date activityOfB = b.updatedAt.value_or(b.createdAt);
    if (activityOfA != activityOfB) {
        return activityOfA > activityOfB;
    }
    if (a.createdAt != b.createdAt) {
        return a.createdAt > b.createdAt;
    }
    // Byte order of UUIDs is the order of their upper-case texts.
    return a.id < b.id;
}

} // namespace VeltoPageLibrary
