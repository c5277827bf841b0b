#pragma once

#include "model/PageFileContent.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

// How large a page file may be. Velto writes into a page file without anything typed: the identifier into a file
// that another program made, the archive flag when a page goes unused for weeks, and a conflict copy is the page's
// text with the origin added. A file read as a page keeps room for all of these, and a file written is one that
// reading accepts, or a page Velto opened once would be refused at the next launch.
namespace VeltoPageLibrary {

/// The largest page file that Velto reads or writes: what the file system reads whole.
inline constexpr std::size_t largestPageFileBytes = velto::largestReadableFileBytes;

/// The size of the page's file once Velto has written all its metadata into it: its identifier, the archive flag
/// and a conflict copy's origin. The file as it is held when it carries them already.
std::size_t fileSizeWithAllMetadata(const velto::VeltoPageFileContent &content);

/// The same for a file of `fileBytes` bytes of which only the beginning, holding its whole front matter, was read:
/// whether the load would take it rather than name it as too large.
bool fileLeavesRoomForMetadata(std::uint64_t fileBytes, const velto::VeltoPageFileContent &beginning);

/// Whether the page's file stays within largestPageFileBytes whatever metadata Velto writes into it.
bool leavesRoomForMetadata(const velto::VeltoPageFileContent &content);

/// Why a file under largestPageFileBytes is no page: "It is too large for a page: Velto writes the page’s identifier
/// into its file, and with it the file would be larger than the 64 MiB that Velto opens."
std::string noRoomForIdentifierReason();

/// For a reader of the page file at `url`: throws PageFileError::unreadable (noRoomForIdentifierReason, with the
/// code of a file larger than the limit) unless the page read leaves room for its metadata. Such a file stays as
/// it is.
void requireRoomForMetadata(const std::filesystem::path &url, const velto::VeltoPageFileContent &content);

/// The same for a file's whole text as read; only a text large enough to come near the limit is parsed.
void requireRoomForMetadata(const std::filesystem::path &url, std::string_view fileText);

/// A save that would make a page file larger than reading accepts. Nothing of the save is written; the store
/// keeps the text and saves it once enough was taken out.
class PageFileTooLargeError : public std::runtime_error {
public:
    explicit PageFileTooLargeError(const std::filesystem::path &url);
    const std::filesystem::path &url() const { return url_; }

private:
    std::filesystem::path url_;
};

/// For a writer of the page file at `url`: throws PageFileTooLargeError unless the text made for it
/// (`writtenBytes` long, from `content`) and the page's metadata fit within largestPageFileBytes.
void requireFitsAsPageFile(const std::filesystem::path &url, std::size_t writtenBytes,
                           const velto::VeltoPageFileContent &content);

} // namespace VeltoPageLibrary
