#include "library/copy/UnfinishedCopy.h"

#include "library/copy/FolderConnectionAssessment.h"
#include "library/folder/LibraryFolder.h"
#include "library/folder/PageFileLocation.h"
#include "library/folder/PageFileNaming.h"
#include "library/removal/FileRemoval.h"
#include "library/removal/StaleTemporaryFiles.h"
#include "platform/JsonCoding.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <vector>

namespace VeltoPageLibrary {

namespace {

const std::string metadataPrefix = ".velto/";

std::filesystem::path noteURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / unfinishedCopyNoteName;
}

/// {"files": [{"name": "2026-01-05-a1b2c3d4.md", "sha256": ["9f86d0…"]}, …]}: the names relative to the folder.
velto::Json encoded(const UnfinishedCopyNote &note) {
    velto::Json files = velto::Json::array();
    for (const auto &[name, checksums] : note.checksumsByFile) {
        velto::Json file = velto::Json::object();
        file["name"] = name;
        file["sha256"] = checksums;
        files.push_back(std::move(file));
    }
    velto::Json encodedNote = velto::Json::object();
    encodedNote["files"] = std::move(files);
    return encodedNote;
}

/// The checksums of one noted file; none from an entry of another form.
std::set<std::string> notedChecksums(const velto::Json &file) {
    std::set<std::string> checksums;
    const velto::Json *noted = file.is_object() ? velto::optionalField(file, "sha256") : nullptr;
    if (noted != nullptr && noted->is_array()) {
        for (const auto &checksum : *noted) {
            if (checksum.is_string()) {
                checksums.insert(checksum.get<std::string>());
            }
        }
    }
    return checksums;
}

/// The note as it reads. The note of an earlier version lists its page files under "pageFiles" without checksums:
/// they are named, so that their temporary files go, but none is proven the copy's. Bytes of any other form prove
/// nothing either.
UnfinishedCopyNote readNote(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    velto::Json noted;
    try {
        noted = velto::decodeJSON(fileManager.readFile(noteURL(folderURL)));
    } catch (const velto::JsonDecodingError &) {
        return {};
    }
    UnfinishedCopyNote note;
    for (const char *list : {"files", "pageFiles"}) {
        const velto::Json *files = noted.is_object() ? velto::optionalField(noted, list) : nullptr;
        if (files == nullptr || !files->is_array()) {
            continue;
        }
        for (const auto &file : *files) {
            const velto::Json *name = file.is_object() ? velto::optionalField(file, "name") : nullptr;
            if (name != nullptr && name->is_string()) {
                note.checksumsByFile[name->get<std::string>()].merge(notedChecksums(file));
            }
        }
    }
    return note;
}

/// Whether the bytes are exactly one of the contents the copy wrote there.
bool areWhatTheCopyWrote(std::string_view bytes, const std::set<std::string> &checksums) {
    return checksums.contains(velto::sha256Hex(bytes));
}

/// Whether the regular file holds exactly one of the contents the copy wrote there. A file too large to be read
/// whole holds none of them.
bool holdsWhatTheCopyWrote(const std::filesystem::path &url, const std::set<std::string> &checksums,
                           velto::FileSystem &fileManager) {
    if (checksums.empty()) {
        return false;
    }
    try {
        return areWhatTheCopyWrote(fileManager.readFile(url), checksums);
    } catch (const velto::FileSystemError &error) {
        if (error.code() == EFBIG) {
            return false;
        }
        throw;
    }
}

/// What clearing an unfinished copy takes out, and what it may not.
struct Clearing {
    /// A file to take out, and the checksums of what the copy wrote there; none for the temporary file of a write.
    struct File {
        std::filesystem::path url;
        std::string relativePath;
        const std::set<std::string> *checksums = nullptr;
    };
    std::vector<File> files;
    std::vector<std::filesystem::path> folders; // each before the folders it lies in
    std::vector<std::string> unproven;          // relative to the folder
};

/// Sorts the file found where the copy wrote: it goes when it holds what the copy wrote there, and stays, unproven,
/// when it holds anything else or is no regular file. Nothing there is nothing to clear.
void sortNotedFile(const std::filesystem::path &url, const std::string &relativePath, const UnfinishedCopyNote &note,
                   Clearing &clearing, velto::FileSystem &fileManager) {
    auto status = fileManager.status(url, false);
    if (!status) {
        return;
    }
    auto noted = note.checksumsByFile.find(relativePath);
    bool proven = noted != note.checksumsByFile.end() && status->type == velto::FileType::regular &&
                  holdsWhatTheCopyWrote(url, noted->second, fileManager);
    if (proven) {
        clearing.files.push_back({url, relativePath, &noted->second});
    } else {
        clearing.unproven.push_back(relativePath);
    }
}

/// The temporary files that writes of the page file left beside it: ".name.tmp-…".
void sortTemporariesOf(const std::filesystem::path &url, Clearing &clearing, velto::FileSystem &fileManager) {
    if (!fileManager.isDirectory(url.parent_path())) {
        return;
    }
    const std::string prefix = "." + url.filename().string() + ".tmp-";
    for (const auto &name : fileManager.contentsOfDirectory(url.parent_path())) {
        if (name.starts_with(prefix) && isTemporaryFileName(name)) {
            clearing.files.push_back({url.parent_path() / name, name, nullptr});
        }
    }
}

void sortPageFiles(const std::filesystem::path &folderURL, const UnfinishedCopyNote &note, Clearing &clearing,
                   velto::FileSystem &fileManager) {
    PageURLResolver resolver(folderURL, fileManager);
    for (const auto &[name, checksums] : note.checksumsByFile) {
        if (!isManagedPageFileName(name)) {
            continue; // a file in ".velto", which is walked whole, or not a name a copy writes
        }
        const std::filesystem::path url = resolver.url(name);
        sortNotedFile(url, name, note, clearing, fileManager);
        sortTemporariesOf(url, clearing, fileManager);
    }
}

/// Sorts everything in a folder of ".velto", the lock file and the note aside: the files the copy wrote and the
/// temporary files of its writes go, folders are walked and go after what they hold. The folder held nothing
/// else when the copy began, so anything else came later and is not the copy's.
void sortMetadataEntries(const std::filesystem::path &directory, const std::string &relativePath,
                         const UnfinishedCopyNote &note, Clearing &clearing, velto::FileSystem &fileManager) {
    for (const auto &name : fileManager.contentsOfDirectory(directory)) {
        const std::filesystem::path url = directory / name;
        const std::string entryPath = relativePath + name;
        if (entryPath == metadataPrefix + "transaction.lock" || entryPath == metadataPrefix + unfinishedCopyNoteName) {
            continue;
        }
        auto status = fileManager.status(url, false);
        if (status && status->type == velto::FileType::directory) {
            sortMetadataEntries(url, entryPath + "/", note, clearing, fileManager);
            clearing.folders.push_back(url);
        } else if (isTemporaryFileName(name)) {
            clearing.files.push_back({url, entryPath, nullptr});
        } else {
            sortNotedFile(url, entryPath, note, clearing, fileManager);
        }
    }
}

/// Takes the file out when it still holds what the copy wrote there at the moment it goes; a temporary file of the
/// copy's writes goes as it is. Whether it is gone.
bool removedIfStillTheCopys(const Clearing::File &file, velto::FileSystem &fileManager) {
    if (file.checksums == nullptr) {
        fileManager.removeItem(file.url);
        return true;
    }
    auto proof = [&file](std::string_view bytes) { return areWhatTheCopyWrote(bytes, *file.checksums); };
    return removeIfProven(file.url, proof, fileManager) != velto::ProvenRemovalOutcome::kept;
}

} // namespace

