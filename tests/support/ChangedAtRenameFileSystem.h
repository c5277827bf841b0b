#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <functional>
#include <utility>

namespace velto::testing {

/// The real file system, with another program acting on one file right before this process renames a file into
/// its place (an atomic write or a replacement swapping its file in or back): `act` gets the file and which
/// such rename it is, 1 for the first.
class ChangedAtRenameFileSystem : public velto::PosixFileSystem {
public:
    using Action = std::function<void(const std::filesystem::path &file, int rename)>;

    ChangedAtRenameFileSystem(std::filesystem::path target, Action act)
        : target_(std::move(target))
        , act_(std::move(act)) {}

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override {
        if (operation == FileOperation::rename && path == target_) {
            act_(path, ++renames_);
        }
    }

private:
    std::filesystem::path target_;
    Action act_;
    int renames_ = 0;
};

} // namespace velto::testing
