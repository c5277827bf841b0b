#pragma once

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstddef>
#include <mutex>
#include <set>
#include <string>

namespace velto::testing {

/// The real file system, except that a chosen primitive step fails with a chosen errno (FileSystemError).
///
/// To prove that an operation survives a failure at every step:
///
///     for (std::size_t n = 1;; ++n) {
///         FailingFileSystem fileSystem;
///         fileSystem.failOperation(n);
///         ... run the operation on fileSystem, check what a failure must leave behind ...
///         if (!fileSystem.injectedFailure()) break; // the n-th step was never reached: every step was tried
///     }
class FailingFileSystem : public velto::PosixFileSystem {
public:
    /// Fails the n-th counted step (1-based) with `error`; the steps after it succeed. 0 fails nothing.
    void failOperation(std::size_t n, int error = EIO);

    /// Fails the n-th counted step and every counted step after it, like a disk that stays broken.
    void failFromOperation(std::size_t n, int error = EIO);

    /// Counts (and so fails) only steps of these kinds; every kind when the set is empty.
    void countOnly(std::set<FileOperation> kinds);

    /// Counts (and so fails) only steps whose path contains the text; every path when it is empty.
    void countOnlyPathsContaining(std::string text);

    /// How many steps were counted so far.
    std::size_t countedOperations() const;

    /// True once a failure has been thrown.
    bool injectedFailure() const;

    /// Counts from zero again, keeping the settings; the failure flag is cleared.
    void resetCount();

protected:
    void beforeOperation(FileOperation operation, const std::filesystem::path &path) override;

private:
    bool counts(FileOperation operation, const std::filesystem::path &path) const;

    mutable std::mutex mutex_;
    std::size_t failingOperation_ = 0;
    bool failsAfterwards_ = false;
    int error_ = EIO;
    std::set<FileOperation> kinds_;
    std::string pathText_;
    std::size_t counted_ = 0;
    bool injected_ = false;
};

} // namespace velto::testing
