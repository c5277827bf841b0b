#pragma once

#include "library/FolderChangeReplay.h"
#include "library/LoadResult.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <optional>

namespace VeltoPageLibrary {

/// Makes a library of a folder whose metadata cannot serve (none at all, a damaged manifest, no page record):
/// every usable Markdown file becomes a page record, a fresh manifest, deletion index and writer journal are
/// written, and the library is then loaded under the same lock. With `preservingCorruptManifest` the old
/// manifest is first moved to "manifest.recovery-<uuid>.json". Page files are never written.
/// `missing` when no file yields a page. Never throws: a file still on its way fails as
/// temporarilyUnavailable, anything else as corrupt.
VeltoLibraryLoadResult rebuildLibraryMetadata(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                              velto::Date now, bool preservingCorruptManifest,
                                              const CheckpointOperation &checkpointOperation = nullptr);

/// The manifest of the Markdown files in the folder: one record per non-empty, readable page file, pages of
/// deleted pages left out, a repeated identifier replaced by a new one (the file first in path order keeps
/// it), the most recently active page that is not archived as current page. Nothing when the folder cannot be
/// listed or no file yields a record. A file that is not UTF-8 text throws PageFileError::unreadable.
std::optional<velto::VeltoLibraryManifest>
rebuildingManifestFromMarkdown(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                               const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones);

} // namespace VeltoPageLibrary
