#include "library/copy/LibraryCopy.h"

#include "library/copy/CopyNotingFileSystem.h"
#include "library/copy/FolderConnectionAssessment.h"
#include "library/copy/UnfinishedCopy.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/load/LoadPipeline.h"
#include "library/load/PageLoading.h"
#include "library/save/ProcessWriter.h"
#include "library/save/SaveRequest.h"
#include "library/save/WriteTransaction.h"
#include "model/LibraryPageRecord.h"
#include "platform/Clock.h"
#include "platform/JsonCoding.h"

namespace VeltoPageLibrary {

namespace {

/// Only the lock file that this copy itself made may be there once the locks are held, and what an earlier copy
/// killed on its way left, which is cleared: unless a file it left was changed since, which refuses the folder.
void checkDestinationStillFree(const std::filesystem::path &destinationURL, velto::FileSystem &fileManager) {
    auto directory = metadataDirectory(destinationURL);
    try {
        if (!fileManager.status(directory, false)) {
            return;
        }
        if (holdsUnfinishedCopy(destinationURL, fileManager)) {
            clearUnfinishedCopy(destinationURL, fileManager);
        }
        for (const auto &name : fileManager.contentsOfDirectory(directory)) {
            if (!isLeftWithoutLibrary(name)) {
                throw VeltoLibraryConnectionError::destinationContainsLibrary(destinationURL);
            }
        }
    } catch (const velto::FileSystemError &) {
        throw VeltoLibraryConnectionError::destinationContainsLibrary(destinationURL);
    } catch (const velto::JsonDecodingError &) {
        throw VeltoLibraryConnectionError::destinationContainsLibrary(destinationURL);
    }
}

/// A failed copy takes back the metadata directory it made, when nothing but its lock file is in it, so the
/// folder does not look like a library afterwards.
void removeUnusedMetadataDirectory(const std::filesystem::path &destinationURL, velto::FileSystem &fileManager) {
    auto directory = metadataDirectory(destinationURL);
    try {
        for (const auto &name : fileManager.contentsOfDirectory(directory)) {
            if (name != "transaction.lock") {
                return;
            }
        }
        // The lock file alone, then the folder once it is empty: a file another program put there meanwhile is never
        // removed with it.
        if (fileManager.status(directory / "transaction.lock", false)) {
            fileManager.removeItem(directory / "transaction.lock");
        }
        if (fileManager.contentsOfDirectory(directory).empty()) {
            fileManager.removeItem(directory);
        }
    } catch (const std::exception &) {
        // Left as it is: a lock file alone does not make the folder a library.
    }
}

velto::VeltoDocument loadedSource(const std::filesystem::path &sourceURL, velto::FileSystem &fileManager) {
    auto result = loadWithoutLock(sourceURL, fileManager, velto::systemClock().now(), nullptr, std::nullopt, true,
                                  productionReplay(), productionCheckpoint(), productionAvailability());
    if (const auto *issue = result.failureIssue()) {
        throw VeltoLibraryConnectionError::sourceLibraryUnavailable(issue->message);
    }
    if (result.isMissing()) {
        throw VeltoLibraryConnectionError::sourceLibraryUnavailable("Its manifest is missing.");
    }
    velto::VeltoDocument document = result.asLoaded()->document;
    // The copy must carry every page's text, not a summary that points back into the source folder.
    for (auto &page : document.pages) {
        if (page.content.asArchivedSummary() != nullptr) {
            page = loadFullPage(page, sourceURL, fileManager);
        }
    }
    return document;
}

/// A folder without a library may still hold Markdown files of its own. A page of the copy whose file name
/// is already taken there would replace that file and its text, so such a destination is refused whole,
/// before anything is written. Pages without text get no file and cannot clash.
void checkPageFilesFree(const velto::VeltoDocument &document, const std::filesystem::path &destinationURL,
                        velto::FileSystem &fileManager) {
    PageURLResolver resolver(destinationURL, fileManager);
    auto checkPage = [&](const velto::VeltoPage &page) {
        if (page.persistedFileContents().empty()) {
            return;
        }
        auto url = resolver.url(pageFileName(namingRecord(page)));
        if (fileManager.status(url, false)) {
            throw VeltoLibraryConnectionError::pageFileExists(destinationURL, url.filename().string());
        }
    };
    checkPage(document.currentPage);
    for (const auto &page : document.pages) {
        checkPage(page);
    }
}

/// The folders the pages live in below the source, made below the destination: discovery adopts a page wherever
/// it lies in the folder, and a page is written where it was found. Each folder is the one the page's file name
/// leads to with every link on the way followed, which lies inside the destination, so none is made outside it.
void createPageFolders(const velto::VeltoDocument &document, const std::filesystem::path &destinationURL,
                       velto::FileSystem &fileManager) {
    PageURLResolver resolver(destinationURL, fileManager);
    auto createFolderOf = [&](const velto::VeltoPage &page) {
        // Only a page with text to write gets a file, and so a folder.
        const auto *loaded = page.content.asLoaded();
        if (loaded == nullptr || (!loaded->frontMatter && loaded->body.empty())) {
            return;
        }
        std::string name = pageFileName(namingRecord(page));
        if (name.find('/') == std::string::npos) {
            return;
        }
        fileManager.createDirectories(resolver.url(name).parent_path());
    };
    createFolderOf(document.currentPage);
    for (const auto &page : document.pages) {
        createFolderOf(page);
    }
}

/// A copy whose write failed takes back what it wrote, where it still can, while it holds the lock: the folder
/// stays as it was.
void clearFailedCopy(const std::filesystem::path &destinationURL, velto::FileSystem &fileManager) {
    try {
        if (holdsUnfinishedCopy(destinationURL, fileManager)) {
            clearUnfinishedCopy(destinationURL, fileManager);
        }
    } catch (const std::exception &) {
        // Left noted: the next copy into the folder clears it.
    }
}

VeltoSaveRequest copyRequest(const velto::VeltoDocument &document) {
    VeltoSaveRequest request;
    request.writerID = processWriterID();
    request.operationID = velto::Uuid::random();
    request.recordedAt = velto::systemClock().now();
    request.document = document;
    request.changedPageRevisions[document.currentPage.id] = 0;
    for (const auto &page : document.pages) {
        request.changedPageRevisions[page.id] = 0;
    }
    request.structureRevision = 0;
    return request;
}

} // namespace

velto::VeltoDocument copyLibrary(const std::filesystem::path &sourceURL, const std::filesystem::path &destinationURL,
                                 velto::FileSystem &fileManager) {
    bool occupied = holdsLibrary(destinationURL, fileManager);
    bool hadMetadataDirectory = fileManager.status(metadataDirectory(destinationURL), false).has_value();
    createLibraryDirectories(sourceURL, fileManager);
    createLibraryDirectories(destinationURL, fileManager);
    try {
        return withLibraryLocks({sourceURL, destinationURL}, LibraryLockMode::exclusive, [&] {
            if (occupied) {
                throw VeltoLibraryConnectionError::destinationContainsLibrary(destinationURL);
            }
            checkDestinationStillFree(destinationURL, fileManager);
            auto document = loadedSource(sourceURL, fileManager);
            checkPageFilesFree(document, destinationURL, fileManager);
            createPageFolders(document, destinationURL, fileManager);
            UnfinishedCopyNote note = unfinishedCopyNote(document);
            noteUnfinishedCopy(note, destinationURL, fileManager);
            try {
                CopyNotingFileSystem writing(fileManager, destinationURL, std::move(note));
                writeWithoutLock(copyRequest(document), destinationURL, writing,
                                 [&writing](const std::filesystem::path &url) { writing.removeItem(url); });
            } catch (...) {
                clearFailedCopy(destinationURL, fileManager);
                throw;
            }
            finishCopy(destinationURL, fileManager);
            return document;
        });
    } catch (...) {
        if (!hadMetadataDirectory) {
            removeUnusedMetadataDirectory(destinationURL, fileManager);
        }
        throw;
    }
}

} // namespace VeltoPageLibrary
