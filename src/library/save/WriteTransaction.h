#pragma once

#include "library/removal/PendingDeletions.h"
#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

// The save room owns writing a store's document into the Pages folder: the save request and its result, the write
// transaction under the library lock, other writers' changes met on disk and merged or kept as conflict pages, the
// page files written, and the save's entries merged into the manifest and recorded in the writer's journal. It calls
// the rooms below it: folder, metadata, removal (every file a save takes away goes by its rule) and load (a changed
// page file is read as the load reads it).
namespace VeltoPageLibrary {

/// Two pages of one save would be written to the same page file, and the second would replace the first's
/// text. Metadata that other writers or programs left inconsistent can give two pages one file name; the
/// save then stops before it writes any page, so that both texts stay with the store.
class SharedPageFileError : public std::runtime_error {
public:
    explicit SharedPageFileError(const std::string &relativeFilePath)
        : std::runtime_error("Velto could not save because two pages use the page file \u201c" + relativeFilePath +
                             "\u201d.") {}
};

/// An operation a test runs at a chosen point of a save; empty for none.
using TransactionHook = std::function<void()>;

/// Saves the store's document into the Pages folder under the folder's exclusive library lock: checks the
/// document and its file names, creates ".velto", then runs writeWithoutLock. `removeItem` empty means the
/// file manager's own removal. `beforeLockAcquisition` runs once the lock file is open, before the lock is
/// asked for; `beforeManifestCommit` right before the manifest is first written.
VeltoSaveResult write(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                      velto::FileSystem &fileManager = velto::defaultFileSystem(),
                      const RemoveOperation &removeItem = {}, const TransactionHook &beforeLockAcquisition = {},
                      const TransactionHook &beforeManifestCommit = {});

/// The save itself; the caller holds the folder's exclusive library lock. In order: other writers' changes
/// to the changed pages are merged in or kept as conflict pages, and their changes to removed pages' files
/// kept as conflict copies; the page files are written, this writer's journal records the save, the deletion
/// index and the journals are compacted, and the manifest, folded from the one on disk and every journal, is
/// written: that write is the commit. Files of deleted pages are removed afterwards (a failed removal stays
/// pending for the next save).
///
/// A page file is replaced only while it holds what the check found there. When another program changed it in
/// between, the conflict pages the save wrote are taken back where their text is still to be had (see
/// takeBackConflictPages); a save that then leaves nothing written starts over (a few times at most); one that
/// leaves other files throws PageFileChangedDuringSaveError before its journal and the manifest, naming the
/// conflict pages that stay. A save whose only page file
/// is one it checks leaves that file's comparison to its replacement on the first attempt: a change found there
/// makes it start over, comparing first, and merge as it would have.
///
/// Nothing else is rolled back: whatever a failure leaves before the commit (page files, journal, index) is
/// folded in by the next load or save, because every load and save reads the journals again. Every error
/// is thrown as it comes, also one after the commit.
VeltoSaveResult writeWithoutLock(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                 velto::FileSystem &fileManager, const RemoveOperation &removeItem,
                                 const TransactionHook &beforeManifestCommit = {});

} // namespace VeltoPageLibrary