bool UnfinishedCopyNote::add(const std::string &relativePath, std::string_view bytes) {
    return checksumsByFile[relativePath].insert(velto::sha256Hex(bytes)).second;
}

bool isLeftWithoutLibrary(const std::string &metadataEntryName) {
    return metadataEntryName == "transaction.lock" || isTemporaryFileName(metadataEntryName);
}

bool holdsUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    try {
        return fileManager.isRegularFile(noteURL(folderURL));
    } catch (const velto::FileSystemError &) {
        return false;
    }
}

UnfinishedCopyNote unfinishedCopyNote(const velto::VeltoDocument &document) {
    UnfinishedCopyNote note;
    auto notePage = [&](const velto::VeltoPage &page) {
        velto::WrittenFileText text = page.persistedFileText();
        if (!text.text.empty()) { // a page without text gets no file
            note.add(pageFileName(namingRecord(page)), text.text.view());
        }
    };
    notePage(document.currentPage);
    for (const auto &page : document.pages) {
        notePage(page);
    }
    return note;
}

void noteUnfinishedCopy(const UnfinishedCopyNote &note, const std::filesystem::path &folderURL,
                        velto::FileSystem &fileManager) {
    fileManager.writeAtomically(noteURL(folderURL), velto::encodeJSON(encoded(note)));
}

void finishCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    fileManager.removeItem(noteURL(folderURL));
}

void adoptUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    try {
        if (fileManager.status(noteURL(folderURL), false)) {
            fileManager.removeItem(noteURL(folderURL));
        }
    } catch (const velto::FileSystemError &) {
    }
}

void clearUnfinishedCopy(const std::filesystem::path &folderURL, velto::FileSystem &fileManager) {
    const UnfinishedCopyNote note = readNote(folderURL, fileManager);
    Clearing clearing;
    sortPageFiles(folderURL, note, clearing, fileManager);
    sortMetadataEntries(metadataDirectory(folderURL), metadataPrefix, note, clearing, fileManager);
    if (!clearing.unproven.empty()) {
        throw VeltoLibraryConnectionError::unfinishedCopyChanged(folderURL, clearing.unproven);
    }
    // Sorted, every noted file was proven the copy's; an editor may have rewritten one since, while the others were
    // still hashed. Each goes only if its bytes prove it again as it is taken away.
    for (const auto &file : clearing.files) {
        if (!removedIfStillTheCopys(file, fileManager)) {
            clearing.unproven.push_back(file.relativePath);
        }
    }
    if (!clearing.unproven.empty()) {
        throw VeltoLibraryConnectionError::unfinishedCopyChanged(folderURL, clearing.unproven);
    }
    for (const auto &folder : clearing.folders) {
        if (fileManager.contentsOfDirectory(folder).empty()) {
            fileManager.removeItem(folder);
        }
    }
    fileManager.removeItem(noteURL(folderURL));
}

} // namespace VeltoPageLibrary
