#include "panel/BrowsePagesList.h"

#include "panel/PagePreview.h"
#include "panel/RelativeDates.h"
#include "platform/Text.h"
#include "store/PageArchiveState.h"
#include "store/Store.h"

#include <unicode/unistr.h>

namespace velto {
namespace {

std::string_view pageText(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return loaded->body;
    }
    if (const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary()) {
        return summary->preview;
    }
    return {};
}

bool isASCII(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::optional<Uuid> loadedOriginalID(const VeltoPage &page) {
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        return loaded->conflictOriginalPageID();
    }
    return std::nullopt;
}

} // namespace

// ---- folded texts ----

std::string FoldedPageTexts::fold(std::string_view text) {
    if (isASCII(text)) {
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

const std::string &FoldedPageTexts::folded(const VeltoPage &page) {
    std::string_view text = pageText(page);
    auto found = entries_.find(page.id);
    if (found != entries_.end() && found->second.original == text) {
        return found->second.folded;
    }
    Entry &entry = entries_[page.id];
    entry.original.assign(text);
    entry.folded = fold(text);
    return entry.folded;
}

void FoldedPageTexts::retain(const std::set<Uuid> &keep) {
    for (auto entry = entries_.begin(); entry != entries_.end();) {
        entry = keep.count(entry->first) ? std::next(entry) : entries_.erase(entry);
    }
}

// ---- sliced search ----

void BrowseSearch::start(std::uint64_t generation, std::string query, std::vector<const VeltoPage *> pages) {
    generation_ = generation;
    foldedQuery_ = FoldedPageTexts::fold(query);
    pages_ = std::move(pages);
    next_ = 0;
    matches_.clear();
}

bool BrowseSearch::step(FoldedPageTexts &texts, std::chrono::steady_clock::duration budget) {
    const auto deadline = std::chrono::steady_clock::now() + budget;
    while (next_ < pages_.size()) {
        const VeltoPage &page = *pages_[next_];
        next_ += 1;
        if (texts.folded(page).find(foldedQuery_) != std::string::npos) {
            matches_.push_back(page.id);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
    }
    return next_ >= pages_.size();
}

// ---- rows ----

void BrowsePagesList::removeFromFilter(const Uuid &id) {
    if (filter_) {
        filter_->erase(id);
    }
}

std::vector<const VeltoPage *> BrowsePagesList::candidatePages() const {
    std::vector<const VeltoPage *> pages;
    const VeltoDocument &document = store_.document();
    for (const VeltoPage &listed : store_.activePagesSortedByActivity()) {
        if (filter_ && filter_->count(listed.id) == 0) {
            continue;
        }
        // The store's page itself, not the list's copy, so that rows and searches read no copied texts.
        if (const VeltoPage *page = findPage(document, listed.id)) {
            pages.push_back(page);
        }
    }
    return pages;
}

void BrowsePagesList::setRows(const std::vector<const VeltoPage *> &pages, const QString &query, Date now) {
    rows_.clear();
    const Uuid currentID = store_.document().currentPage.id;
    for (const VeltoPage *page : pages) {
        BrowsePageRow row;
        row.id = page->id;
        row.unavailable = page->content.asUnavailable() != nullptr;
        row.preview = row.unavailable
                          ? QStringLiteral("Downloading…")
                          : QString::fromStdString(PagePreview::title(pageText(*page), previewLength));
        row.detail = pageDetail(*page, now);
        row.conflictCandidate = loadedOriginalID(*page).has_value() || page->fileSlug == "conflict-copy";
        row.originalPresent = originalOf(*page) != nullptr;
        row.isCurrentPage = page->id == currentID;
        rows_.push_back(std::move(row));
    }
    emptyState_.reset();
    if (!rows_.empty()) {
        return;
    }
    if (filter_) {
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
        search.start(0, trimmed.toStdString(), pages);
        while (!search.step(folded_, std::chrono::hours(1))) {
        }
        std::set<Uuid> matching(search.matches().begin(), search.matches().end());
        std::erase_if(pages, [&](const VeltoPage *page) { return matching.count(page->id) == 0; });
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
    return originalID ? findPage(store_.document(), *originalID) : nullptr;
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

QString BrowsePagesList::pageDetail(const VeltoPage &page, Date now) const {
    if (page.content.asUnavailable() != nullptr) {
        return QStringLiteral("Downloading from cloud storage…");
    }
    QString label;
    if (isConflictCopy(page)) {
        if (const VeltoPage *original = originalOf(page)) {
            label = QStringLiteral("Saved version of “") +
                    QString::fromStdString(PagePreview::title(pageText(*original), previewLength)) +
                    QStringLiteral("”");
        } else {
            label = QStringLiteral("Saved conflict copy");
        }
    } else if (page.fileSlug == "recovered-page") {
        label = QStringLiteral("Recovered after file removal");
    } else if (page.id == store_.document().currentPage.id) {
        label = QStringLiteral("Current page");
    }
    const QString date =
        QStringLiteral("Updated ") + RelativeDates::fullRelativeDescription(page.updatedAt.value_or(page.createdAt), now);
    return label.isEmpty() ? date : label + QStringLiteral(" · ") + date;
}

} // namespace velto
