#pragma once

#include "model/Document.h"
#include "model/LibraryPageRecord.h"
#include "model/ReconciliationCheckpoint.h"
#include "platform/JsonCoding.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// The library's manifest, `.velto/manifest.json`: the current page, the other pages in library order,
/// the page files still to be removed, and the folder-event position of the last full reconciliation.
struct VeltoLibraryManifest {
    /// The format this system writes; a manifest of a later version is refused.
    static constexpr std::int64_t currentSchemaVersion = 3;

    std::optional<std::int64_t> schemaVersion;
    std::optional<VeltoLibraryReconciliationCheckpoint> reconciliationCheckpoint;
    VeltoLibraryPageRecord currentPage;
    std::vector<VeltoLibraryPageRecord> pages; // the current page is not among them
    std::vector<std::string> pendingDeletionFileNames;

    /// A manifest that lists the document and nothing else (schema 3, no checkpoint, no pending deletions).
    static VeltoLibraryManifest fromDocument(const VeltoDocument &document);

    Json toJson() const;
    /// Throws UnsupportedManifestSchemaError for schema 4 or later (before anything else is read),
    /// JsonDecodingError for a missing required key or a wrong type.
    static VeltoLibraryManifest fromJson(const Json &json);
    std::string encode() const;
    static VeltoLibraryManifest decode(std::string_view bytes);

    friend bool operator==(const VeltoLibraryManifest &, const VeltoLibraryManifest &);
};

} // namespace velto
