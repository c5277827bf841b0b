#pragma once

#include "model/Document.h"
#include "platform/Uuid.h"

#include <string>
#include <variant>
#include <vector>

namespace velto {

/// One undoable page operation of the store: what it did and the documents before and after it.
struct VeltoPageOperation {
    struct Creation {
        Uuid pageID;
        friend bool operator==(const Creation &, const Creation &) = default;
    };
    struct Archival {
        Uuid pageID;
        friend bool operator==(const Archival &, const Archival &) = default;
    };
    struct Deletion {
        std::vector<Uuid> pageIDs; // order matters
        friend bool operator==(const Deletion &, const Deletion &) = default;
    };
    struct Movement {
        Uuid pageID;
        friend bool operator==(const Movement &, const Movement &) = default;
    };
    struct BulkImport {
        std::vector<Uuid> pageIDs; // order matters
        friend bool operator==(const BulkImport &, const BulkImport &) = default;
    };
    using Effect = std::variant<Creation, Archival, Deletion, Movement, BulkImport>;

    std::vector<Effect> effects;
    std::string actionName;
    VeltoDocument before;
    VeltoDocument after;

    friend bool operator==(const VeltoPageOperation &, const VeltoPageOperation &) = default;
};

} // namespace velto
