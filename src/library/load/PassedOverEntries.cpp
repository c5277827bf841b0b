#include "library/load/PassedOverEntries.h"

#include "model/LibraryErrors.h"
#include "platform/Text.h"

#include <cerrno>

namespace VeltoPageLibrary {

namespace {

constexpr const char *notUTF8Name = "Its name isn’t UTF-8 text, so Velto can’t keep track of it.";
constexpr const char *notRegularFile = "It isn’t a regular file but a named pipe, socket or device.";
constexpr const char *linkToNoFile = "It is a symbolic link to something that isn’t a regular file.";

/// What a symbolic link leads to, followed no further than the folder allows; nothing when it leads to a file of
/// the folder.
std::optional<std::string> linkReason(const velto::DirectoryEntry &entry, const std::filesystem::path &url,
                                      const PageURLResolver &pageURLs, velto::FileSystem &fileManager) {
    // Where the link leads is worked out from the link texts alone, so that a link out of the folder is refused
    // before anything there is read.
    try {
        pageURLs.url(entry.relativePath);
    } catch (const velto::LibraryMetadataError &) {
        return linkOutsideReasonFor(url, fileManager);
    }
    std::optional<velto::FileStatus> target;
    try {
        target = fileManager.status(url, true);
    } catch (const velto::FileSystemError &error) {
        if (error.code() == ELOOP) {
            return linkLoopReason;
        }
        return error.localizedDescription();
    }
    if (!target) {
        return linkToNothingReason;
    }
    if (target->type != velto::FileType::regular) {
        return linkToNoFile;
    }
    return std::nullopt;
}

/// Why an entry that is neither a folder nor a regular file is passed over; nothing when it has gone meanwhile.
std::optional<std::string> reasonByType(const velto::DirectoryEntry &entry, const std::filesystem::path &url,
                                        const PageURLResolver &pageURLs, velto::FileSystem &fileManager) {
    if (entry.type == velto::FileType::symbolicLink) {
        return linkReason(entry, url, pageURLs, fileManager);
    }
    if (entry.type != velto::FileType::other) {
        return std::nullopt;
    }
    // A listing names an entry that vanished before it was looked at as "other": it is no pipe.
    try {
        if (!fileManager.status(url, false)) {
            return std::nullopt;
        }
    } catch (const velto::FileSystemError &error) {
        return error.localizedDescription();
    }
    return notRegularFile;
}

} // namespace

std::optional<VeltoUnreadablePageFile> passedOverEntry(const velto::DirectoryEntry &entry,
                                                       const std::filesystem::path &folderURL,
                                                       const PageURLResolver &pageURLs,
                                                       velto::FileSystem &fileManager) {
    if (entry.type == velto::FileType::directory) {
        return std::nullopt;
    }
    if (!velto::text::isValidUTF8(entry.relativePath)) {
        return VeltoUnreadablePageFile{velto::text::decodingUTF8Lossy(entry.relativePath), notUTF8Name};
    }
    if (auto reason = reasonByType(entry, folderURL / entry.relativePath, pageURLs, fileManager)) {
        return VeltoUnreadablePageFile{entry.relativePath, *reason};
    }
    return std::nullopt;
}

} // namespace VeltoPageLibrary
