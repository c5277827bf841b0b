#include "library/metadata/ManifestPersistence.h"

#include "library/folder/LibraryFolder.h"
#include "library/metadata/DecodedFileCache.h"
#include "model/StoredForm.h"

namespace VeltoPageLibrary {

void persist(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
             velto::FileSystem &fileManager) {
    auto url = manifestURL(folderURL);
    std::string bytes = manifest.encode();
    writeAtomicallyIfChanged(url, bytes, fileManager);
    // The next save reads this manifest again under its lock; while nobody changes the file, its value is
    // had without decoding it.
    if (auto stored = velto::manifestAsStored(manifest)) {
        decodedManifests().remember(url, std::move(bytes), std::move(*stored));
    }
}

std::optional<velto::VeltoLibraryReconciliationCheckpoint>
currentReconciliationCheckpoint(const std::filesystem::path &) {
    return std::nullopt;
}

} // namespace VeltoPageLibrary
