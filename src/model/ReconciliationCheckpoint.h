#pragma once

#include "platform/JsonCoding.h"

#include <cstdint>

namespace velto {

/// The folder-event position at the last full reconciliation: the Pages folder's device and that
/// device's last event identifier at the time.
struct VeltoLibraryReconciliationCheckpoint {
    std::uint64_t deviceID = 0;
    std::uint64_t eventID = 0;

    Json toJson() const;
    static VeltoLibraryReconciliationCheckpoint fromJson(const Json &json); // throws JsonDecodingError

    friend bool operator==(const VeltoLibraryReconciliationCheckpoint &,
                           const VeltoLibraryReconciliationCheckpoint &) = default;
};

} // namespace velto
