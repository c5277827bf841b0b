#pragma once

#include "library/load/FolderChangeReplay.h"
#include "library/load/LoadResult.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace VeltoPageLibrary {

/// Makes a library of a folder whose metadata cannot serve (none at all, a damaged manifest, no page record):
/// every usable Markdown file becomes a page record, a fresh manifest, deletion index and writer journal are
/// written, and the library is then loaded under the same lock. With `preservingCorruptManifest` the old
/// manifest is first moved to "manifest.recovery-<uuid>.json". Page files are never written.
/// `missing` when no file yields a page, naming the Markdown files that could not be read. Never throws: a file still
/// on its way fails as temporarilyUnavailable, anything else as corrupt.
VeltoLibraryLoadResult rebuildLibraryMetadata(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                                              velto::Date now, bool preservingCorruptManifest,
                                              const CheckpointOperation &checkpointOperation = nullptr);

/// The page identifiers that surviving metadata records for page file paths (the first record of a path
/// wins), so that a rebuilt file without an identifier in its front matter keeps its page.
class RecordedPageIDs {
public:
    RecordedPageIDs() = default;
    explicit RecordedPageIDs(const velto::VeltoLibraryManifest &manifest);

    /// The identifier recorded for the path, also when the name was written in the other Unicode form.
    std::optional<velto::Uuid> at(const std::string &relativePath) const;

private:
    std::map<std::string, velto::Uuid> idsByPath;
    std::map<std::string, velto::Uuid> idsByCanonicalPath;
};

/// The manifest of the Markdown files in the folder: one record per non-empty, readable page file, pages of
/// deleted pages left out, a repeated identifier replaced by a new one (the file first in path order keeps
/// it), a file without an identifier given the one `recordedPageIDs` holds for its path when no file carries
/// it (else a new one), the most recently active page that is not archived as current page. Nothing when the folder
/// cannot be listed or no file yields a record. The files that cannot be read (no permission, too large, not UTF-8
/// text) and the entries that cannot be pages are left out and, when `unreadableFiles` is given, listed there in
/// path order.
std::optional<velto::VeltoLibraryManifest>
rebuildingManifestFromMarkdown(const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
                               const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
                               const RecordedPageIDs &recordedPageIDs = {},
                               std::vector<VeltoUnreadablePageFile> *unreadableFiles = nullptr);

} // namespace VeltoPageLibrary
