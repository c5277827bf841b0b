#include "library/CanonicalFileLookup.h"

#include "platform/Text.h"

#include <optional>
#include <vector>

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
    if (!velto::text::isValidUTF8(name)) {
        return std::nullopt;
    }
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

std::string canonicallyMatchingRelativePath(const std::filesystem::path &folderURL, std::string_view relativePath,
                                            velto::FileSystem &fileManager) {
    std::filesystem::path url = folderURL;
    std::vector<std::string> components;
    bool matching = true;
    for (auto component : velto::text::splitKeepingEmpty(relativePath, "/")) {
        std::string name(component);
        if (matching && !exists(url / name, fileManager)) {
            auto entry = canonicallyEqualEntry(url, name, fileManager);
            matching = entry.has_value();
            name = entry.value_or(name);
        }
        url /= name;
        components.push_back(std::move(name));
    }
    return velto::text::join(components, "/");
}

} // namespace VeltoPageLibrary
