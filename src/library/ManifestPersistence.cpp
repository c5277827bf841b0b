#include "library/ManifestPersistence.h"

#include "library/LibraryFolder.h"

namespace VeltoPageLibrary {

void persist(const velto::VeltoLibraryManifest &manifest, const std::filesystem::path &folderURL,
             velto::FileSystem &fileManager) {
    writeAtomicallyIfChanged(manifestURL(folderURL), manifest.encode(), fileManager);
}

std::optional<velto::VeltoLibraryReconciliationCheckpoint>
currentReconciliationCheckpoint(const std::filesystem::path &) {
    return std::nullopt;
}

} // namespace VeltoPageLibrary
