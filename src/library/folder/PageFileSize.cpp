#include "library/folder/PageFileSize.h"

#include "model/LibraryErrors.h"

#include <cerrno>
#include <cstdint>
#include <string>

namespace VeltoPageLibrary {

namespace {

/// The file text of the front-matter block alone, with the content's line ending and byte-order mark.
velto::VeltoPageFileContent blockOf(const velto::VeltoPageFileContent &content) {
    return {content.frontMatter, {}, content.lineEnding, content.byteOrderMark};
}

/// The size of a file of `fileBytes` bytes that begins as `content` once its block carries all the metadata.
std::uint64_t sizeWithAllMetadata(std::uint64_t fileBytes, const velto::VeltoPageFileContent &content) {
    // Only the block changes: its size before and after writing the metadata tells what the whole file gains. Every
    // identifier is as long as any other.
    velto::VeltoPageFileContent block = blockOf(content);
    std::size_t before = block.fileContentsSize();
    block.writeVeltoMetadata(content.veltoPageID().value_or(velto::Uuid{}), true,
                             content.conflictOriginalPageID().value_or(velto::Uuid{}));
    std::size_t after = block.fileContentsSize();
    // The old flat keys give way to the mapping: a block may also get smaller.
    return fileBytes - before + after;
}

} // namespace

std::size_t fileSizeWithAllMetadata(const velto::VeltoPageFileContent &content) {
    return sizeWithAllMetadata(content.fileContentsSize(), content);
}

bool fileLeavesRoomForMetadata(std::uint64_t fileBytes, const velto::VeltoPageFileContent &beginning) {
    return fileBytes <= largestPageFileBytes && sizeWithAllMetadata(fileBytes, beginning) <= largestPageFileBytes;
}

bool leavesRoomForMetadata(const velto::VeltoPageFileContent &content) {
    // Every page is loaded through here: one far below the limit is not measured. Written, its body at most doubles
    // (each "\n" as "\r\n"), and the metadata adds "velto:" and three lines each indented at most as deep as the
    // block is long, all doubled too, after a byte-order mark.
    std::size_t frontMatterBytes = content.frontMatter ? content.frontMatter->size() : 0;
    std::size_t mostWritten = 2 * (content.body.size() + 4 * frontMatterBytes + 256) + 3;
    return mostWritten <= largestPageFileBytes || fileSizeWithAllMetadata(content) <= largestPageFileBytes;
}

std::string noRoomForIdentifierReason() {
    return "It is too large for a page: Velto writes the page’s identifier into its file, and with it the file "
           "would be larger than the " +
           std::to_string(largestPageFileBytes / (1024 * 1024)) + " MiB that Velto opens.";
}

void requireRoomForMetadata(const std::filesystem::path &url, const velto::VeltoPageFileContent &content) {
    if (!leavesRoomForMetadata(content)) {
        // Named apart from "File too large": the file is under the limit that the other notices name.
        throw velto::PageFileError::unreadable(url, noRoomForIdentifierReason(), EFBIG);
    }
}

void requireRoomForMetadata(const std::filesystem::path &url, std::string_view fileText) {
    // Neither the body nor the block is longer than the file: the bound of leavesRoomForMetadata with both at most
    // the file's size.
    if (2 * (5 * fileText.size() + 256) + 3 <= largestPageFileBytes) {
        return;
    }
    requireRoomForMetadata(url, velto::VeltoPageFileContent::parse(fileText));
}

PageFileTooLargeError::PageFileTooLargeError(const std::filesystem::path &url)
    : std::runtime_error("This page is too large to save: its file \u201c" + url.filename().string() +
                         "\u201d, with room for the page\u2019s identifier, would be larger than the " +
                         std::to_string(largestPageFileBytes / (1024 * 1024)) +
                         " MiB that Velto opens. Take some text out, and Velto saves the page again.")
    , url_(url) {}

void requireFitsAsPageFile(const std::filesystem::path &url, std::size_t writtenBytes,
                           const velto::VeltoPageFileContent &content) {
    if (writtenBytes > largestPageFileBytes || !leavesRoomForMetadata(content)) {
        throw PageFileTooLargeError(url);
    }
}

} // namespace VeltoPageLibrary
