#include "panel/browse/BrowsePagesList.h"

#include "model/PageArchiveState.h"
#include "panel/menu/PagePreview.h"
#include "panel/menu/RelativeDates.h"
#include "panel/pages/ActivePages.h"
#include "platform/Text.h"

#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace velto {
namespace {

// Whether a piece of text may start at `offset` (a lead byte beyond ASCII): the character there neither
// composes with its neighbours, nor folds into one that composes with what precedes it.
bool startsFreshPiece(std::string_view text, std::size_t offset) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2 *nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) {
        return false;
    }
    int32_t index = 0;
    UChar32 character = 0;
    const int32_t length = static_cast<int32_t>(std::min<std::size_t>(text.size() - offset, 4));
    U8_NEXT(reinterpret_cast<const uint8_t *>(text.data() + offset), index, length, character);
    if (character < 0 || !nfc->isInert(character)) {
        return false;
    }
    icu::UnicodeString folded(character);
    folded.foldCase();
    return nfc->hasBoundaryBefore(folded.char32At(0));
}

std::optional<Uuid> loadedOriginalID(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return loaded->conflictOriginalPageID();
    }
    return std::nullopt;
}

/// A saved conflict copy: its text names an original, or its slug says so.
bool isConflictCandidate(const VeltoPage &page) {
    return loadedOriginalID(page).has_value() || page.fileSlug == "conflict-copy";
}

/// A page kept of one whose file was removed, emptied or could not be read.
bool isRecoveredPage(const VeltoPage &page) {
    return !isConflictCandidate(page) && page.fileSlug == "recovered-page";
}

} // namespace

// ---- folded texts ----

std::string FoldedPageTexts::fold(std::string_view text) {
    if (text::isASCII(text)) {
        std::string folded(text);
        for (char &c : folded) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return folded;
    }
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text::nfc(text));
    unicode.foldCase();
    std::string folded;
    unicode.toUTF8String(folded);
    return text::nfc(folded);
}

std::size_t FoldedPageTexts::pieceEnd(std::string_view text, std::size_t start, std::size_t length) {
    std::size_t end = start + length;
    while (end < text.size()) {
        const auto byte = static_cast<unsigned char>(text[end]);
        if (byte < 0x80) {
            return end; // ASCII never composes with what precedes it and folds to ASCII
        }
        if ((byte & 0xC0) != 0x80 && startsFreshPiece(text, end)) {
            return end;
        }
        end += 1;
    }
    return text.size();
}

FoldedPageTexts::Entry &FoldedPageTexts::entryFor(const VeltoPage &page) {
    std::string_view text = page.visibleTextView();
    Entry &entry = entries_[page.id];
    if (entry.version == 0 || entry.original != text) {
        entry.original.assign(text);
        entry.folded.clear();
        entry.foldedUpTo = 0;
        entry.version = ++lastVersion_;
    }
    return entry;
}

FoldedPageTexts::Folding FoldedPageTexts::foldUntil(const VeltoPage &page,
                                                    std::chrono::steady_clock::time_point deadline) {
    Entry &entry = entryFor(page);
    const std::string_view text = entry.original;
    while (entry.foldedUpTo < text.size()) {
        const std::size_t end = pieceEnd(text, entry.foldedUpTo, pieceLength);
        entry.folded += fold(text.substr(entry.foldedUpTo, end - entry.foldedUpTo));
        entry.foldedUpTo = end;
        if (entry.foldedUpTo < text.size() && std::chrono::steady_clock::now() >= deadline) {
            return {nullptr, entry.version};
        }
    }
    return {&entry.folded, entry.version};
}

const std::string &FoldedPageTexts::folded(const VeltoPage &page) {
    return *foldUntil(page, std::chrono::steady_clock::time_point::max()).text;
}

void FoldedPageTexts::retain(const std::set<Uuid> &keep) {
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        entry = keep.count(entry->first) ? std::next(entry) : entries_.erase(entry);
    }
}

// ---- sliced search ----

void BrowseSearch::start(std::uint64_t generation, std::string query, std::vector<Uuid> pageIDs) {
    generation_ = generation;
    foldedQuery_ = FoldedPageTexts::fold(query);
    pageIDs_ = std::move(pageIDs);
    next_ = 0;
    searchedUpTo_ = 0;
    searchedVersion_ = 0;
    matches_.clear();
}

