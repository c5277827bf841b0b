#pragma once

#include "platform/FileSystem.h"

#include <filesystem>
#include <mutex>
#include <vector>

namespace velto::testing {

struct RecordedOperation {
    FileOperation operation;
    std::filesystem::path path;
    friend bool operator==(const RecordedOperation &, const RecordedOperation &) = default;
};

/// The real file system, keeping a log of every primitive step so a test can check what was touched.
/// An atomic write shows as write and fsync of a hidden temporary file, rename to the target, fsync of the folder.
class RecordingFileSystem : public velto::PosixFileSystem {
public:
    std::vector<RecordedOperation> operations() const;

    /// The paths of the steps of one kind, in order.
    std::vector<std::filesystem::path> paths(FileOperation operation) const;

    /// The targets of atomic writes and moves (the rename steps), in order.
    std::vector<std::filesystem::path> renamedPaths() const { return paths(FileOperation::rename); }

    void clear();

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override;

private:
    mutable std::mutex mutex_;
    std::vector<RecordedOperation> operations_;
};

} // namespace velto::testing
