#pragma once

#include "model/Document.h"
#include "platform/FileSystem.h"

#include <filesystem>

// The copy room owns a folder offered as the Pages folder: assessing what it holds and whether it may be connected,
// copying a whole library into it, and what a copy killed on the way left there (noted as it writes, cleared by the
// proof of its bytes). It calls every room below it: a copy loads the source as the load room does and writes the
// destination as one save.
namespace VeltoPageLibrary {

/// Copies the library of `sourceURL` into `destinationURL`, which must not hold a library yet (a ".velto"
/// with anything in it, or one that cannot be listed, throws VeltoLibraryConnectionError::
/// destinationContainsLibrary). Under the exclusive locks of both folders the source is loaded as a full
/// load does, every archived page is read whole, and everything is written into the destination as one save
/// of this process's writer. Returns the copied document. A source that cannot be loaded throws
/// sourceLibraryUnavailable with the load's message ("Its manifest is missing." for no library). What a copy that
/// never finished left in the destination is cleared first; when a file it left was changed since, nothing is
/// cleared or written and unfinishedCopyChanged names the file.
velto::VeltoDocument copyLibrary(const std::filesystem::path &sourceURL, const std::filesystem::path &destinationURL,
                                 velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
