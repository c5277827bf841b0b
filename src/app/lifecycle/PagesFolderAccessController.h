#pragma once

#include <filesystem>
#include <functional>
#include <optional>

namespace velto {

/// Holds the access to the active Pages folder and remembers which folder is active. Linux grants no access
/// per folder to an application outside a sandbox; the nearest thing is an open handle of the folder, which
/// Velto keeps while the folder is active, so that the folder it reads and writes stays the one chosen even
/// when something renames the path meanwhile, and which it gives back when the folder is replaced or Velto
/// ends. Main thread only.
class PagesFolderAccessController {
public:
    /// Starting access answers whether access is now held; stopping gives it back.
    struct FolderAccess {
        std::function<bool(const std::filesystem::path &)> start;
        std::function<void(const std::filesystem::path &)> stop;
        /// Opens a handle of the folder (a directory descriptor) and closes it again.
        static FolderAccess directoryHandles();
    };

    explicit PagesFolderAccessController(std::filesystem::path folderURL,
                                         FolderAccess access = FolderAccess::directoryHandles());
    ~PagesFolderAccessController();
    PagesFolderAccessController(const PagesFolderAccessController &) = delete;
    PagesFolderAccessController &operator=(const PagesFolderAccessController &) = delete;

    const std::filesystem::path &folderURL() const { return folderURL_; }
    /// The folder whose access is held, if any: always the active folder.
    const std::optional<std::filesystem::path> &securityScopedURL() const { return securityScopedURL_; }

    /// Makes the folder the active one, giving back the access held for the one before. With
    /// `accessAlreadyStarted` the caller has started the access itself, and this controller now holds it.
    void replaceActiveFolder(const std::filesystem::path &folder, bool accessAlreadyStarted);

private:
    std::filesystem::path folderURL_;
    std::optional<std::filesystem::path> securityScopedURL_;
    FolderAccess access_;
};

} // namespace velto
