#pragma once

#include "library/load/LoadResult.h"
#include "model/Document.h"
#include "model/Page.h"
#include "platform/Clock.h"

#include <optional>
#include <utility>
#include <vector>

namespace VeltoPageLibrary {

/// Whether the user can type into the page at once: its text is loaded and does not say archived.
bool isActivePage(const velto::VeltoPage &page);

/// The loaded pages as a document whose current page is active. The recorded current page stays when it
/// is active; otherwise the first active page (the recorded current page first, then the pages in order)
/// is brought to the front, and the former current page becomes the first of the other pages; when none is
/// active a new empty page, made at the clock's time, goes in front of them all. The repair says which.
std::pair<velto::VeltoDocument, std::optional<VeltoLibraryStructureRepair>>
documentWithActiveCurrentPage(velto::VeltoPage currentPage, std::vector<velto::VeltoPage> pages,
                              const velto::Clock &clock = velto::systemClock());

} // namespace VeltoPageLibrary
