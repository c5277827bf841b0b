#include "app/lifecycle/PagesFolderAccessController.h"

#include "platform/FolderHandle.h"

#include <map>
#include <memory>

namespace velto {

PagesFolderAccessController::FolderAccess PagesFolderAccessController::FolderAccess::directoryHandles() {
    // One handle per folder; shared by the two callables of this access.
    auto handles = std::make_shared<std::map<std::filesystem::path, FolderHandle>>();
    FolderAccess access;
    access.start = [handles](const std::filesystem::path &folder) {
        std::optional<FolderHandle> handle = FolderHandle::open(folder);
        if (!handle) {
            return false;
        }
        // A handle held already for the folder is closed as the new one takes its place.
        handles->insert_or_assign(folder, std::move(*handle));
        return true;
    };
    access.stop = [handles](const std::filesystem::path &folder) { handles->erase(folder); };
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
