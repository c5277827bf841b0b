#pragma once

#include "model/Document.h"
#include "platform/Uuid.h"

#include <cstddef>
#include <optional>
#include <unordered_map>

namespace velto {

/// The pages of one document by identifier, gathered in one pass: a pass that pairs every page of one document
/// with the page of the same identifier in another (a reload pairs the held pages with the loaded ones) costs a
/// hash lookup per page, where findPage walks the whole library for each. Answers what findPage answers. It
/// points into the document: valid while no page of it is added, removed or moved.
class VeltoPageIndex {
public:
    explicit VeltoPageIndex(const VeltoDocument &document);

    /// The page with that identifier: the current page, else the first of the other pages; nullptr when none.
    const VeltoPage *find(const Uuid &pageID) const;

private:
    std::unordered_map<Uuid, const VeltoPage *, UuidHash> pages_;
};

/// The pages of one document looked up from the pages of another that mostly lists the same pages in the same
/// order (a reload, held and loaded): each page is looked for at its own place first, and the pages are gathered
/// by identifier only once one is not there. Answers what findPage answers in a document without a repeated
/// identifier. It points into the document, like the index.
class VeltoPageCounterparts {
public:
    explicit VeltoPageCounterparts(const VeltoDocument &document)
        : document_(document) {}

    /// The page with that identifier; `position`: where the page asking lies among the other pages of its own
    /// document, nothing for its current page.
    const VeltoPage *find(const Uuid &pageID, std::optional<std::size_t> position);

private:
    const VeltoDocument &document_;
    std::optional<VeltoPageIndex> index_;
};

/// How many pages the lookups by identifier on the calling thread have looked at so far: each page findPage
/// compares, each page an index gathers and each page it finds. Tests of a pass over the library compare it
/// before and after, to learn whether the pass grows with the pages or with their square.
std::size_t pagesVisitedByLookups();

/// Adds to the count above; for findPage, which lives with the document.
void countPagesVisitedByLookups(std::size_t pages);

} // namespace velto
