#pragma once

#include "library/save/PageFileWrites.h"
#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"
#include "model/LibraryPageRecord.h"
#include "model/Page.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Between the moment the store last saw a page file and the moment its save reaches the disk, another
// writer may have changed that file. These steps of a save bring such changes in before any page file is
// written, so that no one's text is silently overwritten. They read page files and write none.
namespace VeltoPageLibrary {

/// Where the text of a conflict page (a conflict copy or a recovered page) was found, so that a save that fails
/// after writing it can tell whether that text is still to be had without it.
struct ConflictPageOrigin {
    /// The page file whose text a conflict copy keeps; for a recovered page, the file that had gone or emptied.
    std::filesystem::path source;
    /// The conflict page's file was there already, left by an earlier attempt of the same save.
    bool fileExisted = false;

    friend bool operator==(const ConflictPageOrigin &, const ConflictPageOrigin &) = default;
};

/// A save request with the other writers' changes folded in, and what that took.
struct VeltoResolvedDiskChanges {
    /// The request with merged pages, conflict pages and their marks; absent when the request comes through
    /// unchanged (no copy of a document that may hold megabytes of text is made then).
    std::optional<VeltoSaveRequest> request;
    std::vector<VeltoSaveConflict> conflicts;              // in the order the pages were handled
    std::map<velto::Uuid, velto::Uuid> pageIDReplacements; // conflicting page to recovered page
    std::map<velto::Uuid, velto::VeltoPage> mergedPages;
    std::vector<VeltoPageLeftUnread> pagesLeftUnread; // recorded pages whose unreadable files stay as they are
    /// Pages whose files refuse to be changed while holding exactly what the store holds, but for the identifier a
    /// save would add: nothing typed is at stake, so the save leaves each file as it is and records the page as
    /// this text, by page.
    std::map<velto::Uuid, std::string> pagesLeftAsTheirFilesHoldThem;
    /// The save replaces a file the checks read only while it still holds exactly what they read.
    ObservedPageFiles observedPageFiles;
    std::map<velto::Uuid, ConflictPageOrigin> conflictPageOrigins; // by the conflict page's identifier
    /// By removed page, the checksum (contentChecksum) of the bytes its file may hold as it goes: the store's
    /// baseline, or, for a page without one, what the check read there. The file goes only while it holds them.
    std::map<velto::Uuid, std::string> removedPageFileChecksums;

    friend bool operator==(const VeltoResolvedDiskChanges &, const VeltoResolvedDiskChanges &) = default;
};

/// The file of a page as a save finds it: the page's file name, else the name without the slug (a file
/// made before the page had one). `url` is the first when neither exists.
struct LocatedPageFile {
    std::filesystem::path url;
    bool exists = false;
    bool underPageFileName = false; // the name the save writes the page to, whether or not it exists
};

/// When a save compares a page file that looks as the store last saw it (a file of its baseline's size, under
/// the name the save writes) with that baseline.
enum class BaselineComparison {
    /// Before anything is written.
    beforeWriting,
    /// Only when the replacement swaps the file out, which compares it in any case. For a save whose only write
    /// before its journal is that file: a difference found there has written nothing yet, and the save starts
    /// over comparing before writing.
    atReplacement,
};

/// Where the page's file is: its name, else the name without the slug, each checked with pageFileURL, whose refusal
/// is thrown (PageFileError::unreadable for a file behind a link out of the folder or round in a loop).
LocatedPageFile locatePageFile(const velto::VeltoPage &page, const std::filesystem::path &folderURL,
                               velto::FileSystem &fileManager);

/// A page file's whole text, which must be UTF-8 (PageFileError::unreadable otherwise, or for a read error).
std::string pageFileText(const std::filesystem::path &url, velto::FileSystem &fileManager);

/// For each page whose only change is its archive flag, the text on disk with only that flag set to the
/// store's value, so that an archive or restore never undoes another writer's edit. A page without a file
/// is written as the store holds it. What was read at each file goes into `observed` when given. Read errors are
/// thrown; with `pagesNotSaved` given, a file that cannot be read on its own account (or has no room for the flag)
/// leaves its page's change out of the request and is named there instead.
VeltoSaveRequest
mergingLatestContentsForArchiveMetadataChanges(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                               velto::FileSystem &fileManager, ObservedPageFiles *observed = nullptr,
                                               std::vector<VeltoPageNotSaved> *pagesNotSaved = nullptr);

/// Compares every other changed page that has an expected baseline with its file. An unchanged file gets
/// the store's version; a changed one is merged line by line against the baseline; when that fails both
/// versions survive: the disk's text as a conflict copy ("conflict-of" naming the page), or, when the file
/// has gone or been emptied, the store's text as a recovered page in the page's place. A file that another
/// program replaced with one that cannot be read (too large, not UTF-8 text, no permission to read it) is never
/// written over: the store's text becomes a recovered page in the page's place too, while the page stays recorded
/// at that file, which the save leaves as it is (`pagesLeftUnread`). A file that refuses to be changed (its owner
/// made it read-only) while it holds the page as the store does, but for the identifier, is no conflict: the page
/// is saved as its file holds it (`pagesLeftAsTheirFilesHoldThem`), so only typed text is ever recovered beside
/// it. Conflict pages get identifiers from the
/// save's operation, so a repeated save finds and reuses the file of its first attempt.
///
/// `pagesWrittenWithoutChangeMark` are pages that the save writes although the store did not mark them
/// (a folder without a manifest gets every page): each is compared with its own held text as baseline, and
/// a file that another program changed is merged (which gives the disk's text) instead of being overwritten.
///
/// A removed page still loses its file, but when another writer changed that file since the baseline the
/// store expects, the disk's text is kept as a conflict copy ("conflict-of" naming the removed page). A baseline
/// with a checksum is noted in `removedPageFileChecksums` without reading the file: its removal reads it as it
/// goes and makes that copy. A baseline without one has the file read here, and the copy made now.
/// The file is the one `recordedPages` (the manifest on disk) names for the page, which is the file the
/// deletion removes; a page without a record or without an expected baseline has nothing to keep.
/// pageURL refusals and read errors are thrown.
VeltoResolvedDiskChanges
resolvingConcurrentDiskChanges(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                               velto::FileSystem &fileManager,
                               const std::set<velto::Uuid> &pagesWrittenWithoutChangeMark = {},
                               const std::map<velto::Uuid, velto::VeltoLibraryPageRecord> &recordedPages = {},
                               BaselineComparison comparison = BaselineComparison::beforeWriting);

/// The identifier of the conflict copy or recovered page that one save makes for one page: the first 16
/// bytes of SHA-256("velto-conflict-copy-v1" + operation bytes + page bytes) as a version-5 UUID.
velto::Uuid deterministicConflictPageID(const velto::Uuid &operationID, const velto::Uuid &originalPageID);

} // namespace VeltoPageLibrary
