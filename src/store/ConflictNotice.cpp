#include "store/ConflictNotice.h"

#include "model/PageArchiveState.h"

namespace velto {
namespace {

const char *const recoveredTitle = "Page Recovered After File Removal";
const char *const recoveredFromUnreadableTitle = "Page Recovered From a File That Can’t Be Read or Changed";

/// A notice of recovered pages keeps its title while its pages are dealt with one by one.
bool isRecoveryTitle(const std::string &title) {
    return title == recoveredTitle || title == recoveredFromUnreadableTitle;
}

/// The files that can no longer be read, each with its reason; most reasons name the file already.
std::string unreadableFilesText(const std::vector<VeltoPageLeftUnread> &pagesLeftUnread) {
    std::string text;
    for (const VeltoPageLeftUnread &left : pagesLeftUnread) {
        const std::string name = "“" + left.file.relativePath + "”";
        const std::string &reason = left.file.reason;
        text += reason.find(name) != std::string::npos ? reason : name + ": " + reason;
        if (text.back() != '.') {
            text += '.';
        }
        text += ' ';
    }
    return text;
}

/// The recovered pages kept the texts of pages whose files another program replaced with ones Velto can't read.
VeltoSaveConflictPresentation recoveredFromUnreadableFiles(const std::vector<VeltoPageLeftUnread> &pagesLeftUnread) {
    VeltoSaveConflictPresentation presentation;
    presentation.title = recoveredFromUnreadableTitle;
    if (pagesLeftUnread.size() == 1) {
        presentation.message = "This page’s file can’t be read or changed any more. " +
                               unreadableFilesText(pagesLeftUnread) +
                               "Velto left that file as it is and kept your text as a new page.";
    } else {
        presentation.message = "These pages’ files can’t be read or changed any more. " +
                               unreadableFilesText(pagesLeftUnread) +
                               "Velto left those files as they are and kept your texts as new pages.";
    }
    return presentation;
}

std::string reviewTitle(std::size_t copyCount) {
    if (copyCount == 1) {
        return "Review Saved Conflict Copy…";
    }
    return "Review " + std::to_string(copyCount) + " Saved Conflict Copies…";
}

} // namespace

void VeltoConflictNotice::raise(const VeltoSaveResult &result) {
    if (result.conflicts.empty()) {
        return; // an earlier notice stays until its copies are dealt with
    }
    std::vector<Uuid> ordinaryCopies;
    for (const VeltoSaveConflict &conflict : result.conflicts) {
        if (result.pageIDReplacements.count(conflict.originalPageID) == 0) {
            ordinaryCopies.push_back(conflict.preservedPage.id);
        }
    }
    VeltoSaveConflictPresentation presentation;
    if (ordinaryCopies.empty()) {
        if (result.pagesLeftUnread.empty()) {
            presentation.title = recoveredTitle;
            presentation.message =
                "The original page file was removed or emptied. Velto kept your local edit as a new page.";
        } else {
            presentation = recoveredFromUnreadableFiles(result.pagesLeftUnread);
        }
        for (const VeltoSaveConflict &conflict : result.conflicts) {
            presentation.pageIDs.push_back(conflict.preservedPage.id);
        }
    } else if (ordinaryCopies.size() == 1) {
        presentation.title = reviewTitle(1);
        presentation.message = "This page changed in another app or Velto window. Your edit is current, and the "
                               "other version was saved as a separate page.";
        presentation.pageIDs = ordinaryCopies;
    } else {
        presentation.title = reviewTitle(ordinaryCopies.size());
        presentation.message = std::to_string(ordinaryCopies.size()) +
                               " pages changed elsewhere. Your edits are current, and the other versions were "
                               "saved as separate pages.";
        presentation.pageIDs = ordinaryCopies;
    }
    filesRefused_.clear();
    if (presentation.title == recoveredFromUnreadableTitle) {
        for (const VeltoPageLeftUnread &left : result.pagesLeftUnread) {
            filesRefused_.push_back(left.file.relativePath);
        }
    }
    presentation_ = std::move(presentation);
    kind_ = Kind::otherVersions;
}

void VeltoConflictNotice::raiseForOwnEdits(const std::vector<Uuid> &copyIDs) {
    if (copyIDs.empty()) {
        return;
    }
    VeltoSaveConflictPresentation presentation;
    presentation.title = reviewTitle(copyIDs.size());
    if (copyIDs.size() == 1) {
        presentation.message = "This page changed in another app or Velto window. The other version is current, "
                               "and your edit was saved as a separate page.";
    } else {
        presentation.message = std::to_string(copyIDs.size()) +
                               " pages changed elsewhere. The other versions are current, and your edits were "
                               "saved as separate pages.";
    }
    presentation.pageIDs = copyIDs;
    presentation_ = std::move(presentation);
    kind_ = Kind::ownEdits;
    filesRefused_.clear();
}

void VeltoConflictNotice::remove(const Uuid &pageID) {
    if (!presentation_.has_value()) {
        return;
    }
    std::vector<Uuid> &remaining = presentation_->pageIDs;
    std::erase(remaining, pageID);
    if (remaining.empty()) {
        clear();
        return;
    }
    presentation_->title = reviewTitle(remaining.size()); // the message keeps its first count
}

void VeltoConflictNotice::keepHeldCopies(const VeltoDocument &document) {
    if (!presentation_.has_value()) {
        return;
    }
    std::vector<Uuid> &listed = presentation_->pageIDs;
    const std::size_t countBefore = listed.size();
    std::erase_if(listed, [&document](const Uuid &pageID) {
        const VeltoPage *page = findPage(document, pageID);
        return page == nullptr || isArchivedPage(*page);
    });
    if (listed.empty()) {
        clear();
    } else if (listed.size() != countBefore && !isRecoveryTitle(presentation_->title)) {
        presentation_->title = reviewTitle(listed.size());
    }
}

void VeltoConflictNotice::withdrawOnceFilesServeAgain(
    const std::function<bool(const std::string &relativePath)> &isStillRefused) {
    if (!presentation_.has_value() || filesRefused_.empty()) {
        return;
    }
    for (const std::string &file : filesRefused_) {
        if (isStillRefused(file)) {
            return; // the notice is still true of this file
        }
    }
    clear();
}

} // namespace velto
