#pragma once

#include <string>

namespace velto::VeltoPageSlug {

/// "calm-cove": an adjective and a noun drawn uniformly from two fixed lists of 32 words. Slugs are
/// not unique; the page identifier in the file name keeps files apart.
std::string make();

} // namespace velto::VeltoPageSlug
