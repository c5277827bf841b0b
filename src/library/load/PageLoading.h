#pragma once

#include "library/folder/IOObservation.h"
#include "library/load/PageAvailability.h"
#include "model/LibraryPageRecord.h"
#include "model/Page.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <memory>
#include <optional>

namespace VeltoPageLibrary {

/// Turns a page record into a page: the whole file parsed, an archived page's summary, or an unavailable
/// page's summary while its file is still on its way. Reads as little as the result allows: a page in
/// memory with the record's checksum is reused, an empty page needs no file, an archived record with a
/// known size is summarised from the record alone when `trustArchivedSummary`, and any other archived page
/// costs at most a prefix read. Takes no lock: the caller holds the library lock.
///
/// The file is looked for under pageFileName(record), then under the name without the slug. Neither
/// there, or gone by the time it is read: PageFileError::missing naming the first; any other read failure:
/// PageFileError::unreadable, also for a file or folder that is a symbolic link out of the folder or round in a
/// loop; a name the record itself puts outside the folder: LibraryMetadataError::unsafePagePath; the
/// availability operation's errors as they come.
velto::VeltoPage loadPage(const velto::VeltoLibraryPageRecord &record, const std::filesystem::path &folderURL,
                          velto::FileSystem &fileManager, bool summarizeArchived, const velto::VeltoPage *reusing,
                          bool trustArchivedSummary, const AvailabilityOperation &availabilityOperation);

/// The page of a record whose file is there but cannot be read, held with what the record knows of it, as a
/// page still on its way is: nothing is read, and nothing is ever written over its file.
velto::VeltoPage unreadablePage(const velto::VeltoLibraryPageRecord &record);

/// The page with its whole text read from its file, archived or not, with the observer (when given) bound
/// while it reads. Takes no lock.
velto::VeltoPage loadFullPage(const velto::VeltoPage &page, const std::filesystem::path &folderURL,
                              velto::FileSystem &fileManager = velto::defaultFileSystem(),
                              std::shared_ptr<VeltoLibraryIOObserver> ioObserver = nullptr);

/// An archived summary with an empty preview gets the preview from its file when the file is available;
/// every other page, and a page whose file is not available or no longer says archived, comes back as it was.
velto::VeltoPage loadArchivedPreview(const velto::VeltoPage &page, const std::filesystem::path &folderURL,
                                     velto::FileSystem &fileManager,
                                     const AvailabilityOperation &availabilityOperation);

/// The page as its file holds it now, read whole under the folder's shared library lock, with the file's
/// modification date as its update date where its text is not the page's as held (a file that only gained its
/// identifier or archive flag keeps the page's update date); nothing when the page has no file, also when the file
/// goes while it is read. A page that is empty in memory comes back empty without its file being read.
std::optional<velto::VeltoPage> loadLatestPageIfPresent(const velto::VeltoPage &page,
                                                        const std::filesystem::path &folderURL,
                                                        velto::FileSystem &fileManager = velto::defaultFileSystem());

} // namespace VeltoPageLibrary
