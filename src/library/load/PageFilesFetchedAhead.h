#pragma once

// A launch reads and decodes the library's metadata (megabytes of JSON in a library of ten thousand pages) before
// it reads any page file, and from a cold disk the page files then cost as long again. They are asked for at the
// start instead, so that the disk fetches them while the metadata is decoded.

#include "platform/FileSystem.h"

#include <filesystem>
#include <future>

namespace VeltoPageLibrary {

/// Lists the folder and advises the file system that every Markdown file below it will be read, on a thread of
/// its own; the future is ready once every file was named. A file system that does not allow calls from another
/// thread is left alone (the future is empty). Nothing here fails: a folder that can't be listed is simply read
/// later as it would have been.
std::future<void> fetchMarkdownFilesAhead(const std::filesystem::path &folderURL, velto::FileSystem &fileManager);

} // namespace VeltoPageLibrary
