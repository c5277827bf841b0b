#include "platform/FilePermissions.h"

#include "platform/FileSystem.h"

#include <cerrno>

#include <sys/stat.h>

namespace velto {

std::optional<std::filesystem::perms> filePermissions(const std::filesystem::path &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::filesystem::perms>(info.st_mode & 07777);
}

void setFilePermissions(const std::filesystem::path &path, std::filesystem::perms permissions) {
    if (::chmod(path.c_str(), static_cast<mode_t>(permissions)) != 0) {
        throw FileSystemError(errno, path, "Changing permissions of");
    }
}

} // namespace velto
