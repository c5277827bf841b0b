#include "store/ConflictResolution.h"

#include "model/PageSlug.h"

#include <algorithm>

namespace velto {
namespace {

/// The copy's file text as held, parsed again; empty when only a summary of the copy is held.
VeltoPageFileContent copyFileContent(const VeltoPage &copy) {
    const VeltoPageFileContent *loaded = copy.content.asLoaded();
    return VeltoPageFileContent::parse(loaded != nullptr ? loaded->fileContents() : "");
}

} // namespace

VeltoDocument resolvingConflictCopy(VeltoDocument document, std::size_t copyIndex, VeltoConflictResolution resolution,
                                    const std::optional<Uuid> &originalID, Date now) {
    const VeltoPage copy = std::move(document.pages[copyIndex]);
    document.pages.erase(document.pages.begin() + static_cast<std::ptrdiff_t>(copyIndex));
    if (resolution == VeltoConflictResolution::useSavedCopy) {
        VeltoPage *replaced = findPage(document, *originalID);
        VeltoPage page;
        page.id = replaced->id;
        page.createdAt = replaced->createdAt;
        page.fileSlug = replaced->fileSlug;
        page.relativeFilePath = replaced->relativeFilePath;
        page.updatedAt = now;
        VeltoPageFileContent content = copyFileContent(copy);
        content.writeVeltoMetadata(replaced->id, content.isArchived(), std::nullopt);
        page.content = VeltoPageContent::loaded(std::move(content));
        *replaced = std::move(page);
    } else if (resolution == VeltoConflictResolution::keepBothVersions) {
        VeltoPageFileContent content = copyFileContent(copy);
        content.writeVeltoMetadata(content.veltoPageID(), content.isArchived(), std::nullopt);
        VeltoPage page;
        page.id = Uuid::random();
        page.createdAt = copy.createdAt;
        page.updatedAt = copy.updatedAt;
        page.fileSlug = VeltoPageSlug::make();
        page.content = VeltoPageContent::loaded(VeltoPageFileContent{content.frontMatter, content.body, "\n"});
        std::size_t index = std::min(copyIndex, document.pages.size());
        document.pages.insert(document.pages.begin() + static_cast<std::ptrdiff_t>(index), std::move(page));
    }
    return document;
}

} // namespace velto
