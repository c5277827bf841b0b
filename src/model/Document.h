#pragma once

#include "model/Page.h"
#include "platform/Uuid.h"

#include <map>
#include <set>
#include <stdexcept>
#include <vector>

namespace velto {

/// The open library as a value: the page in the editor and the other pages in library order.
/// The identifiers of all pages are pairwise distinct (see validate()).
struct VeltoDocument {
    /// A document that breaks the distinct-identifier rule.
    class ValidationError : public std::runtime_error {
    public:
        enum class Kind { duplicatePageID };

        static ValidationError duplicatePageID(const Uuid &pageID);

        Kind kind() const { return Kind::duplicatePageID; }
        const Uuid &pageID() const { return pageID_; }
        std::string errorDescription() const { return what(); }

    private:
        explicit ValidationError(const Uuid &pageID);
        Uuid pageID_;
    };

    VeltoPage currentPage;
    std::vector<VeltoPage> pages; // the current page is not among them

    /// Throws ValidationError for the first identifier met twice, in the order current page, then pages.
    void validate() const;

    /// The document with the mapped pages given their new identifiers. A replaced page becomes a
    /// "recovered-page" without a fixed path; its text still carries the old identifier until it is written.
    VeltoDocument replacingPageIDs(const std::map<Uuid, Uuid> &replacements) const;

    /// Pages whose held content says archived (the archive date plays no part).
    std::set<Uuid> archivedPageIDs() const;

    /// This document with every page's update date taken from the page of the same identifier in `other`.
    VeltoDocument preservingUpdatedAt(const VeltoDocument &other) const;

    friend bool operator==(const VeltoDocument &, const VeltoDocument &) = default;
};

/// The page with that identifier: the current page, else the first of the other pages; nullptr when none.
VeltoPage *findPage(VeltoDocument &document, const Uuid &pageID);
const VeltoPage *findPage(const VeltoDocument &document, const Uuid &pageID);

/// Puts the page in place of the page with its identifier (the current page, else the first other page);
/// a document without that identifier stays as it is.
void replacePage(VeltoDocument &document, const VeltoPage &page);

} // namespace velto
