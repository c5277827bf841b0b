#pragma once

#include "library/save/SaveResult.h"
#include "model/Document.h"
#include "model/SaveConflictPresentation.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velto {

/// The notice that tells the user about the versions saves kept apart (conflict copies, or edits of pages
/// whose file was removed), and the copies it still lists until each is dealt with.
class VeltoConflictNotice {
public:
    /// Whose version the copies hold.
    enum class Kind {
        otherVersions, ///< this process's save kept another writer's version apart
        ownEdits,      ///< another writer's save kept this process's text apart
    };

    const std::optional<VeltoSaveConflictPresentation> &presentation() const { return presentation_; }
    Kind kind() const { return kind_; }

    /// A save kept versions apart: the notice now tells of them. A save that kept none leaves an earlier
    /// notice as it is, until its copies are dealt with.
    void raise(const VeltoSaveResult &result);
    /// Another writer's save kept text of this process as the given conflict copies, which just arrived here: the
    /// notice now tells of them, as a notice of this process's own save would.
    void raiseForOwnEdits(const std::vector<Uuid> &copyIDs);
    /// The copy was resolved: it leaves the notice, which goes with the last copy.
    void remove(const Uuid &pageID);
    /// After a reload: the notice stays for the copies the library still holds as active pages, and goes
    /// with the last of them; a reload by itself settles nothing the user was told about.
    void keepHeldCopies(const VeltoDocument &document);
    /// After a reload: a notice of pages recovered beside files that can't be read or changed goes once none of
    /// those files is refused any more (`isStillRefused` answers for a file's path relative to the Pages folder):
    /// its cause has gone, and the recovered pages stay among the pages.
    void withdrawOnceFilesServeAgain(const std::function<bool(const std::string &relativePath)> &isStillRefused);
    /// Another library opened: nothing of the old one is told about.
    void clear() {
        presentation_.reset();
        filesRefused_.clear();
    }

private:
    std::optional<VeltoSaveConflictPresentation> presentation_;
    Kind kind_ = Kind::otherVersions;
    /// The files that couldn't be read or changed, as the notice names them; none for other notices.
    std::vector<std::string> filesRefused_;
};

} // namespace velto
