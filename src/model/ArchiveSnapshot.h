#pragma once

#include "platform/Uuid.h"

#include <cstdint>
#include <set>

namespace velto {

/// The archived pages and their total size in bytes.
struct VeltoArchiveSnapshot {
    std::set<Uuid> pageIDs;
    std::int64_t totalBytes = 0;

    static VeltoArchiveSnapshot empty() { return {}; }

    friend bool operator==(const VeltoArchiveSnapshot &, const VeltoArchiveSnapshot &) = default;
};

} // namespace velto
