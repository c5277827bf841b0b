#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <string_view>

namespace VeltoPageLibrary {

/// The one way from a page file name relative to the Pages folder to the file's path. The path lies
/// inside the folder, also through symbolic links: a folder on the way, or the file itself, that links
/// outside (even a link whose target does not exist yet) is refused with
/// LibraryMetadataError::unsafePagePath, as is a name that isManagedPageFileName rejects. A page file that
/// is a link to a file inside the folder keeps its link path.
///
/// When nothing is there under the name byte for byte, the file and folders on its way are taken as the
/// folder spells them (canonicallyMatchingRelativePath: the other Unicode form, as a folder synced from
/// another platform may hold it), so that reading and writing use the file that is there instead of a
/// second one beside it; the name found passes the same checks.
std::filesystem::path pageURL(std::string_view relativeFilePath, const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager = velto::defaultFileSystem());

/// pageURL for many names in one folder: the folder's own links are resolved once.
class PageURLResolver {
public:
    PageURLResolver(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

    /// pageURL(relativeFilePath, folderURL).
    std::filesystem::path url(std::string_view relativeFilePath) const;

    /// The folder with every link on its way followed: where the page files lie.
    const std::filesystem::path &folder() const { return root; }

private:
    struct ResolvedURL {
        std::filesystem::path url;
        bool exists = false; // an entry is there under this very name, a dangling link included
    };

    /// The checked path of exactly this name.
    ResolvedURL resolvedURL(std::string_view relativeFilePath) const;

    std::filesystem::path root;
    velto::FileSystem &fileManager;
};

/// The path with every symbolic link followed, dangling ones included, and "." and ".." resolved; the parts
/// that do not exist are kept as written. A loop or an unreadable link leaves the rest unresolved.
std::filesystem::path resolvingAllLinks(const std::filesystem::path &path, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
