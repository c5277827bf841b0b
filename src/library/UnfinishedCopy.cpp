#include "library/UnfinishedCopy.h"

#include "library/LibraryFolder.h"
#include "library/PageFileLocation.h"
#include "library/PageFileNaming.h"
#include "library/StaleTemporaryFiles.h"
#include "model/PageFileContent.h"
#include "platform/JsonCoding.h"

#include <optional>
#include <string_view>

namespace VeltoPageLibrary {

namespace {

std::filesystem::path noteURL(const std::filesystem::path &folderURL) {
    return metadataDirectory(folderURL) / unfinishedCopyNoteName;
}

/// {"pageFiles": [{"name": "2026-01-05-a1b2c3d4.md", "id": "a1b2…"}, …]}: the names relative to the folder.
velto::Json noteOf(const velto::VeltoDocument &document) {
    velto::Json files = velto::Json::array();
    auto notePage = [&](const velto::VeltoPage &page) {
        if (page.persistedFileContents().empty()) {
            return; // a page without text gets no file
        }
        velto::Json file = velto::Json::object();
        file["name"] = pageFileName(namingRecord(page));
        file["id"] = page.id.lowercaseText();
        files.push_back(std::move(file));
    };
    notePage(document.currentPage);
    for (const auto &page : document.pages) {
        notePage(page);
    }
    velto::Json note = velto::Json::object();
    note["pageFiles"] = std::move(files);
    return note;
}

/// Whether the file still carries the page the copy wrote there: another program's file stays.
bool carriesPage(const std::filesystem::path &url, const std::string &pageID, velto::FileSystem &fileManager) {
    std::optional<velto::Uuid> carried = velto::VeltoPageFileContent::parse(fileManager.readFile(url)).veltoPageID();
    return carried.has_value() && carried->lowercaseText() == pageID;
}

/// The temporary files that writes of the page file left beside it: ".name.tmp-…".
void removeTemporariesOf(const std::filesystem::path &url, velto::FileSystem &fileManager) {
    const std::string prefix = "." + url.filename().string() + ".tmp-";
    for (const auto &name : fileManager.contentsOfDirectory(url.parent_path())) {
        if (name.starts_with(prefix) && isTemporaryFileName(name)) {
            fileManager.removeItem(url.parent_path() / name);
        }
    }
}

void removeNotedPageFile(const velto::Json &file, PageURLResolver &resolver, velto::FileSystem &fileManager) {
    const std::string name = velto::requiredString(file, "name");
    if (!isManagedPageFileName(name)) {
        return; // not a name a copy writes
    }
    const std::filesystem::path url = resolver.url(name);
    auto status = fileManager.status(url, false);
    if (status && status->type == velto::FileType::regular &&
        carriesPage(url, velto::requiredString(file, "id"), fileManager)) {
        fileManager.removeItem(url);
    }
    removeTemporariesOf(url, fileManager);
}

} // namespace

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

void noteUnfinishedCopy(const velto::VeltoDocument &document, const std::filesystem::path &folderURL,
                        velto::FileSystem &fileManager) {
    fileManager.writeAtomically(noteURL(folderURL), velto::encodeJSON(noteOf(document)));
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
    const std::filesystem::path note = noteURL(folderURL);
    velto::Json noted;
    try {
        noted = velto::decodeJSON(fileManager.readFile(note));
    } catch (const velto::JsonDecodingError &) {
        noted = velto::Json::object(); // not our note's form: no page file is taken out on its word
    }
    PageURLResolver resolver(folderURL, fileManager);
    if (const velto::Json *files = velto::optionalField(noted, "pageFiles"); files != nullptr && files->is_array()) {
        for (const auto &file : *files) {
            removeNotedPageFile(file, resolver, fileManager);
        }
    }
    const std::filesystem::path metadata = metadataDirectory(folderURL);
    for (const auto &name : fileManager.contentsOfDirectory(metadata)) {
        if (name != "transaction.lock" && name != unfinishedCopyNoteName) {
            fileManager.removeItem(metadata / name);
        }
    }
    fileManager.removeItem(note);
}

} // namespace VeltoPageLibrary
