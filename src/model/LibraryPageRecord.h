#pragma once

#include "model/ContentChecksum.h"

#include "model/Page.h"
#include "platform/Date.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// What the library knows of one page without reading its file. The element of the manifest's page
/// lists and the payload of a writer's page mutation.
struct VeltoLibraryPageRecord {
    Uuid id;
    Date createdAt;
    std::optional<std::string> fileSlug;
    std::optional<std::string> relativeFilePath;
    std::optional<Date> updatedAt;
    std::optional<Date> archivedAt;
    bool hasContent = false;
    std::optional<std::string> contentChecksum; // of the whole file text as written
    std::optional<std::string> bodyChecksum;    // of the body with "\n" line breaks
    std::optional<std::int64_t> fileSize;       // UTF-8 bytes; older records may lack it
    std::optional<bool> isArchived;             // older records may lack it

    /// The record that describes a page as held in memory; always carries fileSize and isArchived.
    static VeltoLibraryPageRecord fromPage(const VeltoPage &page);
    /// The same, with the page's persistedFileText() already made (null: made here), so that a save
    /// that has written the text does not make megabytes of it again; with a `resumption`, the text is
    /// hashed only from where it differs from the text last written.
    static VeltoLibraryPageRecord fromPage(const VeltoPage &page, const WrittenFileText *persistedFileText,
                                           ContentChecksumResumption *resumption = nullptr);

    /// The page this record describes (identifier, dates, slug and path), holding `content`.
    VeltoPage page(VeltoPageContent content) const;

    /// Whether both records describe the same state of the page as far as a writer's journal is
    /// concerned: every field but fileSize and isArchived agrees.
    bool describesSamePageMutation(const VeltoLibraryPageRecord &other) const;

    Json toJson() const;
    static VeltoLibraryPageRecord fromJson(const Json &json); // throws JsonDecodingError
    std::string encode() const;
    static VeltoLibraryPageRecord decode(std::string_view bytes);

    friend bool operator==(const VeltoLibraryPageRecord &, const VeltoLibraryPageRecord &);
};

} // namespace velto
