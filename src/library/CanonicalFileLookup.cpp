#include "library/CanonicalFileLookup.h"

#include "platform/Text.h"

#include <string>

namespace VeltoPageLibrary {

namespace {

bool exists(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    try {
        return fileManager.status(url, false).has_value();
    } catch (const velto::FileSystemError &) {
        return false;
    }
}

/// The entry of the directory that is canonically equal to the name; nothing when there is none.
std::optional<std::string> canonicallyEqualEntry(const std::filesystem::path &directoryURL, std::string_view name,
                                                 velto::FileSystem &fileManager) {
    std::vector<std::string> entries;
    try {
        entries = fileManager.contentsOfDirectory(directoryURL);
    } catch (const velto::FileSystemError &) {
        return std::nullopt;
    }
    for (const auto &entry : entries) {
        if (velto::text::isValidUTF8(entry) && velto::text::canonicallyEqual(entry, name)) {
            return entry;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> canonicallyMatchingFileURL(const std::filesystem::path &folderURL,
                                                                std::string_view relativePath,
                                                                velto::FileSystem &fileManager) {
    std::filesystem::path url = folderURL;
    for (auto component : velto::text::splitKeepingEmpty(relativePath, "/")) {
        std::filesystem::path exact = url / std::string(component);
        if (exists(exact, fileManager)) {
            url = exact;
            continue;
        }
        if (!velto::text::isValidUTF8(component)) {
            return std::nullopt;
        }
        auto entry = canonicallyEqualEntry(url, component, fileManager);
        if (!entry) {
            return std::nullopt;
        }
        url /= *entry;
    }
    return url;
}

} // namespace VeltoPageLibrary
