#include "library/load/PageLoading.h"

#include "library/folder/LibraryLock.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/folder/PageFileSize.h"
#include "library/load/ArchivedSummary.h"
#include "model/LibraryErrors.h"
#include "model/PageFileContent.h"
#include "platform/Text.h"

#include <cerrno>

namespace VeltoPageLibrary {

namespace {

std::filesystem::path primaryURL(const velto::VeltoLibraryPageRecord &record, const std::filesystem::path &folderURL,
                                 velto::FileSystem &fileManager) {
    return pageFileURL(pageFileName(record), folderURL, fileManager);
}

/// The composed name without the slug, for a page whose file another program renamed to the plain form.
std::filesystem::path fallbackURL(const velto::VeltoLibraryPageRecord &record, const std::filesystem::path &folderURL,
                                  velto::FileSystem &fileManager) {
    auto name = pageFileStem(record) + "-" + record.id.lowercaseText().substr(0, 8) + ".md";
    return pageFileURL(name, folderURL, fileManager);
}

/// Where a record's file is: its file name when a file is there, else the name without the slug. The second name
/// is looked at only then: whatever lies under it (a link out of the folder) is no concern of a page found.
std::filesystem::path chosenURL(const std::filesystem::path &primary, const velto::VeltoLibraryPageRecord &record,
                                const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    return fileManager.fileExists(primary) ? primary : fallbackURL(record, folderURL, fileManager);
}

/// The checksum by which a page in memory is matched against its record; nothing for an unavailable page,
/// which is never reused.
std::optional<std::optional<std::string>> reusableChecksum(const velto::VeltoPage &page) {
    if (page.content.asLoaded()) {
        return contentChecksum(page.persistedFileText().text);
    }
    if (const auto *summary = page.content.asArchivedSummary()) {
        return summary->contentChecksum;
    }
    return std::nullopt;
}

bool canReuse(const velto::VeltoPage &page, const velto::VeltoLibraryPageRecord &record) {
    if (page.id != record.id || page.relativeFilePath != record.relativeFilePath) {
        return false;
    }
    auto checksum = reusableChecksum(page);
    return checksum.has_value() && *checksum == record.contentChecksum;
}

velto::VeltoArchivedPageSummary trustedArchivedSummary(const velto::VeltoLibraryPageRecord &record) {
    velto::VeltoArchivedPageSummary summary;
    summary.fileSize = record.fileSize.value_or(0);
    summary.hasContent = true;
    summary.contentChecksum = record.contentChecksum;
    summary.bodyChecksum = record.bodyChecksum;
    return summary;
}

velto::VeltoUnavailablePageSummary unavailableSummary(const velto::VeltoLibraryPageRecord &record) {
    velto::VeltoUnavailablePageSummary summary;
    summary.fileSize = record.fileSize.value_or(0);
    summary.hasContent = true;
    summary.contentChecksum = record.contentChecksum;
    summary.bodyChecksum = record.bodyChecksum;
    summary.isArchived = record.isArchived;
    return summary;
}

/// Another program (a sync client, the user) removed the file, or a folder on its way, after it was found.
bool isVanishedFile(const velto::FileSystemError &error) {
    return error.code() == ENOENT || error.code() == ENOTDIR;
}

/// The whole file as UTF-8 text. A file that is gone by the time it is read is missing, named by the primary
/// URL as when it was not found at all; one that cannot be read otherwise, or is not UTF-8, is unreadable.
std::string pageFileText(const std::filesystem::path &fileURL, const std::filesystem::path &primaryURL,
                         velto::FileSystem &fileManager) {
    VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.markdownContentReads; });
    std::string text;
    try {
        text = fileManager.readFile(fileURL);
    } catch (const velto::FileSystemError &error) {
        if (isVanishedFile(error)) {
            throw velto::PageFileError::missing(primaryURL);
        }
        throw velto::PageFileError::unreadable(fileURL, error.localizedDescription(), error.code());
    }
    if (!velto::text::isValidUTF8(text)) {
        throw velto::PageFileError::unreadable(fileURL,
                                               "The file “" + fileURL.filename().string() +
                                                   "” couldn’t be opened using text encoding Unicode (UTF-8).");
    }
    return text;
}

/// True only when the file is known not to be there; a file whose state cannot be read may still be.
bool isGone(const std::filesystem::path &fileURL, velto::FileSystem &fileManager) {
    try {
        return !fileManager.fileExists(fileURL);
    } catch (const velto::FileSystemError &) {
        return false;
    }
}

/// archivedSummary, except that a file gone by the time its opening is read is missing, as in pageFileText.
std::optional<velto::VeltoArchivedPageSummary>
archivedSummaryUnlessVanished(const std::filesystem::path &fileURL, const std::filesystem::path &primaryURL,
                              const velto::VeltoLibraryPageRecord &record, velto::FileSystem &fileManager) {
    try {
        return archivedSummary(fileURL, record, fileManager);
    } catch (const velto::PageFileError &error) {
        // The summary keeps only the read error's text, so the file is looked for again.
        if (error.kind() == velto::PageFileError::Kind::unreadable && isGone(fileURL, fileManager)) {
            throw velto::PageFileError::missing(primaryURL);
        }
        throw;
    }
}

} // namespace

