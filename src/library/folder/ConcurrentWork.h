#pragma once

#include "platform/FileSystem.h"

#include <cstddef>
#include <functional>

namespace VeltoPageLibrary {

/// Whether work on this file manager may run side by side: when the file manager allows calls from several
/// threads, as the process's own file system does, also behind the store's recording wrapper. Any other (a test's
/// failing or recording double) is used from the calling thread only, so that its steps keep the order of the work.
bool mayWorkConcurrently(const velto::FileSystem &fileManager);

/// Runs work(index) for every index below count, spread over the machine's cores, and returns when all are
/// done. Reading and hashing a hundred page files is what a load spends its time on, and each file is
/// independent of the others. The calling thread's I/O observer is bound on every worker, so counts reach
/// it. When work throws, the error of the lowest index is rethrown after every index has run. A few
/// indexes run on the calling thread alone.
void forEachIndexConcurrently(std::size_t count, const std::function<void(std::size_t index)> &work);

} // namespace VeltoPageLibrary
