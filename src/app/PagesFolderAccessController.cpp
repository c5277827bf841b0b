#include "app/PagesFolderAccessController.h"

#include <fcntl.h>
#include <unistd.h>

#include <map>
#include <memory>

namespace velto {

PagesFolderAccessController::FolderAccess PagesFolderAccessController::FolderAccess::directoryHandles() {
    // One handle per folder; shared by the two callables of this access.
    auto handles = std::make_shared<std::map<std::filesystem::path, int>>();
    FolderAccess access;
    access.start = [handles](const std::filesystem::path &folder) {
        int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (handle < 0) {
            return false;
        }
        if (auto held = handles->find(folder); held != handles->end()) {
            ::close(held->second);
        }
        (*handles)[folder] = handle;
        return true;
    };
    access.stop = [handles](const std::filesystem::path &folder) {
        if (auto held = handles->find(folder); held != handles->end()) {
            ::close(held->second);
            handles->erase(held);
        }
    };
    return access;
}

PagesFolderAccessController::PagesFolderAccessController(std::filesystem::path folderURL, FolderAccess access)
    : folderURL_(std::move(folderURL))
    , access_(std::move(access)) {}

PagesFolderAccessController::~PagesFolderAccessController() {
    if (securityScopedURL_) {
        access_.stop(*securityScopedURL_);
    }
}

void PagesFolderAccessController::replaceActiveFolder(const std::filesystem::path &folder, bool accessAlreadyStarted) {
    if (securityScopedURL_) {
        access_.stop(*securityScopedURL_);
        securityScopedURL_.reset();
    }
    folderURL_ = folder;
    // An access that cannot start leaves the folder active without any held: a later replacement stops nothing.
    if (accessAlreadyStarted || access_.start(folder)) {
        securityScopedURL_ = folder;
    }
}

} // namespace velto
