#pragma once

#include "model/Document.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Documents and pages as the tests of the layers from the library up build them.

namespace velto::testing {

inline VeltoDocument documentOf(VeltoPage current, std::vector<VeltoPage> others = {}) {
    VeltoDocument document;
    document.currentPage = std::move(current);
    document.pages = std::move(others);
    return document;
}

/// A page whose whole text is held: `body` without front matter, on the slug "calm-cove".
inline VeltoPage textPage(const std::string &body, Date createdAt = dateFromSecondsSince1970(1'700'000'000),
                          std::optional<Date> updatedAt = std::nullopt) {
    VeltoPage page;
    page.id = Uuid::random();
    page.createdAt = createdAt;
    page.fileSlug = "calm-cove";
    page.updatedAt = updatedAt;
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, body, "\n"});
    return page;
}

} // namespace velto::testing
