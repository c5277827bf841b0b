#include "platform/FolderHandle.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace velto {

std::optional<FolderHandle> FolderHandle::open(const std::filesystem::path &folder) {
    int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    return FolderHandle(descriptor);
}

FolderHandle::FolderHandle(FolderHandle &&other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)) {}

FolderHandle &FolderHandle::operator=(FolderHandle &&other) noexcept {
    if (this != &other) {
        close();
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FolderHandle::~FolderHandle() {
    close();
}

void FolderHandle::close() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
}

} // namespace velto
