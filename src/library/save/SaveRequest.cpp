#include "library/save/SaveRequest.h"

#include "library/save/ProcessWriter.h"
#include "model/ContentChecksum.h"
#include "model/PageFileContent.h"
#include "model/ThreeWayMerge.h"

#include <algorithm>

using velto::Uuid;
using velto::VeltoDocument;
using velto::VeltoPage;

namespace {

std::uint64_t revisionOr0(const VeltoSaveRequest::Revisions &revisions, const Uuid &pageID) {
    auto found = revisions.find(pageID);
    return found == revisions.end() ? 0 : found->second;
}

VeltoSaveRequest::Revisions keepingLaterThan(const VeltoSaveRequest::Revisions &revisions,
                                             const VeltoSaveRequest::Revisions &persisted) {
    VeltoSaveRequest::Revisions kept;
    for (const auto &[pageID, revision] : revisions) {
        if (revision > revisionOr0(persisted, pageID)) {
            kept.emplace(pageID, revision);
        }
    }
    return kept;
}

/// The local page with the external side of a finished save's merge folded in; nothing on conflict.
std::optional<VeltoPage> locallyRebasedPage(const VeltoPage &base, const VeltoPage &local, const VeltoPage &merged) {
    auto text = velto::VeltoThreeWayMerge::merge(base.persistedFileContents(), local.persistedFileContents(),
                                                 merged.persistedFileContents());
    if (!text) {
        return std::nullopt;
    }
    auto content = velto::VeltoPageFileContent::parse(*text);
    VeltoPage page;
    page.id = local.id;
    page.createdAt = local.createdAt;
    page.fileSlug = local.fileSlug;
    page.relativeFilePath = local.relativeFilePath;
    page.updatedAt = velto::VeltoThreeWayMerge::maxDate(local.updatedAt, merged.updatedAt);
    if (content.isArchived()) {
        page.archivedAt = velto::VeltoThreeWayMerge::maxDate(local.archivedAt, merged.archivedAt);
    }
    page.content = velto::VeltoPageContent::loaded(std::move(content));
    return page;
}

Uuid replaced(const Uuid &pageID, const std::map<Uuid, Uuid> &replacements) {
    auto found = replacements.find(pageID);
    return found == replacements.end() ? pageID : found->second;
}

VeltoSaveRequest::Revisions replacingKeys(const VeltoSaveRequest::Revisions &revisions,
                                          const std::map<Uuid, Uuid> &replacements) {
    VeltoSaveRequest::Revisions result;
    for (const auto &[pageID, revision] : revisions) {
        auto [entry, inserted] = result.emplace(replaced(pageID, replacements), revision);
        if (!inserted) {
            entry->second = std::max(entry->second, revision);
        }
    }
    return result;
}

} // namespace

VeltoPageBaseline VeltoPageBaseline::fromPage(const VeltoPage &page) {
    if (const auto *loaded = page.content.asLoaded()) {
        // A page as read from its file holds that file's text whole, its body the end of it: shared, not joined.
        if (std::shared_ptr<const std::string> read = loaded->unchangedFileText()) {
            return {velto::contentChecksum(*read), SharedText(std::move(read))};
        }
        std::string text = loaded->fileContents();
        std::optional<std::string> checksum = velto::contentChecksum(text);
        return {std::move(checksum), std::move(text)};
    }
    if (const auto *archived = page.content.asArchivedSummary()) {
        return {archived->contentChecksum, std::nullopt};
    }
    return {page.content.asUnavailable()->contentChecksum, std::nullopt};
}

VeltoPageBaseline VeltoPageBaseline::fromPage(const VeltoPage &page,
                                              const std::map<Uuid, std::optional<std::string>> &fileTextChecksums) {
    const auto *loaded = page.content.asLoaded();
    auto known = fileTextChecksums.find(page.id);
    if (loaded == nullptr || known == fileTextChecksums.end()) {
        return fromPage(page);
    }
    // Only a text still as read is the text whose checksum the load computed.
    std::shared_ptr<const std::string> read = loaded->unchangedFileText();
    if (read == nullptr) {
        return fromPage(page);
    }
    return {known->second, SharedText(std::move(read))};
}

velto::ContentChecksumResumption VeltoPageBaseline::checksumResumption() const {
    // The checkpoints are trusted only for the text whose checksum and size they were made with.
    if (!fileContents || !checksumCheckpoints || checksumCheckpoints->textChecksum != checksum ||
        checksumCheckpoints->textSize != fileContents->size()) {
        return {};
    }
    return {.previousText = fileContents->text(), .previous = checksumCheckpoints.get(), .made = {}};
}

