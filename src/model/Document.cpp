#include "model/Document.h"

#include "model/PageIndex.h"

#include <unordered_map>
#include <utility>

namespace velto {
namespace {

VeltoPage pageWithReplacedID(const VeltoPage &page, const std::map<Uuid, Uuid> &replacements) {
    auto replacement = replacements.find(page.id);
    if (replacement == replacements.end()) {
        return page;
    }
    VeltoPage replaced = page;
    replaced.id = replacement->second;
    replaced.fileSlug = "recovered-page";
    replaced.relativeFilePath.reset();
    if (const VeltoPageFileContent *loaded = page.content.asLoaded()) {
        replaced.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(loaded->fileContents()));
    }
    return replaced;
}

bool contentSaysArchived(const VeltoPageContent &content) {
    if (const VeltoPageFileContent *loaded = content.asLoaded()) {
        return loaded->isArchived();
    }
    if (content.asArchivedSummary() != nullptr) {
        return true;
    }
    const VeltoUnavailablePageSummary *unavailable = content.asUnavailable();
    return unavailable != nullptr && unavailable->isArchived.value_or(false);
}

} // namespace

VeltoDocument::ValidationError::ValidationError(const Uuid &pageID)
    : std::runtime_error("The Velto document contains more than one page with ID " + pageID.uppercaseText() + ".")
    , pageID_(pageID) {}

VeltoDocument::ValidationError VeltoDocument::ValidationError::duplicatePageID(const Uuid &pageID) {
    return ValidationError(pageID);
}

void VeltoDocument::validate() const {
    std::set<Uuid> seen{currentPage.id};
    for (const VeltoPage &page : pages) {
        if (!seen.insert(page.id).second) {
            throw ValidationError::duplicatePageID(page.id);
        }
    }
}

VeltoDocument VeltoDocument::replacingPageIDs(const std::map<Uuid, Uuid> &replacements) const {
    VeltoDocument result{pageWithReplacedID(currentPage, replacements), {}};
    result.pages.reserve(pages.size());
    for (const VeltoPage &page : pages) {
        result.pages.push_back(pageWithReplacedID(page, replacements));
    }
    return result;
}

std::set<Uuid> VeltoDocument::archivedPageIDs() const {
    std::set<Uuid> archived;
    if (contentSaysArchived(currentPage.content)) {
        archived.insert(currentPage.id);
    }
    for (const VeltoPage &page : pages) {
        if (contentSaysArchived(page.content)) {
            archived.insert(page.id);
        }
    }
    return archived;
}

VeltoDocument VeltoDocument::preservingUpdatedAt(const VeltoDocument &other) const {
    // Should `other` ever repeat an identifier, its first page of that identifier speaks for it.
    std::unordered_map<Uuid, std::optional<Date>, UuidHash> updateDates;
    updateDates.emplace(other.currentPage.id, other.currentPage.updatedAt);
    for (const VeltoPage &page : other.pages) {
        updateDates.emplace(page.id, page.updatedAt);
    }
    auto carriedOver = [&updateDates](VeltoPage page) {
        auto found = updateDates.find(page.id);
        if (found != updateDates.end()) {
            page.updatedAt = found->second;
        }
        return page;
    };
    VeltoDocument result{carriedOver(currentPage), {}};
    result.pages.reserve(pages.size());
    for (const VeltoPage &page : pages) {
        result.pages.push_back(carriedOver(page));
    }
    return result;
}

VeltoPage *findPage(VeltoDocument &document, const Uuid &pageID) {
    return const_cast<VeltoPage *>(findPage(std::as_const(document), pageID));
}

const VeltoPage *findPage(const VeltoDocument &document, const Uuid &pageID) {
    if (document.currentPage.id == pageID) {
        countPagesVisitedByLookups(1);
        return &document.currentPage;
    }
    const VeltoPage *found = nullptr;
    std::size_t visited = 1;
    for (const VeltoPage &page : document.pages) {
        ++visited;
        if (page.id == pageID) {
            found = &page;
            break;
        }
    }
    countPagesVisitedByLookups(visited);
    return found;
}

void replacePage(VeltoDocument &document, const VeltoPage &page) {
    if (VeltoPage *held = findPage(document, page.id)) {
        *held = page;
    }
}

} // namespace velto
