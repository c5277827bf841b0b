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

/// Why a page's file cannot be had through a symbolic link, in the words of the notice that names the files a load
/// could not read.
inline constexpr const char *linkOutsideReason = "It is a symbolic link to a place outside the Pages folder.";
inline constexpr const char *linkOutsideToNothingReason =
    "It is a symbolic link to a file that isn’t there, outside the Pages folder.";
inline constexpr const char *linkLoopReason = "It is a symbolic link that leads round in a loop.";
inline constexpr const char *folderLinkOutsideReason =
    "It lies in a folder that is a symbolic link to a place outside the Pages folder.";
inline constexpr const char *folderLinkLoopReason =
    "It lies in a folder that is a symbolic link leading round in a loop.";
inline constexpr const char *linkToNothingReason = "It is a symbolic link to a file that isn’t there.";

/// Why the symbolic link at `url`, which leads out of the folder, is no page: linkOutsideToNothingReason when nothing
/// is where it leads (so that the user looks for what is missing), linkOutsideReason otherwise.
const char *linkOutsideReasonFor(const std::filesystem::path &url, velto::FileSystem &fileManager);

/// pageURL for the file of one page. A name that the metadata itself puts outside the folder is refused as
/// pageURL refuses it. A managed name whose file, or a folder on its way, is a symbolic link out of the folder
/// or round in a loop, or whose file is a link to nothing, throws PageFileError::unreadable naming the file and the
/// link: that page's file can be neither read nor written, and the page is left aside on its own while the rest of
/// the library loads and saves (a user links a note to a synced folder, a slip makes a loop, a file moved away and
/// linked back is gone; the link itself stays as it is). A link to nothing is no file that is missing for a moment,
/// as a sync replacing a file leaves it: it stays as it is until someone mends it, so it is named at once.
std::filesystem::path pageFileURL(std::string_view relativeFilePath, const std::filesystem::path &folderURL,
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
