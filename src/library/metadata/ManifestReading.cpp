#include "library/metadata/ManifestReading.h"

#include "library/folder/ConcurrentWork.h"
#include "library/folder/IOObservation.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/metadata/DecodedFileCache.h"
#include "model/LibraryErrors.h"

#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace VeltoPageLibrary {

namespace {

/// The distinct file names of the records.
std::set<std::string> fileNamesOf(const std::vector<velto::VeltoLibraryPageRecord> &records) {
    std::set<std::string> names;
    for (const auto &record : records) {
        names.insert(pageFileName(record));
    }
    return names;
}

/// Fewer names are looked at one by one: the folder may hold far more files than the library has pages.
constexpr std::size_t namesWorthAListing = 32;

/// The names whose check needs a look of its own at the disk. A name directly in the folder that the
/// folder's listing shows as a file or a folder, not a link, leads nowhere else: one listing settles all of
/// them, where a save in a library of ten thousand pages would otherwise look at each of its files. A folder
/// that cannot be listed settles nothing.
std::vector<std::string> namesNotSettledByListing(const std::set<std::string> &names,
                                                  const std::filesystem::path &folder, velto::FileSystem &fileManager) {
    std::vector<velto::DirectoryEntry> entries;
    if (names.size() < namesWorthAListing) {
        return {names.begin(), names.end()};
    }
    try {
        entries = fileManager.entriesOfDirectory(folder);
    } catch (const velto::FileSystemError &) {
        return {names.begin(), names.end()};
    }
    std::unordered_set<std::string_view> plainEntries;
    for (const auto &entry : entries) {
        if (entry.type != velto::FileType::symbolicLink) {
            plainEntries.insert(entry.relativePath);
        }
    }
    std::vector<std::string> unsettled;
    for (const auto &name : names) {
        bool settled =
            name.find('/') == std::string::npos && isManagedPageFileName(name) && plainEntries.contains(name);
        if (!settled) {
            unsettled.push_back(name);
        }
    }
    return unsettled;
}

std::vector<velto::VeltoLibraryPageRecord> recordsOf(const velto::VeltoLibraryManifest &manifest) {
    std::vector<velto::VeltoLibraryPageRecord> records;
    records.reserve(manifest.pages.size() + 1);
    records.push_back(manifest.currentPage);
    records.insert(records.end(), manifest.pages.begin(), manifest.pages.end());
    return records;
}

} // namespace

std::optional<ReadManifest> readManifestIfPresent(const std::filesystem::path &folderURL,
                                                  velto::FileSystem &fileManager, const ReadManifest *earlier) {
    auto url = manifestURL(folderURL);
    std::string bytes;
    try {
        if (!fileManager.status(url)) {
            return std::nullopt;
        }
        VeltoLibraryIOObservation::count([](VeltoLibraryIOCounters &counters) { ++counters.manifestReads; });
        bytes = fileManager.readFile(url, largestMetadataFileBytes);
    } catch (const velto::FileSystemError &error) {
        // Whether the file exists or not cannot even be told: its bytes cannot be had, which is not damage.
        throw velto::ManifestReadError(error.localizedDescription());
    }
    if (earlier != nullptr && earlier->bytes == bytes) {
        return *earlier;
    }
    auto manifest = decodedManifests().decoded(
        url, bytes, [](const std::string &text) { return velto::VeltoLibraryManifest::decode(text); });
    return ReadManifest{std::move(bytes), std::move(manifest)};
}

std::optional<velto::VeltoLibraryManifest> loadManifestIfPresent(const std::filesystem::path &folderURL,
                                                                 velto::FileSystem &fileManager) {
    auto read = readManifestIfPresent(folderURL, fileManager);
    if (!read) {
        return std::nullopt;
    }
    return std::move(read->manifest);
}

void validatePageRecords(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
                         velto::FileSystem &fileManager) {
    auto records = recordsOf(manifest);
    std::set<velto::Uuid> seen;
    for (const auto &record : records) {
        if (!seen.insert(record.id).second) {
            throw velto::VeltoDocument::ValidationError::duplicatePageID(record.id);
        }
    }
    validatePageFileNames(fileNamesOf(records), folderURL, fileManager);
}

std::set<std::string> validatePageFileNames(const std::set<std::string> &distinctNames,
                                            const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    for (const auto &name : distinctNames) {
        if (!isManagedPageFileName(name)) {
            throw velto::LibraryMetadataError(velto::LibraryMetadataError::Kind::unsafePagePath);
        }
    }
    PageURLResolver pageURLs(folderURL, fileManager);
    auto names = namesNotSettledByListing(distinctNames, pageURLs.folder(), fileManager);
    // A name of the library's own leads outside only through a link on disk: that one page cannot be had, and is
    // left to its loading and saving, which hold it aside; the metadata is sound.
    std::vector<char> behindLink(names.size(), 0);
    auto check = [&](std::size_t index) {
        try {
            pageURLs.url(names[index]);
        } catch (const velto::LibraryMetadataError &) {
            behindLink[index] = 1;
        }
    };
    // Each name left costs a look at the disk: many are looked at side by side.
    if (mayWorkConcurrently(fileManager)) {
        forEachIndexConcurrently(names.size(), check);
    } else {
        for (std::size_t index = 0; index < names.size(); ++index) {
            check(index);
        }
    }
    std::set<std::string> namesBehindLinks;
    for (std::size_t index = 0; index < names.size(); ++index) {
        if (behindLink[index] != 0) {
            namesBehindLinks.insert(names[index]);
        }
    }
    return namesBehindLinks;
}

void validatePagePaths(const velto::VeltoDocument &document, const std::filesystem::path &folderURL,
                       velto::FileSystem &fileManager) {
    std::vector<velto::VeltoLibraryPageRecord> records;
    records.reserve(document.pages.size() + 1);
    records.push_back(namingRecord(document.currentPage));
    for (const auto &page : document.pages) {
        records.push_back(namingRecord(page));
    }
    validatePageFileNames(fileNamesOf(records), folderURL, fileManager);
}

} // namespace VeltoPageLibrary
