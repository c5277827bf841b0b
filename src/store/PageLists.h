#pragma once

#include "model/Document.h"

#include <vector>

namespace velto {

// The lists of pages that menus, page cycling and the archive show, read off a document.

/// The activity order of page lists: later activity (update, else creation date) first, then later creation,
/// then the smaller identifier text.
bool activityPrecedes(const VeltoPage &a, const VeltoPage &b);

/// The active pages other than the current one, in library order.
std::vector<VeltoPage> activeOtherPages(const VeltoDocument &document);
/// The current page and the active other pages, most recently active first.
std::vector<VeltoPage> activePagesSortedByActivity(const VeltoDocument &document);
/// The archived pages, most recently archived first.
std::vector<VeltoPage> archivedPagesSortedByArchiveDate(const VeltoDocument &document);
/// The current page, then the active other pages whose text is held, in library order: page cycling.
std::vector<VeltoPage> activePagesInNavigationOrder(const VeltoDocument &document);

} // namespace velto
