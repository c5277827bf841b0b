#pragma once

#include "library/save/SaveResult.h"
#include "library/save/SharedText.h"
#include "platform/FileSystem.h"
#include "platform/Uuid.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The page files of a save reach the disk here. Other programs take no lock of ours: a file the save checked may
// change again before it is replaced, so each checked file is replaced only while it still holds what the check
// read.
namespace VeltoPageLibrary {

/// Another program changed, removed or created a page file between the save's check of it and its replacement.
/// The save stopped there, before its journal and the manifest: the other program's file is as it left it, and
/// the store saves again once it has taken that change in. The conflict pages the save had made went with it,
/// unless their text was to be had nowhere else: those stay and are named here.
class PageFileChangedDuringSaveError : public std::runtime_error {
public:
    PageFileChangedDuringSaveError(const std::filesystem::path &url, bool earlierFilesWritten,
                                   std::vector<VeltoSaveConflict> keptConflicts = {});

    const std::filesystem::path &url() const { return url_; }
    /// Whether files the save wrote before it met the change are still there: one that left none can start over.
    bool earlierFilesWritten() const { return earlierFilesWritten_; }
    /// The conflict copies and recovered pages the save wrote that stay in the folder, as a save reports them.
    const std::vector<VeltoSaveConflict> &keptConflicts() const { return keptConflicts_; }

private:
    std::filesystem::path url_;
    bool earlierFilesWritten_;
    std::vector<VeltoSaveConflict> keptConflicts_;
};

/// What a save's checks found at each page file they looked at: its bytes, or nothing where no file was. A file
/// found holding its page's baseline shares the baseline's text instead of a copy of it.
using ObservedPageFiles = std::map<std::filesystem::path, std::optional<SharedText>>;

/// One page file to write: where, the text (held by the caller until the files are written), and whose page it is.
struct PageFileWrite {
    std::filesystem::path url;
    std::string_view text;
    velto::Uuid pageID;
};

/// A page file that refused its replacement on its own account: the file, or the folder it lies in, may not be
/// written, or the file taken out for comparison could not be read. The save's other files were written.
struct RefusedPageFile {
    std::filesystem::path url;
    std::string description; // the user-facing sentence, naming the file
    bool folderRefuses = false;
    bool unreadable = false; // the file taken out could not be read back
};

/// Writes the files. One that `observed` names (what the save's check read there: bytes, or nothing for no
/// file) is replaced only while it still holds exactly that, otherwise PageFileChangedDuringSaveError is thrown
/// (where the replacement left another program's file aside holding a line the page's file lacks, it is kept as a
/// conflict copy of the page that the error names, and counts as a file written);
/// the others (new pages, conflict copies) are written as they are. The new files go first, so that a conflict
/// copy is on disk before the page whose other version it keeps is replaced. Each observed file replaced goes
/// into `replaced`, so that a caller that meets the error knows which were. An observed file that refuses its
/// replacement on its own account goes into `refused`, when given, and the other files are written on; without
/// it, its error is thrown. New files (conflict copies among them) are never passed over: a refusal there is the
/// folder's, and it is thrown before any page is replaced. Only a file that is there already without having been
/// observed (a recovery writes every page) and refuses on its own account goes into `refused` too.
///
/// Every file is written beneath `pagesFolder` (the Pages folder with the links on its way followed, where the files'
/// paths lie) and never outside it: a folder on the way that is moved out and linked back meanwhile fails the save,
/// and a page file that is a link to another file of the folder has that file written, the link staying a link.
void writePageFiles(const std::vector<PageFileWrite> &files, const ObservedPageFiles &observed,
                    const std::filesystem::path &pagesFolder, velto::FileSystem &fileManager,
                    std::set<std::filesystem::path> &replaced, std::vector<RefusedPageFile> *refused = nullptr);

} // namespace VeltoPageLibrary
