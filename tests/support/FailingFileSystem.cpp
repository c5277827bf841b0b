#include "support/FailingFileSystem.h"

namespace velto::testing {

void FailingFileSystem::failOperation(std::size_t n, int error) {
    std::lock_guard lock(mutex_);
    failingOperation_ = n;
    failsAfterwards_ = false;
    error_ = error;
}

void FailingFileSystem::failFromOperation(std::size_t n, int error) {
    std::lock_guard lock(mutex_);
    failingOperation_ = n;
    failsAfterwards_ = true;
    error_ = error;
}

void FailingFileSystem::countOnly(std::set<FileOperation> kinds) {
    std::lock_guard lock(mutex_);
    kinds_ = std::move(kinds);
}

void FailingFileSystem::countOnlyPathsContaining(std::string text) {
    std::lock_guard lock(mutex_);
    pathText_ = std::move(text);
}

std::size_t FailingFileSystem::countedOperations() const {
    std::lock_guard lock(mutex_);
    return counted_;
}

bool FailingFileSystem::injectedFailure() const {
    std::lock_guard lock(mutex_);
    return injected_;
}

void FailingFileSystem::resetCount() {
    std::lock_guard lock(mutex_);
    counted_ = 0;
    injected_ = false;
}

bool FailingFileSystem::counts(FileOperation operation, const std::filesystem::path &path) const {
    if (!kinds_.empty() && kinds_.count(operation) == 0) {
        return false;
    }
    return pathText_.empty() || path.string().find(pathText_) != std::string::npos;
}

void FailingFileSystem::beforeOperation(FileOperation operation, const std::filesystem::path &path) {
    std::lock_guard lock(mutex_);
    if (!counts(operation, path)) {
        return;
    }
    ++counted_;
    bool fails =
        failingOperation_ != 0 && (counted_ == failingOperation_ || (failsAfterwards_ && counted_ > failingOperation_));
    if (fails) {
        injected_ = true;
        throw FileSystemError(error_, path, std::string("Injected failure of ") + fileOperationName(operation));
    }
}

} // namespace velto::testing
