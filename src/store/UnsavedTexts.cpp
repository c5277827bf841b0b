#include "store/UnsavedTexts.h"

#include "library/UnsavedTextFiles.h"
#include "store/PendingEdits.h"
#include "store/Store.h"

namespace velto {
namespace {

/// The loaded pages that hold a change not on disk, the current page first.
std::vector<const VeltoPage *> pagesWithPendingText(const VeltoStore &store) {
    std::vector<const VeltoPage *> pages;
    auto check = [&](const VeltoPage &page) {
        if (page.content.asLoaded() != nullptr && !page.visibleTextView().empty() &&
            hasPendingChange(store.mutations(), page.id)) {
            pages.push_back(&page);
        }
    };
    check(store.document().currentPage);
    for (const VeltoPage &page : store.document().pages) {
        check(page);
    }
    return pages;
}

} // namespace

bool holdsUnsavedText(const VeltoStore &store) {
    return store.loadState().recoveryIssue() == nullptr && !pagesWithPendingText(store).empty();
}

void keepUnsavedTexts(const VeltoStore &store, FileSystem &fileSystem, const std::filesystem::path &folder, Date now,
                      VeltoKeptTexts &kept) {
    for (const VeltoPage *page : pagesWithPendingText(store)) {
        try {
            if (auto file = kept.files.find(page->id); file != kept.files.end()) {
                fileSystem.writeAtomically(file->second, page->visibleTextView());
            } else {
                kept.files.emplace(page->id,
                                   VeltoPageLibrary::keepUnsavedText(fileSystem, folder, page->visibleTextView(), now));
            }
        } catch (const std::exception &error) {
            kept.failures.emplace_back(error.what());
        }
    }
}

} // namespace velto
