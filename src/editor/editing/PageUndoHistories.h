#pragma once

#include "editor/editing/EditingCore.h"
#include "editor/editing/UndoManager.h"
#include "platform/Uuid.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace velto::editor {

/// What a text was, in brief: its length in UTF-16 units and a 64-bit hash of those units. An undo
/// history is only valid for the exact text it was built on; the fingerprint tells whether a page's
/// text is still that text without keeping a copy of it.
struct PageTextFingerprint {
    std::size_t length = 0;
    std::uint64_t hash = 0;
    bool operator==(const PageTextFingerprint &) const = default;

    static PageTextFingerprint of(std::u16string_view text);
    /// The fingerprint of the same text given as UTF-8 (ill-formed bytes read as U+FFFD), without
    /// converting it first.
    static PageTextFingerprint ofUTF8(std::string_view text);
};

/// One undo history per page for the editor's single text view: typing on page A, switching to B and
/// undoing undoes B's edit; coming back to A brings A's history back. The editing core registers its
/// changes on whatever `undoManager()` answers, so switching the answer switches the history.
///
/// A history is kept with the fingerprint of the text it belongs to, taken when its page is left. A page
/// whose text changed elsewhere meanwhile (another writer, a reload, a merge) gets a fresh history when
/// it is shown again, and an undo step that finds the text not as it left it changes nothing, drops its
/// history and beeps: undo never rewrites characters it did not write.
class PageUndoHistories final : public UndoHistorySource {
public:
    /// The histories of the core, which must be made with this object as its undo history source and
    /// outlive it. `beep` is the system beep (none when empty).
    explicit PageUndoHistories(EditingCore &core, std::function<void()> beep = {});
    ~PageUndoHistories();
    PageUndoHistories(const PageUndoHistories &) = delete;
    PageUndoHistories &operator=(const PageUndoHistories &) = delete;

    /// The active page's manager (made on first use), or the unattached one while no page is active.
    UndoManager *undoManager() override;
    const std::optional<Uuid> &activePageID() const { return activePageID_; }
    UndoManager &unattachedUndoManager() { return *unattached_; }
    /// The manager of the page, if it has one.
    std::shared_ptr<UndoManager> pageUndoManager(const Uuid &pageID) const;
    /// The active history as a shared handle, for callers that keep it (page operations register on it).
    std::shared_ptr<UndoManager> activeUndoManager();

    /// Where the redo of an undone page operation landed when that is not the active history.
    const std::shared_ptr<UndoManager> &pageTransitionRedoManager() const { return pageTransitionRedoManager_; }
    void setPageTransitionRedoManager(std::shared_ptr<UndoManager> manager) {
        pageTransitionRedoManager_ = std::move(manager);
    }
    bool canUndo();
    /// The active history's redo, else the page-transition redo.
    bool canRedo();

    /// Makes the page's history the active one. Histories of pages not in `retaining` are dropped;
    /// a page without a history adopts `fallback` when given. `pageText` is the text the page is about to
    /// show: a kept history built on another text is replaced by a fresh one.
    void activateUndoHistory(const Uuid &pageID, const std::set<Uuid> &retaining, std::shared_ptr<UndoManager> fallback,
                             const PageTextFingerprint &pageText);
    /// As above, the fingerprint taken only when a kept history is to be checked against it: it costs a pass
    /// over the page's text, megabytes for a big page, which a page without a kept history never needs.
    void activateUndoHistory(const Uuid &pageID, const std::set<Uuid> &retaining, std::shared_ptr<UndoManager> fallback,
                             const std::function<PageTextFingerprint()> &pageText);
    /// After a reload or a change of the Pages folder: no undo or redo anywhere.
    void discardAllPageUndoHistories();
    /// The page's text was replaced by another road than editing: its history starts afresh.
    void resetUndoHistory(const Uuid &pageID);
    /// The store gave pages new identifiers after a save: their histories follow them.
    void replacePageIDs(const std::map<Uuid, Uuid> &replacements);

    std::size_t pageHistoryCount() const { return pages_.size(); }

private:
    struct PageHistory {
        std::shared_ptr<UndoManager> manager;
        std::optional<PageTextFingerprint> fingerprint; // taken when the page was left
    };

    /// Drops the history and beeps: undo never rewrites characters it did not write.
    void undoStepDidNotMatch(UndoManager &manager) override;
    /// Drops a manager that may be running its own undo right now: it is kept until it has finished.
    void retire(std::shared_ptr<UndoManager> manager);
    void releaseRetiredManagers();

    EditingCore &core_;
    std::function<void()> beep_;
    std::shared_ptr<UndoManager> unattached_;
    std::optional<Uuid> activePageID_;
    std::map<Uuid, PageHistory> pages_;
    std::shared_ptr<UndoManager> pageTransitionRedoManager_;
    std::vector<std::shared_ptr<UndoManager>> retired_;
};

} // namespace velto::editor
