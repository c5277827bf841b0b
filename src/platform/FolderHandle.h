#pragma once

#include <filesystem>
#include <optional>

namespace velto {

/// An open handle of a folder (a directory descriptor), closed when the handle goes. While it is held it names
/// the folder it was opened on, even when something renames the path meanwhile.
class FolderHandle {
public:
    /// The folder's handle; nothing when the path cannot be opened or is no folder.
    static std::optional<FolderHandle> open(const std::filesystem::path &folder);

    FolderHandle(FolderHandle &&other) noexcept;
    FolderHandle &operator=(FolderHandle &&other) noexcept;
    FolderHandle(const FolderHandle &) = delete;
    FolderHandle &operator=(const FolderHandle &) = delete;
    ~FolderHandle();

private:
    explicit FolderHandle(int descriptor)
        : descriptor_(descriptor) {}
    void close();

    int descriptor_;
};

} // namespace velto
