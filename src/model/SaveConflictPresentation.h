#pragma once

#include "platform/Uuid.h"

#include <string>
#include <vector>

namespace velto {

/// How the store presents the conflict copies that saves kept: a title, a message and the pages concerned.
struct VeltoSaveConflictPresentation {
    std::string title;
    std::string message;
    std::vector<Uuid> pageIDs; // order matters

    friend bool operator==(const VeltoSaveConflictPresentation &, const VeltoSaveConflictPresentation &) = default;
};

} // namespace velto
