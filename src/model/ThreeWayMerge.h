#pragma once

#include "platform/Date.h"

#include <optional>
#include <string>
#include <string_view>

/// Merges two edited versions of a page file against the version both started from.
///
/// The front matter and the line ending are merged as single values and the body line by line; lines compare
/// by canonical equivalence. A conflict gives no result: the caller keeps one version and saves the other as a
/// conflict copy, so no conflict markers are ever written into a page.
namespace velto::VeltoThreeWayMerge {

/// The merged file text, or nothing when the two versions conflict. "Local" is this writer's version,
/// "external" the one found on disk.
std::optional<std::string> merge(std::string_view baseFileContents, std::string_view localFileContents,
                                 std::string_view externalFileContents);

/// The later of two dates; the present one when only one is; the second when they are equal.
std::optional<Date> maxDate(std::optional<Date> a, std::optional<Date> b);

} // namespace velto::VeltoThreeWayMerge