velto::VeltoPage loadPage(const velto::VeltoLibraryPageRecord &record, const std::filesystem::path &folderURL,
                          velto::FileSystem &fileManager, bool summarizeArchived, const velto::VeltoPage *reusing,
                          bool trustArchivedSummary, const AvailabilityOperation &availabilityOperation) {
    if (reusing != nullptr && canReuse(*reusing, record)) {
        velto::VeltoPage page = *reusing;
        page.updatedAt = record.updatedAt;
        page.archivedAt = record.archivedAt;
        return page;
    }
    if (!record.hasContent) {
        return record.page(velto::VeltoPageContent::loaded(velto::VeltoPageFileContent::parse("")));
    }
    auto primary = primaryURL(record, folderURL, fileManager);
    bool archived = record.isArchived.value_or(false);
    if (summarizeArchived && trustArchivedSummary && archived && record.fileSize.has_value()) {
        return record.page(velto::VeltoPageContent::archivedSummary(trustedArchivedSummary(record)));
    }
    auto fileURL = chosenURL(primary, record, folderURL, fileManager);
    if (!fileManager.fileExists(fileURL)) {
        throw velto::PageFileError::missing(primary);
    }
    if (availabilityOperation(fileURL, fileManager) == VeltoPageFileAvailability::temporarilyUnavailable) {
        return record.page(velto::VeltoPageContent::unavailable(unavailableSummary(record)));
    }
    if (summarizeArchived && archived) {
        if (auto summary = archivedSummaryUnlessVanished(fileURL, primary, record, fileManager)) {
            return record.page(velto::VeltoPageContent::archivedSummary(*summary));
        }
    }
    // The text read is kept, not copied: the page's body is the end of it, and its baseline the whole of it.
    auto text = std::make_shared<const std::string>(pageFileText(fileURL, primary, fileManager));
    auto content = velto::VeltoPageFileContent::parseKeeping(std::move(text));
    requireRoomForMetadata(fileURL, content);
    return record.page(velto::VeltoPageContent::loaded(std::move(content)));
}

velto::VeltoPage unreadablePage(const velto::VeltoLibraryPageRecord &record) {
    return record.page(velto::VeltoPageContent::unavailable(unavailableSummary(record)));
}

velto::VeltoPage loadFullPage(const velto::VeltoPage &page, const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager, std::shared_ptr<VeltoLibraryIOObserver> ioObserver) {
    VeltoLibraryIOObservation::Binding binding(std::move(ioObserver));
    auto record = velto::VeltoLibraryPageRecord::fromPage(page);
    return loadPage(record, folderURL, fileManager, false, nullptr, true, productionAvailability());
}

velto::VeltoPage loadArchivedPreview(const velto::VeltoPage &page, const std::filesystem::path &folderURL,
                                     velto::FileSystem &fileManager,
                                     const AvailabilityOperation &availabilityOperation) {
    const auto *summary = page.content.asArchivedSummary();
    if (summary == nullptr || !summary->preview.empty()) {
        return page;
    }
    auto record = velto::VeltoLibraryPageRecord::fromPage(page);
    auto fileURL = chosenURL(primaryURL(record, folderURL, fileManager), record, folderURL, fileManager);
    if (availabilityOperation(fileURL, fileManager) != VeltoPageFileAvailability::available) {
        return page;
    }
    auto filled = archivedSummary(fileURL, record, fileManager);
    if (!filled) {
        return page;
    }
    velto::VeltoPage result = page;
    result.content = velto::VeltoPageContent::archivedSummary(*filled);
    return result;
}

namespace {

/// Whether the file holds other text than the page as held. A file whose body is the held one changed only in its
/// metadata (the identifier Velto wrote into a file another program made, the archive flag), or was only touched:
/// its modification date says nothing of when the page was last written in, and taken as such it would make a page
/// untouched for years look just written and keep it from being archived.
bool bodyChangedOnDisk(const velto::VeltoPage &held, const velto::VeltoPage &latest) {
    const velto::VeltoPageFileContent *heldContent = held.content.asLoaded();
    const velto::VeltoPageFileContent *latestContent = latest.content.asLoaded();
    return heldContent == nullptr || latestContent == nullptr || heldContent->body != latestContent->body;
}

} // namespace

std::optional<velto::VeltoPage> loadLatestPageIfPresent(const velto::VeltoPage &page,
                                                        const std::filesystem::path &folderURL,
                                                        velto::FileSystem &fileManager) {
    auto record = velto::VeltoLibraryPageRecord::fromPage(page);
    auto primary = primaryURL(record, folderURL, fileManager);
    if (!fileManager.fileExists(chosenURL(primary, record, folderURL, fileManager))) {
        return std::nullopt;
    }
    return withLibraryLocks({folderURL}, LibraryLockMode::shared, [&]() -> std::optional<velto::VeltoPage> {
        auto fileURL = chosenURL(primary, record, folderURL, fileManager);
        if (!fileManager.fileExists(fileURL)) {
            return std::nullopt;
        }
        std::optional<velto::VeltoPage> latest;
        try {
            latest = loadFullPage(page, folderURL, fileManager);
        } catch (const velto::PageFileError &error) {
            if (error.kind() == velto::PageFileError::Kind::missing) {
                return std::nullopt; // removed by another program while it was being read
            }
            throw;
        }
        if (bodyChangedOnDisk(page, *latest)) {
            if (auto attributes = fileManager.status(fileURL)) {
                latest->updatedAt = attributes->modificationDate;
            }
        }
        return latest;
    });
}

} // namespace VeltoPageLibrary
