#pragma once

#include <filesystem>

namespace velto {

/// Whether two folder URLs name the same folder once written the standard way: "Pages", "Pages/" and
/// "Pages/./" are one folder. Links are not followed, as the folder need not exist yet.
bool isSameFolderURL(const std::filesystem::path &a, const std::filesystem::path &b);

} // namespace velto
