#include "library/load/ActiveCurrentPage.h"

#include "model/PageSlug.h"

namespace VeltoPageLibrary {

namespace {

/// The page that the first save gives a file name of its own.
velto::VeltoPage newEmptyPage(const velto::Clock &clock) {
    velto::VeltoPage page;
    page.id = velto::Uuid::random();
    page.createdAt = clock.now();
    page.fileSlug = velto::VeltoPageSlug::make();
    page.content = velto::VeltoPageContent::loaded(velto::VeltoPageFileContent{});
    return page;
}

} // namespace

bool isActivePage(const velto::VeltoPage &page) {
    const auto *content = page.content.asLoaded();
    return content != nullptr && !content->isArchived();
}

std::pair<velto::VeltoDocument, std::optional<VeltoLibraryStructureRepair>>
documentWithActiveCurrentPage(velto::VeltoPage currentPage, std::vector<velto::VeltoPage> pages,
                              const velto::Clock &clock) {
    if (isActivePage(currentPage)) {
        return {velto::VeltoDocument{std::move(currentPage), std::move(pages)}, std::nullopt};
    }
    std::vector<velto::VeltoPage> candidates;
    candidates.reserve(pages.size() + 1);
    candidates.push_back(std::move(currentPage));
    for (auto &page : pages) {
        candidates.push_back(std::move(page));
    }
    for (auto candidate = candidates.begin(); candidate != candidates.end(); ++candidate) {
        if (isActivePage(*candidate)) {
            velto::VeltoPage promoted = std::move(*candidate);
            candidates.erase(candidate);
            return {velto::VeltoDocument{std::move(promoted), std::move(candidates)},
                    VeltoLibraryStructureRepair::promotedExistingPageRepair()};
        }
    }
    velto::VeltoPage created = newEmptyPage(clock);
    VeltoLibraryStructureRepair repair;
    repair.createdPageID = created.id;
    return {velto::VeltoDocument{std::move(created), std::move(candidates)}, repair};
}

} // namespace VeltoPageLibrary
