#include "library/folder/PageFileLocation.h"

#include "library/folder/CanonicalFileLookup.h"
#include "library/folder/PageFileNaming.h"
#include "model/LibraryErrors.h"
#include "platform/Text.h"

#include <cerrno>
#include <deque>
#include <optional>
#include <string>
#include <system_error>

namespace VeltoPageLibrary {

namespace {

// The kernel gives up after 40 links too (ELOOP); beyond that the rest of the path is left as written.
constexpr int maximumLinksFollowed = 40;

std::deque<std::string> componentsOf(const std::filesystem::path &path) {
    std::deque<std::string> components;
    for (const auto &element : path.relative_path()) {
        if (!element.empty()) {
            components.push_back(element.string());
        }
    }
    return components;
}

/// The entry itself, a link not followed; nothing when there is none or it cannot be looked at.
std::optional<velto::FileStatus> statusWithoutFollowing(const std::filesystem::path &path,
                                                        velto::FileSystem &fileManager) {
    try {
        return fileManager.status(path, false);
    } catch (const velto::FileSystemError &) {
        return std::nullopt;
    }
}

bool isSymbolicLink(const std::filesystem::path &path, velto::FileSystem &fileManager) {
    auto status = statusWithoutFollowing(path, fileManager);
    return status && status->type == velto::FileType::symbolicLink;
}

bool liesWithin(const std::filesystem::path &path, const std::filesystem::path &root) {
    const std::string &rootText = root.native();
    const std::string &pathText = path.native();
    if (pathText == rootText) {
        return true;
    }
    std::string prefix = rootText.ends_with("/") ? rootText : rootText + "/";
    return pathText.starts_with(prefix);
}

} // namespace

namespace {

/// Follows the pending components one by one from an already resolved directory, following every link on
/// the way, dangling ones included.
std::filesystem::path resolvingComponents(std::filesystem::path resolved, std::deque<std::string> pending,
                                          velto::FileSystem &fileManager) {
    int linksFollowed = 0;
    bool following = true;
    while (!pending.empty()) {
        std::string component = std::move(pending.front());
        pending.pop_front();
        if (component == ".") {
            continue;
        }
        if (component == "..") {
            resolved = resolved.has_relative_path() ? resolved.parent_path() : resolved;
            continue;
        }
        auto candidate = resolved / component;
        if (!following || !isSymbolicLink(candidate, fileManager)) {
            resolved = candidate;
            continue;
        }
        std::error_code error;
        auto target = std::filesystem::read_symlink(candidate, error);
        if (error || ++linksFollowed > maximumLinksFollowed) {
            following = false;
            resolved = candidate;
            continue;
        }
        auto targetComponents = componentsOf(target);
        pending.insert(pending.begin(), targetComponents.begin(), targetComponents.end());
        if (target.is_absolute()) {
            resolved = "/";
        }
    }
    return resolved;
}

} // namespace

std::filesystem::path resolvingAllLinks(const std::filesystem::path &path, velto::FileSystem &fileManager) {
    return resolvingComponents("/", componentsOf(std::filesystem::absolute(path).lexically_normal()), fileManager);
}

PageURLResolver::PageURLResolver(const std::filesystem::path &folderURL, velto::FileSystem &fileManager)
    : root(resolvingAllLinks(folderURL, fileManager))
    , fileManager(fileManager) {}

std::filesystem::path PageURLResolver::url(std::string_view relativeFilePath) const {
    auto exact = resolvedURL(relativeFilePath);
    if (exact.exists) {
        return exact.url;
    }
    // A folder synced from another platform may spell the name in the other Unicode form: the file that is
    // there is the page's, and writing beside it would leave two files for one page. The name found passes
    // every check again.
    auto matchingName = canonicallyMatchingRelativePath(root, relativeFilePath, fileManager);
    if (matchingName == relativeFilePath || !isManagedPageFileName(matchingName)) {
        return exact.url;
    }
    return resolvedURL(matchingName).url;
}

PageURLResolver::ResolvedURL PageURLResolver::resolvedURL(std::string_view relativeFilePath) const {
    const auto unsafe = velto::LibraryMetadataError(velto::LibraryMetadataError::Kind::unsafePagePath);
    if (!isManagedPageFileName(relativeFilePath)) {
        throw unsafe;
    }
    // A managed name has no "." or ".." pieces, so its pieces are the components below the root.
    std::deque<std::string> directories;
    for (auto piece : velto::text::splitKeepingEmpty(relativeFilePath, "/")) {
        directories.emplace_back(piece);
    }
    std::string fileName = std::move(directories.back());
    directories.pop_back();
    auto parent = resolvingComponents(root, std::move(directories), fileManager);
    if (!liesWithin(parent, root)) {
        throw unsafe;
    }
    auto url = parent / fileName;
    auto status = statusWithoutFollowing(url, fileManager);
    // Checked whether or not the link's target is there: one that does not exist yet would otherwise let a
    // later write create a file outside the folder.
    if (status && status->type == velto::FileType::symbolicLink &&
        !liesWithin(resolvingComponents(parent, {fileName}, fileManager), root)) {
        throw unsafe;
    }
    return {url, status.has_value()};
}

std::filesystem::path pageURL(std::string_view relativeFilePath, const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager) {
    return PageURLResolver(folderURL, fileManager).url(relativeFilePath);
}

const char *linkOutsideReasonFor(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    // The link was refused by its texts already: only whether anything is there is asked, to say what is wrong;
    // nothing there is read.
    try {
        if (!fileManager.status(url, true)) {
            return linkOutsideToNothingReason;
        }
    } catch (const velto::FileSystemError &) {
        // A loop or a place that may not be looked at lies out of the folder all the same.
    }
    return linkOutsideReason;
}

namespace {

/// The page file behind a link that cannot be followed: unreadable, named by the entry as the folder spells it.
velto::PageFileError linkedPageFile(const std::filesystem::path &url, const char *fileReason, const char *folderReason,
                                    int systemErrorCode, velto::FileSystem &fileManager) {
    const char *reason = isSymbolicLink(url, fileManager) ? fileReason : folderReason;
    return velto::PageFileError::unreadable(url, reason, systemErrorCode);
}

} // namespace

std::filesystem::path pageFileURL(std::string_view relativeFilePath, const std::filesystem::path &folderURL,
                                  velto::FileSystem &fileManager) {
    if (!isManagedPageFileName(relativeFilePath)) {
        throw velto::LibraryMetadataError(velto::LibraryMetadataError::Kind::unsafePagePath);
    }
    std::filesystem::path url;
    try {
        url = pageURL(relativeFilePath, folderURL, fileManager);
    } catch (const velto::LibraryMetadataError &) {
        // The name is the library's own: only a link on disk leads it out of the folder.
        const std::filesystem::path linked = folderURL / std::string(relativeFilePath);
        throw linkedPageFile(linked, linkOutsideReasonFor(linked, fileManager), folderLinkOutsideReason, 0,
                             fileManager);
    }
    // A loop ends inside the folder as far as the link texts tell; only following it finds that it never ends, and
    // a link whose target is gone.
    std::optional<velto::FileStatus> target;
    try {
        target = fileManager.status(url, true);
    } catch (const velto::FileSystemError &error) {
        if (error.code() == ELOOP) {
            throw linkedPageFile(url, linkLoopReason, folderLinkLoopReason, ELOOP, fileManager);
        }
        return url;
    }
    if (!target && isSymbolicLink(url, fileManager)) {
        throw velto::PageFileError::unreadable(url, linkToNothingReason);
    }
    return url;
}

} // namespace VeltoPageLibrary
