#pragma once

#include "model/Document.h"

#include <vector>

namespace velto {

/// The current page and the active other pages, most recently active first: the store's order, as
/// references into its document. The menu and Browse Pages list pages of up to 5 MB each and must not copy
/// their texts to sort them. Valid until the document changes.
std::vector<const VeltoPage *> activePagesByActivity(const VeltoDocument &document);

/// The identifiers of the pages, in order.
std::vector<Uuid> identifiersOf(const std::vector<const VeltoPage *> &pages);

} // namespace velto
