#pragma once

#include "model/LibraryPageRecord.h"
#include "model/Page.h"
#include "platform/FileSystem.h"

#include <cstddef>
#include <filesystem>
#include <optional>

namespace VeltoPageLibrary {

/// An archived page costs at most this many bytes of reading, however long its file.
inline constexpr std::size_t archivedSummaryPrefixBytes = 65'536;

/// The preview of an archived page holds at most this many characters of its body.
inline constexpr std::size_t archivedPreviewCharacters = 2'048;

/// The summary of an archived page from the first 65,536 bytes of its file: the first 2,048 characters of
/// the body as preview, the file's size, and the record's content flag and checksums. Nothing when those
/// bytes do not show an archived front matter (another writer restored the page, or the front matter runs
/// past the prefix): the caller then reads the page whole. An open or read failure throws
/// PageFileError::unreadable; a failure to read the file's attributes throws as it comes.
std::optional<velto::VeltoArchivedPageSummary> archivedSummary(const std::filesystem::path &fileURL,
                                                               const velto::VeltoLibraryPageRecord &record,
                                                               velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
