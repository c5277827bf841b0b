#pragma once

#include "library/load/LoadResult.h"
#include "library/load/PageAvailability.h"
#include "model/DeletionIndex.h"
#include "model/LibraryManifest.h"
#include "model/MissingFileObservation.h"
#include "model/PageFileContent.h"
#include "platform/Clock.h"
#include "platform/Date.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace VeltoPageLibrary {

/// The text of an active page whose file discovery has just read whole, so that loading the page does not
/// read it again.
struct DiscoveredText {
    std::string relativePath;
    std::optional<std::string> contentChecksum;
    velto::VeltoPageFileContent content;

    friend bool operator==(const DiscoveredText &, const DiscoveredText &) = default;
};

/// The manifest brought into line with the Markdown files present, and the pages that this changed.
struct MarkdownDiscovery {
    velto::VeltoLibraryManifest manifest;
    /// Pages whose record was created, changed or displaced, and the identifiers of files of deleted pages.
    std::set<velto::Uuid> changedPageIDs;
    /// Pages removed because they are deleted or their file stayed missing.
    std::set<velto::Uuid> removedPageIDs;
    /// The texts of the active pages whose files this discovery read, by page.
    std::map<velto::Uuid, DiscoveredText> discoveredTexts;
    /// The Markdown files that could not be read, and the entries named like page files that cannot be pages
    /// (passedOverEntry), in path order; they were left as they are.
    std::vector<VeltoUnreadablePageFile> unreadableFiles;

    friend bool operator==(const MarkdownDiscovery &, const MarkdownDiscovery &) = default;
};

/// How long a page file may stay missing before its page is taken for removed: a file that a sync is
/// replacing is gone only for a moment.
inline constexpr double missingFileGraceSeconds = 10.0;

/// Reconciles the manifest with the Markdown files in the folder (all of them, or only the changed paths,
/// relative to the folder with "/" separators). Other programs add, edit, move, copy and delete page files:
/// new files become pages, edited ones refresh their records, a moved file keeps its page by the identifier
/// in its front matter, a file that repeats a taken identifier gets a new one, files of deleted pages are
/// ignored, and a record that names a file another page was found in is dropped. A page whose file is missing is
/// removed only once the file has been missing for 10 seconds by `now`; until then the whole discovery throws
/// PageFileError::temporarilyUnavailable, and a missing-file observation remembers the first sighting. Page files are
/// read, never written.
///
/// A file that cannot be read as UTF-8 text is listed in `unreadableFiles` and keeps the page recorded at its
/// path, if any. Throws LibraryMetadataError::unsafePagePath for a path outside the folder, and the
/// availability operation's and file system's errors. A
/// folder that cannot be listed leaves the manifest as it is.
MarkdownDiscovery reconcilingDiscoveredMarkdown(
    const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL, velto::FileSystem &fileManager,
    const std::map<velto::Uuid, velto::VeltoDeletionTombstone> &activeTombstones,
    const std::map<velto::Uuid, velto::VeltoMissingFileObservation> &missingFileObservations, velto::Date now,
    const std::optional<std::set<std::string>> &changedRelativePaths,
    const AvailabilityOperation &availabilityOperation, const velto::Clock &clock = velto::systemClock());

/// The archive date of a discovered page: none when it is not archived; the recorded date when it was
/// archived before; else the file's modification date, or `now` without one.
std::optional<velto::Date> reconciledArchivedAt(bool isArchived, const velto::VeltoLibraryPageRecord *existingRecord,
                                                std::optional<velto::Date> modificationDate, velto::Date now);

} // namespace VeltoPageLibrary
