#include "store/ProductionLibraryOperations.h"

#include "library/copy/LibraryCopy.h"
#include "library/load/FullLoad.h"
#include "library/load/IncrementalLoad.h"
#include "library/load/PageAvailability.h"
#include "library/load/PageLoading.h"
#include "library/save/WriteTransaction.h"
#include "store/LibraryPool.h"
#include "store/OwnFileChanges.h"

// Each operation hands its work to the library pool and returns the pool's task; none is a coroutine of its
// own, which keeps the captured values out of GCC 12's double destruction of temporaries in co_await.
//
// Every library call runs on the library pool with the real file system that records this process's own
// changes, so that the folder monitor does not report them back.

namespace velto {
namespace {

/// The load's result with the copies of its document that the store keeps, made on the pool thread that loaded it:
/// a library of 30,000 pages copied on the main thread costs a refresh tens of milliseconds each time.
VeltoLibraryLoadResult withCopiesForTheStore(VeltoLibraryLoadResult result) {
    if (VeltoLibraryLoadResult::Loaded *loaded = result.asLoaded()) {
        loaded->sharedCopy = std::make_shared<const VeltoDocument>(loaded->document);
        if (loaded->structureRepair.has_value()) {
            loaded->copyToSave = loaded->document;
        }
    }
    return result;
}

} // namespace

QCoro::Task<VeltoSaveResult> productionSaveOperation(const VeltoSaveRequest &request, std::filesystem::path folderURL) {
    // The coordinator keeps the request until the write ends; the pool reads it in place.
    return runOnLibraryPool([&request, folderURL = std::move(folderURL)] {
        return VeltoPageLibrary::write(request, folderURL, ownChangeRecordingFileSystem());
    });
}

QCoro::Task<VeltoLibraryLoadResult> productionLoadOperation(std::filesystem::path folderURL) {
    return runOnLibraryPool([folderURL = std::move(folderURL)] {
        return withCopiesForTheStore(
            VeltoPageLibrary::load(folderURL, ownChangeRecordingFileSystem(), systemClock().now()));
    });
}

QCoro::Task<VeltoLibraryLoadResult> productionIncrementalLoadOperation(std::filesystem::path folderURL,
                                                                       std::shared_ptr<const VeltoDocument> reusing,
                                                                       std::set<std::string> paths) {
    return runOnLibraryPool([folderURL = std::move(folderURL), reusing = std::move(reusing), paths = std::move(paths)] {
        return withCopiesForTheStore(VeltoPageLibrary::loadChanges(folderURL, ownChangeRecordingFileSystem(), *reusing,
                                                                   paths, systemClock().now()));
    });
}

VeltoPage productionArchivedPreviewLoadOperation(const VeltoPage &page, const std::filesystem::path &folderURL,
                                                 FileSystem &fileManager) {
    return VeltoPageLibrary::loadArchivedPreview(page, folderURL, fileManager,
                                                 VeltoPageLibrary::productionAvailability());
}

QCoro::Task<VeltoDocument> productionLibraryCopyOperation(std::filesystem::path sourceURL,
                                                          std::filesystem::path destinationURL) {
    return runOnLibraryPool([sourceURL = std::move(sourceURL), destinationURL = std::move(destinationURL)] {
        return VeltoPageLibrary::copyLibrary(sourceURL, destinationURL, ownChangeRecordingFileSystem());
    });
}

QCoro::Task<std::optional<VeltoPage>> productionLatestPageLoadOperation(VeltoPage page,
                                                                        std::filesystem::path folderURL) {
    return runOnLibraryPool([page = std::move(page), folderURL = std::move(folderURL)] {
        return VeltoPageLibrary::loadLatestPageIfPresent(page, folderURL, ownChangeRecordingFileSystem());
    });
}

} // namespace velto
