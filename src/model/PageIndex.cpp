#include "model/PageIndex.h"

namespace velto {
namespace {

thread_local std::size_t visitedPages = 0;

} // namespace

VeltoPageIndex::VeltoPageIndex(const VeltoDocument &document) {
    pages_.reserve(document.pages.size() + 1);
    // The first page of an identifier speaks for it, as in findPage: the current page, then the others in order.
    pages_.emplace(document.currentPage.id, &document.currentPage);
    for (const VeltoPage &page : document.pages) {
        pages_.emplace(page.id, &page);
    }
    countPagesVisitedByLookups(document.pages.size() + 1);
}

const VeltoPage *VeltoPageIndex::find(const Uuid &pageID) const {
    countPagesVisitedByLookups(1);
    auto found = pages_.find(pageID);
    return found == pages_.end() ? nullptr : found->second;
}

const VeltoPage *VeltoPageCounterparts::find(const Uuid &pageID, std::optional<std::size_t> position) {
    if (document_.currentPage.id == pageID) {
        return &document_.currentPage;
    }
    if (position.has_value() && *position < document_.pages.size() && document_.pages[*position].id == pageID) {
        countPagesVisitedByLookups(1);
        return &document_.pages[*position];
    }
    if (!index_.has_value()) {
        index_.emplace(document_);
    }
    return index_->find(pageID);
}

std::size_t pagesVisitedByLookups() {
    return visitedPages;
}

void countPagesVisitedByLookups(std::size_t pages) {
    visitedPages += pages;
}

} // namespace velto
