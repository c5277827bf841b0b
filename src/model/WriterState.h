#pragma once

#include "model/LibraryPageRecord.h"
#include "model/WriterVersion.h"
#include "platform/JsonCoding.h"
#include "platform/Uuid.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// One writer's recorded state of one page.
struct VeltoWriterPageMutation {
    VeltoLibraryPageRecord page;
    VeltoWriterVersion version;

    Json toJson() const;
    static VeltoWriterPageMutation fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoWriterPageMutation &, const VeltoWriterPageMutation &) = default;
};

/// One writer's removal of a page.
struct VeltoWriterDeletion {
    Uuid pageID;
    VeltoWriterVersion version;

    Json toJson() const;
    static VeltoWriterDeletion fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoWriterDeletion &, const VeltoWriterDeletion &) = default;
};

/// One writer's choice of the current page and the page order.
struct VeltoWriterStructure {
    Uuid currentPageID;
    std::vector<Uuid> orderedPageIDs; // all pages in library order, the current page first
    VeltoWriterVersion version;

    Json toJson() const;
    static VeltoWriterStructure fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoWriterStructure &, const VeltoWriterStructure &) = default;
};

/// The journal of one writer, one JSON document in `.velto/writers`.
struct VeltoWriterState {
    Uuid writerID;
    std::vector<VeltoWriterPageMutation> pageMutations;
    std::vector<VeltoWriterDeletion> deletions;
    std::optional<VeltoWriterStructure> structure;
    std::optional<std::vector<VeltoWriterHead>> deletionFrontier; // kept by compaction

    Json toJson() const;
    static VeltoWriterState fromJson(const Json &json); // throws JsonDecodingError
    std::string encode() const;
    static VeltoWriterState decode(std::string_view bytes);

    friend bool operator==(const VeltoWriterState &, const VeltoWriterState &) = default;
};

} // namespace velto
