#pragma once

#include "library/load/LoadResult.h"
#include "library/save/SaveRequest.h"
#include "library/save/SaveResult.h"
#include "model/Document.h"
#include "platform/FileSystem.h"

#include <qcoro/qcorotask.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

namespace velto {

// The library operations the store runs when its environment names none: each runs the page library's call
// on the library pool, with the real file system that records this process's own changes.

QCoro::Task<VeltoSaveResult> productionSaveOperation(const VeltoSaveRequest &request, std::filesystem::path folderURL);
QCoro::Task<VeltoLibraryLoadResult> productionLoadOperation(std::filesystem::path folderURL);
QCoro::Task<VeltoLibraryLoadResult> productionIncrementalLoadOperation(std::filesystem::path folderURL,
                                                                       std::shared_ptr<const VeltoDocument> reusing,
                                                                       std::set<std::string> paths);
VeltoPage productionArchivedPreviewLoadOperation(const VeltoPage &page, const std::filesystem::path &folderURL,
                                                 FileSystem &fileManager);
QCoro::Task<VeltoDocument> productionLibraryCopyOperation(std::filesystem::path sourceURL,
                                                          std::filesystem::path destinationURL);
/// The page as its file holds it now (nothing when it has no file).
QCoro::Task<std::optional<VeltoPage>> productionLatestPageLoadOperation(VeltoPage page,
                                                                        std::filesystem::path folderURL);

} // namespace velto
