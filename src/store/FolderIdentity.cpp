#include "store/FolderIdentity.h"

namespace velto {
namespace {

std::filesystem::path standardizedFolderURL(const std::filesystem::path &url) {
    std::filesystem::path normal = url.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) {
        normal = normal.parent_path(); // "Pages/" is "Pages"; the root stays "/"
    }
    return normal;
}

} // namespace

bool isSameFolderURL(const std::filesystem::path &a, const std::filesystem::path &b) {
    return standardizedFolderURL(a) == standardizedFolderURL(b);
}

} // namespace velto
