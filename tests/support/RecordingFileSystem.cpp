#include "support/RecordingFileSystem.h"

namespace velto::testing {

std::vector<RecordedOperation> RecordingFileSystem::operations() const {
    std::lock_guard lock(mutex_);
    return operations_;
}

std::vector<std::filesystem::path> RecordingFileSystem::paths(FileOperation operation) const {
    std::lock_guard lock(mutex_);
    std::vector<std::filesystem::path> result;
    for (const RecordedOperation &recorded : operations_) {
        if (recorded.operation == operation) {
            result.push_back(recorded.path);
        }
    }
    return result;
}

void RecordingFileSystem::clear() {
    std::lock_guard lock(mutex_);
    operations_.clear();
}

void RecordingFileSystem::beforeOperation(FileOperation operation, const std::filesystem::path &path) {
    std::lock_guard lock(mutex_);
    operations_.push_back({operation, path});
}

} // namespace velto::testing
