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

std::size_t pagesVisitedByLookups() {
    return visitedPages;
}

void countPagesVisitedByLookups(std::size_t pages) {
    visitedPages += pages;
}

} // namespace velto
