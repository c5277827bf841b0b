#pragma once

#include "model/Page.h"

#include <string_view>

/// The order of pages that the activity order cannot tell apart (same update and creation second, as files
/// another program wrote at once often are): by name, as a file manager lists them.
namespace velto::PageNameOrder {

/// The name a page is ordered by: its file's own name when another writer named the file ("21.md"), else
/// the slug Velto named it after ("calm-cove"; the date and identifier in such a name repeat the other keys).
std::string_view orderingName(const VeltoPage &page);

/// Whether name `a` sorts before name `b`: runs of digits by their value ("note 9" before "note 10"), other
/// characters by their lower case in ASCII, byte by byte. Names that differ only in case or leading zeros
/// are equivalent.
bool namePrecedes(std::string_view a, std::string_view b);

} // namespace velto::PageNameOrder