bool BrowseSearch::step(const VeltoDocument &document, FoldedPageTexts &texts,
                        std::chrono::steady_clock::duration budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    while (next_ < pageIDs_.size()) {
        if (const VeltoPage *page = findPage(document, pageIDs_[next_])) {
            const FoldedPageTexts::Folding folding = texts.foldUntil(*page, deadline);
            if (folding.text == nullptr) {
                return false;
            }
            if (folding.version != searchedVersion_) {
                // The text changed since part of it was searched: from the start again.
                searchedUpTo_ = 0;
                searchedVersion_ = folding.version;
            }
            const PieceSearch found = searchPieces(*folding.text, deadline);
            if (found == PieceSearch::unfinished) {
                return false;
            }
            if (found == PieceSearch::found) {
                matches_.push_back(page->id);
            }
        }
        moveToNextPage();
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
    }
    return next_ >= pageIDs_.size();
}

BrowseSearch::PieceSearch BrowseSearch::searchPieces(std::string_view folded,
                                                     std::chrono::steady_clock::time_point deadline) {
    while (true) {
        // Each window reaches a query's length past its piece, so that a match across two pieces is found.
        const std::size_t end =
            std::min(folded.size(), searchedUpTo_ + FoldedPageTexts::pieceLength + foldedQuery_.size());
        if (folded.substr(searchedUpTo_, end - searchedUpTo_).find(foldedQuery_) != std::string_view::npos) {
            return PieceSearch::found;
        }
        if (end == folded.size()) {
            return PieceSearch::absent;
        }
        searchedUpTo_ += FoldedPageTexts::pieceLength;
        if (std::chrono::steady_clock::now() >= deadline) {
            return PieceSearch::unfinished;
        }
    }
}

void BrowseSearch::keepMatching(std::vector<const VeltoPage *> &pages) const {
    const std::set<Uuid> matching(matches_.begin(), matches_.end());
    std::erase_if(pages, [&](const VeltoPage *page) { return matching.count(page->id) == 0; });
}

void BrowseSearch::moveToNextPage() {
    next_ += 1;
    searchedUpTo_ = 0;
    searchedVersion_ = 0;
}

// ---- rows ----

void BrowsePagesList::removeFromFilter(const Uuid &id) {
    if (filter_) {
        filter_->erase(id);
    }
}

std::vector<const VeltoPage *> BrowsePagesList::candidatePages() const {
    std::vector<const VeltoPage *> pages = activePagesByActivity(document_);
    if (filter_) {
        std::erase_if(pages, [this](const VeltoPage *page) { return filter_->count(page->id) == 0; });
    }
    return pages;
}

void BrowsePagesList::setRows(const std::vector<const VeltoPage *> &pages, const QString &query, Date now) {
    rows_.clear();
    const Uuid currentID = document_.currentPage.id;
    for (const VeltoPage *page : pages) {
        BrowsePageRow row;
        row.id = page->id;
        row.unavailable = page->content.asUnavailable() != nullptr;
        row.preview = row.unavailable
                          ? QStringLiteral("Can’t be read")
                          : QString::fromStdString(PagePreview::title(page->visibleTextView(), previewLength));
        row.detail = pageDetail(*page, now);
        row.conflictCandidate = isConflictCandidate(*page);
        row.originalPresent = originalOf(*page) != nullptr;
        row.namesItselfAsOriginal = loadedOriginalID(*page) == page->id;
        row.recovered = isRecoveredPage(*page);
        row.isCurrentPage = page->id == currentID;
        rows_.push_back(std::move(row));
    }
    emptyState_.reset();
    if (!rows_.empty()) {
        return;
    }
    // A review whose copies are still there but that the search narrowed to nothing is told as a search.
    if (filter_ && (query.trimmed().isEmpty() || candidatePages().empty())) {
        emptyState_ = {"doc.text.magnifyingglass", "No saved conflict copies",
                       "The saved copies may have been archived or deleted."};
    } else if (!query.trimmed().isEmpty()) {
        emptyState_ = {"magnifyingglass", "No matching pages", "Try a different word or phrase."};
    } else {
        emptyState_ = {"doc.text", "No pages yet", "Start writing in Velto and your pages will appear here."};
    }
}

