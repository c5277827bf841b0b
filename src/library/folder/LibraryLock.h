#pragma once

#include "platform/FileSystem.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

namespace VeltoPageLibrary {

/// How a library operation holds the folder's lock: readers of one page's latest state share it;
/// everything that loads, reconciles or writes holds it alone.
enum class LibraryLockMode { shared, exclusive };

/// ".velto/transaction.lock" of the folder: the file whose advisory lock guards the library.
std::filesystem::path libraryLockFileURL(const std::filesystem::path &folderURL);

/// How long an operation waits for a lock that another process holds. Loads and saves of a large library take
/// well under this; a holder that keeps the lock longer is stuck, and the operation gives up rather than hang.
inline constexpr std::chrono::milliseconds libraryLockWaitLimit{4000};

/// The error of a lock not granted within libraryLockWaitLimit: velto::FileSystemError with EWOULDBLOCK, whose
/// sentence names the lock file, so that the user can find what holds it.
velto::FileSystemError libraryBusyError(const std::filesystem::path &lockFileURL);

/// Runs `perform` while holding the advisory lock of every given folder, then releases them in reverse
/// order. Waits until every lock is granted, at most libraryLockWaitLimit for each, then throws
/// libraryBusyError. Each call opens the lock files anew, so two calls in one
/// process exclude each other exactly as two processes do. `beforeAcquiring` runs once per distinct lock
/// file, after it is open and before its lock is requested. A failed open or lock throws
/// velto::FileSystemError with the errno after releasing what was held; `perform`'s error passes unchanged.
void withLibraryLocksRunning(const std::vector<std::filesystem::path> &folders, LibraryLockMode mode,
                             const std::function<void()> &beforeAcquiring, const std::function<void()> &perform);

/// The same, returning the body's result.
template <typename Perform>
auto withLibraryLocks(const std::vector<std::filesystem::path> &folders, LibraryLockMode mode,
                      const std::function<void()> &beforeAcquiring, Perform &&perform) {
    using Result = std::invoke_result_t<Perform &>;
    if constexpr (std::is_void_v<Result>) {
        withLibraryLocksRunning(folders, mode, beforeAcquiring, perform);
    } else {
        std::optional<Result> result;
        withLibraryLocksRunning(folders, mode, beforeAcquiring, [&] { result.emplace(perform()); });
        return std::move(*result);
    }
}

template <typename Perform>
auto withLibraryLocks(const std::vector<std::filesystem::path> &folders, LibraryLockMode mode, Perform &&perform) {
    return withLibraryLocks(folders, mode, nullptr, std::forward<Perform>(perform));
}

} // namespace VeltoPageLibrary
