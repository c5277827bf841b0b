#pragma once

#include "model/Document.h"

namespace velto {

/// The page with that identifier: the current page, else the first of the other pages; nullptr when none.
VeltoPage *findPage(VeltoDocument &document, const Uuid &pageID);
const VeltoPage *findPage(const VeltoDocument &document, const Uuid &pageID);

} // namespace velto
