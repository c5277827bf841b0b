#pragma once

#include "model/Document.h"
#include "model/Page.h"
#include "panel/browse/VeltoContentUnavailableView.h"
#include "platform/Date.h"

#include <QtCore/QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// One row of the Browse Pages list.
struct BrowsePageRow {
    Uuid id;
    QString preview;
    QString detail;
    bool unavailable = false;
    /// A saved conflict copy (its text names an original, or its slug says so): it can be kept as a page.
    bool conflictCandidate = false;
    /// Its original is still in the library: the current version can be kept, or the copy used.
    bool originalPresent = false;
    /// Its text names the copy itself as its original (a hand edit, a sync tool): there is no other version.
    bool namesItselfAsOriginal = false;
    /// Kept of a page whose file was removed, emptied or could not be read: a page of its own, no other version.
    bool recovered = false;
    bool isCurrentPage = false;
};

/// What the guidance over a review of saved copies explains.
enum class BrowseReviewGuidance {
    chooseVersion,   ///< how to choose between a copy and its original
    copyNamesItself, ///< why a copy that names itself can only be kept
    recoveredPage,   ///< why a recovered page exists
};

/// Page texts folded once for searching: canonical composition and Unicode case folding, so that "É", "é"
/// and "e\u0301" meet. A folded text is kept while its page's text is the same; a search keystroke then
/// costs one scan per page. A long text is folded a piece at a time, so that a 5 MB page costs many short
/// slices of the main thread rather than one long one. Main thread only.
class FoldedPageTexts {
public:
    /// Texts are folded and searched in pieces of about this many bytes.
    static constexpr std::size_t pieceLength = 64 * 1024;

    /// A page's folded text as far as it goes.
    struct Folding {
        /// The whole folded text; nullptr while part of the page is still to be folded.
        const std::string *text = nullptr;
        /// Changes whenever the page's text does.
        std::uint64_t version = 0;
    };

    /// Folds more of the page's text (its body, its archived preview, nothing while it downloads) until it
    /// is all folded or `deadline` has passed.
    Folding foldUntil(const VeltoPage &page, std::chrono::steady_clock::time_point deadline);
    /// The page's folded text, folding what is left of it at once.
    const std::string &folded(const VeltoPage &page);
    /// Forgets the pages not among `keep`.
    void retain(const std::set<Uuid> &keep);

    static std::string fold(std::string_view text);
    /// Where the piece of `text` that starts at `start` and holds about `length` bytes ends: before a
    /// character that neither composes with its neighbours nor folds into one that does, so that the pieces
    /// folded one by one give the whole text folded.
    static std::size_t pieceEnd(std::string_view text, std::size_t start, std::size_t length);

private:
    struct Entry {
        std::string original;
        std::string folded;
        std::size_t foldedUpTo = 0;
        std::uint64_t version = 0;
    };
    Entry &entryFor(const VeltoPage &page);

    std::map<Uuid, Entry> entries_;
    std::uint64_t lastVersion_ = 0;
};

/// A search over many pages in slices, so that no slice holds the main thread for long; a newer search
/// (a higher generation) makes an older one stop. It holds the pages by identifier and finds them in the
/// document again on every slice: between slices the document may change, and a page may go.
class BrowseSearch {
public:
    void start(std::uint64_t generation, std::string query, std::vector<Uuid> pageIDs);
    /// Searches until the pages are done or `budget` has passed; true when done.
    bool step(const VeltoDocument &document, FoldedPageTexts &texts, std::chrono::steady_clock::duration budget);
    std::uint64_t generation() const { return generation_; }
    /// The identifiers of the matching pages, in the order given.
    const std::vector<Uuid> &matches() const { return matches_; }
    /// Leaves out of `pages` those that did not match.
    void keepMatching(std::vector<const VeltoPage *> &pages) const;

private:
    enum class PieceSearch { found, absent, unfinished };
    PieceSearch searchPieces(std::string_view folded, std::chrono::steady_clock::time_point deadline);
    void moveToNextPage();

    std::uint64_t generation_ = 0;
    std::string foldedQuery_;
    std::vector<Uuid> pageIDs_;
    std::size_t next_ = 0;
    /// How far the folded text of the page at `next_` has been searched, and which version of it.
    std::size_t searchedUpTo_ = 0;
    std::uint64_t searchedVersion_ = 0;
    std::vector<Uuid> matches_;
};

/// What the Browse Pages window lists: the active pages (current first, then by latest activity), only the
/// saved conflict copies under review when there is a filter, narrowed by a search; their texts, the empty
/// state and which actions the selected row allows. Reads the library's document as the store holds it, which
/// outlives the list; main thread only.
class BrowsePagesList {
public:
    /// Titles are capped: a page's first line can be megabytes long.
    static constexpr std::size_t previewLength = 200;

    explicit BrowsePagesList(const VeltoDocument &document)
        : document_(document) {}

    void setFilter(std::optional<std::set<Uuid>> filter) { filter_ = std::move(filter); }
    const std::optional<std::set<Uuid>> &filter() const { return filter_; }
    void removeFromFilter(const Uuid &id);

    /// The active pages the filter lets through, before any search.
    std::vector<const VeltoPage *> candidatePages() const;
    /// Makes rows of the given pages (in order); `query` chooses the empty state.
    void setRows(const std::vector<const VeltoPage *> &pages, const QString &query, Date now);
    /// Searches at once (no slicing): for tests and small libraries.
    void reload(const QString &query, Date now);

    const std::vector<BrowsePageRow> &rows() const { return rows_; }
    std::optional<std::size_t> rowOf(const Uuid &id) const;
    /// Set when there are no rows.
    const std::optional<VeltoContentUnavailableView::Presentation> &emptyState() const { return emptyState_; }
    FoldedPageTexts &foldedTexts() { return folded_; }

    struct Availability {
        bool open = false;
        bool keepBoth = false;
        bool keepCurrentOrUseSaved = false;
        bool operator==(const Availability &) const = default;
    };
    Availability availability(std::optional<std::size_t> selectedRow) const;
    /// The selected row's guidance; with none selected, that of the rows under review, which a notice raises
    /// either for recovered pages or for conflict copies, and that of the review's pages when a search hides
    /// every row.
    BrowseReviewGuidance guidance(std::optional<std::size_t> selectedRow) const;

    /// "Current page · Updated 3 minutes ago", "Saved version of “Notes” · …", "Velto can’t read this page’s file …".
    QString pageDetail(const VeltoPage &page, Date now) const;

private:
    const VeltoPage *originalOf(const VeltoPage &copy) const;
    /// The guidance for a review of these pages: recovered pages when all of them are.
    static BrowseReviewGuidance guidanceOfReview(const std::vector<const VeltoPage *> &pages);

    const VeltoDocument &document_;
    std::optional<std::set<Uuid>> filter_;
    std::vector<BrowsePageRow> rows_;
    std::optional<VeltoContentUnavailableView::Presentation> emptyState_;
    FoldedPageTexts folded_;
};

} // namespace velto