VeltoSaveRequest
VeltoSaveRequest::discardingMutations(const Revisions &persistedPageRevisions,
                                      std::optional<std::uint64_t> persistedStructureRevision) const & {
    return VeltoSaveRequest(*this).discardingMutations(persistedPageRevisions, persistedStructureRevision);
}

VeltoSaveRequest VeltoSaveRequest::discardingMutations(const Revisions &persistedPageRevisions,
                                                       std::optional<std::uint64_t> persistedStructureRevision) && {
    VeltoSaveRequest result = std::move(*this);
    result.changedPageRevisions = keepingLaterThan(result.changedPageRevisions, persistedPageRevisions);
    result.archiveMetadataPageRevisions = keepingLaterThan(result.archiveMetadataPageRevisions, persistedPageRevisions);
    result.removedPageRevisions = keepingLaterThan(result.removedPageRevisions, persistedPageRevisions);
    if (!result.structureRevision || *result.structureRevision <= persistedStructureRevision.value_or(0)) {
        result.structureRevision.reset();
    }
    std::erase_if(result.expectedPageBaselines, [&result](const auto &entry) {
        return !result.changedPageRevisions.contains(entry.first) && !result.removedPageRevisions.contains(entry.first);
    });
    return result;
}

VeltoSaveRequest
VeltoSaveRequest::rebasingExpectedPageBaselines(const std::map<Uuid, VeltoPageBaseline> &baselines) const {
    VeltoSaveRequest result = *this;
    for (const auto &[pageID, revision] : changedPageRevisions) {
        auto found = baselines.find(pageID);
        if (found != baselines.end()) {
            result.expectedPageBaselines[pageID] = found->second;
        }
    }
    // A page that an earlier save wrote and this one removes: its file now holds our own text.
    for (const auto &[pageID, revision] : removedPageRevisions) {
        auto found = baselines.find(pageID);
        if (found != baselines.end() && result.expectedPageBaselines.contains(pageID)) {
            result.expectedPageBaselines[pageID] = found->second;
        }
    }
    return result;
}

VeltoSaveRequest VeltoSaveRequest::rebasingMergedPages(const std::map<Uuid, VeltoPage> &mergedPages,
                                                       const VeltoDocument &base) const {
    if (mergedPages.empty()) {
        return *this;
    }
    VeltoSaveRequest result = *this;
    for (const auto &[pageID, merged] : mergedPages) {
        const VeltoPage *basePage = velto::findPage(base, pageID);
        const VeltoPage *localPage = velto::findPage(result.document, pageID);
        if (basePage == nullptr || localPage == nullptr) {
            continue;
        }
        if (auto rebased = locallyRebasedPage(*basePage, *localPage, merged)) {
            velto::replacePage(result.document, *rebased);
        }
    }
    return result;
}

VeltoSaveRequest VeltoSaveRequest::replacingPageIDs(const std::map<Uuid, Uuid> &replacements) const {
    if (replacements.empty()) {
        return *this;
    }
    VeltoSaveRequest result = *this;
    result.changedPageRevisions = replacingKeys(changedPageRevisions, replacements);
    result.archiveMetadataPageRevisions = replacingKeys(archiveMetadataPageRevisions, replacements);
    result.document = document.replacingPageIDs(replacements);
    // Of two baselines that land on one identifier, the one moved there last stays.
    result.expectedPageBaselines.clear();
    for (const auto &[pageID, baseline] : expectedPageBaselines) {
        result.expectedPageBaselines[replaced(pageID, replacements)] = baseline;
    }
    std::erase_if(result.expectedPageBaselines, [&](const auto &entry) {
        return !result.changedPageRevisions.contains(entry.first) && !removedPageRevisions.contains(entry.first);
    });
    return result;
}

VeltoSaveRequest wholeDocumentSaveRequest(const VeltoDocument &document, velto::Date recordedAt) {
    VeltoSaveRequest request;
    request.writerID = VeltoPageLibrary::processWriterID();
    request.operationID = Uuid::random();
    request.recordedAt = recordedAt;
    request.generation = 1;
    request.document = document;
    request.changedPageRevisions.emplace(document.currentPage.id, 0);
    for (const VeltoPage &page : document.pages) {
        request.changedPageRevisions.emplace(page.id, 0);
    }
    request.structureRevision = 0;
    return request;
}
