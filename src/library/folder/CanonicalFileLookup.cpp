#include "library/folder/CanonicalFileLookup.h"

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

/// Whether a name other than this one can be canonically equal to it. A name of ASCII characters has no
/// other spelling but through the only three characters whose canonical decomposition is ASCII: U+037E
/// (";"), U+1FEF ("`") and U+212A ("K"). So the names the library composes itself, such as
/// "2026-01-05-1a2b3c4d.md", never cost a listing of their folder.
bool hasOtherCanonicalSpellings(std::string_view name) {
    for (char character : name) {
        if (static_cast<unsigned char>(character) >= 0x80 || character == ';' || character == '`' || character == 'K') {
            return true;
        }
    }
    return false;
}

/// The entry of the directory that is canonically equal to the name; nothing when there is none.
std::optional<std::string> canonicallyEqualEntry(const std::filesystem::path &directoryURL, std::string_view name,
                                                 velto::FileSystem &fileManager) {
    if (!hasOtherCanonicalSpellings(name) || !velto::text::isValidUTF8(name)) {
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
