#pragma once

#include "library/load/FullLoad.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "model/ContentChecksum.h"
#include "model/Document.h"
#include "model/Page.h"
#include "model/PageFileContent.h"
#include "platform/Date.h"
#include "platform/Uuid.h"
#include "support/Documents.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Pages, documents and save requests as the store builds them, for the tests of saving.
namespace velto::writetesting {

inline Date day(int dayOfJanuary) {
    return dateFromSecondsSince1970(1'767'225'600.0 + 86'400.0 * (dayOfJanuary - 1)); // 2026-01-dd 00:00Z
}

/// A loaded page whose file text is `text` (front matter and all).
inline VeltoPage pageWithText(const Uuid &id, const std::string &text, std::optional<std::string> slug = "calm-cove") {
    VeltoPage page;
    page.id = id;
    page.createdAt = day(5);
    page.fileSlug = std::move(slug);
    page.content = VeltoPageContent::loaded(VeltoPageFileContent::parse(text));
    return page;
}

/// A loaded page with only a body; its file gets the identifier when it is written.
inline VeltoPage pageWithBody(const Uuid &id, const std::string &body) {
    return pageWithText(id, body);
}

using testing::documentOf;

/// A request of the test writer that marks the given pages as changed at revision 1.
inline VeltoSaveRequest requestFor(const VeltoDocument &document, const std::vector<Uuid> &changed,
                                   const Uuid &writerID = *Uuid::parse("0A000000-0000-4000-8000-00000000000A")) {
    VeltoSaveRequest request;
    request.writerID = writerID;
    request.operationID = Uuid::random();
    request.recordedAt = day(6);
    request.generation = 1;
    request.mutationRevision = 1;
    request.document = document;
    for (const auto &id : changed) {
        request.changedPageRevisions[id] = 1;
    }
    return request;
}

/// Writes a library of two pages into the folder: `current` holding "alpha" and `other` holding "beta".
inline void writeTwoPageLibrary(const std::filesystem::path &folder, const Uuid &current, const Uuid &other) {
    auto document = documentOf(pageWithBody(current, "alpha\n"), {pageWithBody(other, "beta\n")});
    VeltoPageLibrary::write(requestFor(document, {current, other}), folder);
}

/// What the store believes a page's file holds after it wrote `page`.
inline VeltoPageBaseline writtenBaseline(const VeltoPage &page) {
    std::string text = page.persistedFileContents();
    return {contentChecksum(text), text};
}

inline VeltoDocument loadedDocument(const std::filesystem::path &folder) {
    auto result = VeltoPageLibrary::load(folder);
    if (result.asLoaded() == nullptr) {
        ADD_FAILURE() << "the library did not load: "
                      << (result.failureIssue() != nullptr ? result.failureIssue()->message : "missing");
        return {};
    }
    return result.asLoaded()->document;
}

inline std::vector<VeltoPage> allPagesOf(const VeltoDocument &document) {
    std::vector<VeltoPage> pages{document.currentPage};
    pages.insert(pages.end(), document.pages.begin(), document.pages.end());
    return pages;
}

/// A copy of the page with that identifier, so that it may outlive a document loaded for the check.
inline std::optional<VeltoPage> pageCopy(const VeltoDocument &document, const Uuid &id) {
    for (const auto &page : allPagesOf(document)) {
        if (page.id == id) {
            return page;
        }
    }
    return std::nullopt;
}

} // namespace velto::writetesting
