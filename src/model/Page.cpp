#include "model/Page.h"

#include "model/TextEquality.h"

namespace velto {

bool operator==(const VeltoArchivedPageSummary &a, const VeltoArchivedPageSummary &b) {
    return sameText(a.preview, b.preview) && a.fileSize == b.fileSize && a.hasContent == b.hasContent &&
           sameOptionalText(a.contentChecksum, b.contentChecksum) && sameOptionalText(a.bodyChecksum, b.bodyChecksum);
}

bool operator==(const VeltoUnavailablePageSummary &a, const VeltoUnavailablePageSummary &b) {
    return a.fileSize == b.fileSize && a.hasContent == b.hasContent &&
           sameOptionalText(a.contentChecksum, b.contentChecksum) && sameOptionalText(a.bodyChecksum, b.bodyChecksum) &&
           a.isArchived == b.isArchived;
}

bool operator==(const VeltoPage &a, const VeltoPage &b) {
    return a.id == b.id && a.createdAt == b.createdAt && sameOptionalText(a.fileSlug, b.fileSlug) &&
           sameOptionalText(a.relativeFilePath, b.relativeFilePath) && a.updatedAt == b.updatedAt &&
           a.archivedAt == b.archivedAt && a.content == b.content;
}

std::string VeltoPage::persistedFileContents() const {
    return std::string(persistedFileText().text.view());
}

WrittenFileText VeltoPage::persistedFileText() const {
    const VeltoPageFileContent *loaded = content.asLoaded();
    // Nothing to write without a front matter and a body; asked so, not counted, which for "\r\n" line endings
    // would count the line breaks of the whole page.
    if (loaded == nullptr || (!loaded->frontMatter && loaded->body.empty())) {
        return {};
    }
    // The text as a reader of the held text would see it, with this page's identifier.
    return loaded->fileContentsCarryingIdentifier(id);
}

bool VeltoPage::restore(std::optional<Date> activityAt) {
    VeltoPageFileContent *loaded = content.asLoaded();
    if (loaded == nullptr) {
        return false;
    }
    loaded->writeVeltoMetadata(loaded->veltoPageID(), false, loaded->conflictOriginalPageID());
    archivedAt.reset();
    if (activityAt.has_value()) {
        updatedAt = activityAt;
    }
    return true;
}

namespace {

// An archived summary whose preview was not read yet: its text is unknown, not empty, so loading the preview
// later (as archive menus do) must not make the page look changed.
bool hasUnloadedPreview(const VeltoPage &page) {
    const VeltoArchivedPageSummary *summary = page.content.asArchivedSummary();
    return summary != nullptr && summary->preview.empty();
}

} // namespace

std::string VeltoPage::visibleText() const {
    return std::string(visibleTextView());
}

std::string_view VeltoPage::visibleTextView() const {
    if (const VeltoPageFileContent *loaded = content.asLoaded()) {
        return loaded->body;
    }
    if (const VeltoArchivedPageSummary *summary = content.asArchivedSummary()) {
        return summary->preview;
    }
    return {};
}

bool VeltoPage::matchesTimelineState(const VeltoPage &other) const {
    return id == other.id && createdAt == other.createdAt && sameOptionalText(fileSlug, other.fileSlug) &&
           sameOptionalText(relativeFilePath, other.relativeFilePath) && archivedAt == other.archivedAt &&
           (hasUnloadedPreview(*this) || hasUnloadedPreview(other) ||
            sameText(visibleTextView(), other.visibleTextView()));
}

} // namespace velto
