#pragma once

#include "model/ConflictResolutionChoice.h"
#include "model/Document.h"

#include <cstddef>
#include <optional>

namespace velto {

/// The document once the conflict copy at `copyIndex` among its other pages is resolved as chosen at `now`:
/// the copy goes (its file with the next save, as any removed page's does); for `useSavedCopy` the page
/// `originalID` takes the copy's text, and for `keepBothVersions` the copy's text becomes a new page where the
/// copy stood.
VeltoDocument resolvingConflictCopy(VeltoDocument document, std::size_t copyIndex, VeltoConflictResolution resolution,
                                    const std::optional<Uuid> &originalID, Date now);

} // namespace velto