void BrowsePagesList::reload(const QString &query, Date now) {
    std::vector<const VeltoPage *> pages = candidatePages();
    const QString trimmed = query.trimmed();
    if (!trimmed.isEmpty()) {
        BrowseSearch search;
        search.start(0, trimmed.toStdString(), identifiersOf(pages));
        while (!search.step(document_, folded_, std::chrono::hours(1))) {
        }
        search.keepMatching(pages);
    }
    setRows(pages, trimmed, now);
}

std::optional<std::size_t> BrowsePagesList::rowOf(const Uuid &id) const {
    for (std::size_t index = 0; index < rows_.size(); ++index) {
        if (rows_[index].id == id) {
            return index;
        }
    }
    return std::nullopt;
}

const VeltoPage *BrowsePagesList::originalOf(const VeltoPage &copy) const {
    std::optional<Uuid> originalID = loadedOriginalID(copy);
    if (!originalID || *originalID == copy.id) {
        return nullptr; // a copy that names itself is no version of another page
    }
    return findPage(document_, *originalID);
}

BrowsePagesList::Availability BrowsePagesList::availability(std::optional<std::size_t> selectedRow) const {
    if (!selectedRow || *selectedRow >= rows_.size()) {
        return {};
    }
    const BrowsePageRow &row = rows_[*selectedRow];
    Availability availability;
    availability.open = !row.unavailable;
    availability.keepBoth = row.conflictCandidate && !row.unavailable;
    availability.keepCurrentOrUseSaved = row.originalPresent && !row.unavailable;
    return availability;
}

BrowseReviewGuidance BrowsePagesList::guidance(std::optional<std::size_t> selectedRow) const {
    auto guidanceOf = [](const BrowsePageRow &row) {
        if (row.namesItselfAsOriginal) {
            return BrowseReviewGuidance::copyNamesItself;
        }
        return row.recovered ? BrowseReviewGuidance::recoveredPage : BrowseReviewGuidance::chooseVersion;
    };
    if (selectedRow && *selectedRow < rows_.size()) {
        return guidanceOf(rows_[*selectedRow]);
    }
    if (rows_.empty()) {
        // A search that hides every row leaves the review what it is: its pages are still the ones it explains.
        return guidanceOfReview(candidatePages());
    }
    for (const BrowsePageRow &row : rows_) {
        if (!row.recovered) {
            return BrowseReviewGuidance::chooseVersion;
        }
    }
    return BrowseReviewGuidance::recoveredPage;
}

BrowseReviewGuidance BrowsePagesList::guidanceOfReview(const std::vector<const VeltoPage *> &pages) {
    if (pages.empty()) {
        return BrowseReviewGuidance::chooseVersion;
    }
    for (const VeltoPage *page : pages) {
        if (!isRecoveredPage(*page)) {
            return BrowseReviewGuidance::chooseVersion;
        }
    }
    return BrowseReviewGuidance::recoveredPage;
}

QString BrowsePagesList::pageDetail(const VeltoPage &page, Date now) const {
    if (page.content.asUnavailable() != nullptr) {
        // Linux folders have no download state: such a page's file is there but cannot be read, and is left alone.
        return QStringLiteral("Velto can’t read this page’s file and leaves it as it is");
    }
    QString label;
    if (isConflictCopy(page)) {
        if (const VeltoPage *original = originalOf(page)) {
            label = QStringLiteral("Saved version of “") +
                    QString::fromStdString(PagePreview::title(original->visibleTextView(), previewLength)) +
                    QStringLiteral("”");
        } else {
            label = QStringLiteral("Saved conflict copy");
        }
    } else if (page.fileSlug == "recovered-page") {
        label = QStringLiteral("Recovered after its file was removed, or could no longer be read or changed");
    } else if (page.id == document_.currentPage.id) {
        label = QStringLiteral("Current page");
    }
    const QString date = QStringLiteral("Updated ") +
                         RelativeDates::fullRelativeDescription(page.updatedAt.value_or(page.createdAt), now);
    return label.isEmpty() ? date : label + QStringLiteral(" · ") + date;
}

} // namespace velto
