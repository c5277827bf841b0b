#pragma once

#include "model/PageOperation.h"
#include "store/ArchiveTransition.h"

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace velto {

/// A document kept for undo: its pages are shared, immutable, with every other kept document that holds
/// the same page value, so that a chain of page operations over a library of 100 pages keeps each page's
/// text once, not twice per step.
struct SharedDocument {
    std::shared_ptr<const VeltoPage> currentPage;
    std::vector<std::shared_ptr<const VeltoPage>> pages;

    VeltoDocument document() const;
};

/// The documents the panel's page-level undo steps replay (a new page, a page selection, an archive), kept
/// within a bound on the bytes they hold. Each step is one entry, registered once and replayed in both
/// directions; when the kept bytes pass the bound, the oldest entries give up their documents (the newest
/// entry is always kept whole), and replaying such an entry fails the way a step the library no longer
/// matches fails. Main thread only.
class PageOperationUndoLedger {
public:
    static constexpr std::size_t defaultByteLimit = 64 * 1024 * 1024;

    struct Entry {
        std::vector<VeltoPageOperation::Effect> effects;
        std::string actionName;
        std::optional<SharedDocument> before;
        std::optional<SharedDocument> after;

        bool isEvicted() const { return !before || !after; }
        /// The step as the store replays it; nothing once evicted.
        std::optional<VeltoPageOperation> operation() const;
        std::optional<VeltoArchiveTransition> archiveTransition() const;
    };

    explicit PageOperationUndoLedger(std::size_t byteLimit = defaultByteLimit);
    ~PageOperationUndoLedger();
    PageOperationUndoLedger(const PageOperationUndoLedger &) = delete;
    PageOperationUndoLedger &operator=(const PageOperationUndoLedger &) = delete;

    std::shared_ptr<Entry> retain(const VeltoPageOperation &operation);
    std::shared_ptr<Entry> retain(const VeltoArchiveTransition &transition);

    /// The bytes the kept pages hold (texts and the page values).
    std::size_t retainedBytes() const { return *retainedBytes_; }
    std::size_t byteLimit() const { return byteLimit_; }
    /// Every entry gives up its documents (a reload discards all undo).
    void evictAll();

    /// The bytes a page value holds, as counted against the bound.
    static std::size_t byteSize(const VeltoPage &page);

private:
    std::shared_ptr<Entry> retain(std::shared_ptr<Entry> entry, const VeltoDocument &before,
                                  const VeltoDocument &after);
    SharedDocument share(const VeltoDocument &document);
    std::shared_ptr<const VeltoPage> share(const VeltoPage &page);
    void evictBeyondLimit();

    std::size_t byteLimit_;
    /// Shared with every kept page, which gives its bytes back when the last document holding it goes.
    std::shared_ptr<std::size_t> retainedBytes_ = std::make_shared<std::size_t>(0);
    std::map<Uuid, std::vector<std::weak_ptr<const VeltoPage>>> pagesByID_;
    std::deque<std::weak_ptr<Entry>> entries_; // oldest first
};

} // namespace velto
