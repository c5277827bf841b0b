#pragma once

#include <QtCore/QObject>

// The meta-object compiler cannot read the standard library's C++20 headers; it needs only the type's name.
#ifndef Q_MOC_RUN
#include "platform/Uuid.h"

#include <map>
#endif

namespace velto {

/// How the current page changed, in currentPageChangedOutsideEditor.
enum class VeltoCurrentPageChange {
    text, ///< the same page now holds another text
    page, ///< another page is current
};

/// The signals of the store, kept in a base of their own: the meta-object compiler reads this header, and
/// could not read the coroutine headers that the store's own header includes.
class VeltoStoreSignals : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

signals:
    /// The store changed the current page's text, or which page is current, by a road other than setText: a
    /// reload, a save's merge, a page read again from disk, a page operation or its undo, a restore, a
    /// resolved conflict, another library. Emitted once per change, after the store's state is whole again;
    /// `pageID` is the current page now. For `text`, the editor drops its pending save of that page and shows
    /// the page's new text (the page's undo history no longer fits it); for `page`, it moves to the new
    /// current page. A change of the page's identifier alone (a save that renamed it) is not announced here.
    void currentPageChangedOutsideEditor(velto::Uuid pageID, velto::VeltoCurrentPageChange change);

    /// A save gave pages new identifiers (old to new), already in the document; what is kept per page
    /// elsewhere (the editor's undo histories, the panel's view states) follows them.
    void pageIdentifiersReplaced(const std::map<velto::Uuid, velto::Uuid> &replacements);

    /// A save kept another version of a page apart (a conflict copy, or the user's edit of a page whose file
    /// was removed), or a reload brought the copy in which another writer's save kept this process's text:
    /// `lastSaveConflictPresentation` now holds the notice that tells the user about it.
    void conflictNoticeRaised();

    /// A save failed, where the save before it succeeded or failed for another reason: `lastSaveErrorDescription`
    /// says why the changes are not saved. Retries that fail the same way are not announced again.
    void saveFailed();

    /// A save ended, saved or not, retries too: `lastSaveErrorDescription` says whether changes are still owed.
    void saveEnded();

    /// A reload met Markdown files that it cannot read and that the load before it did not list; they are in
    /// `unreadableFiles`, among any others still there, and are left as they are.
    void unreadableFilesFound();

    /// A change left a different set of archived pages: a page operation, a reload, a save's conflict copy, the
    /// auto-archive or another writer.
    void archiveStateChanged();

    /// A reload took the library from the folder again: what other writers changed, added or removed there is in
    /// the document now. Emitted once per reload, after the store's state is whole again.
    void libraryReloaded();

    /// A reload opened a library where the store held none before (one that needed recovery or that another
    /// program held, or none yet); the store's load state is `loaded` now.
    void libraryOpened();
};

} // namespace velto
