#include "library/metadata/DecodedFileCache.h"

#include "library/folder/LibraryFolder.h"
#include "model/StoredForm.h"

namespace VeltoPageLibrary {

// The caches are never destroyed: a save or load on a pool thread may still be reading them while the process
// exits and destroys its statics.
DecodedFileCache<velto::VeltoWriterState> &decodedJournals() {
    static auto *cache = new DecodedFileCache<velto::VeltoWriterState>;
    return *cache;
}

DecodedFileCache<velto::VeltoLibraryManifest> &decodedManifests() {
    static auto *cache = new DecodedFileCache<velto::VeltoLibraryManifest>;
    return *cache;
}

void writeJournal(const std::filesystem::path &url, const velto::VeltoWriterState &journal,
                  velto::FileSystem &fileManager, bool onlyIfChanged) {
    std::string bytes = journal.encode();
    if (onlyIfChanged) {
        writeAtomicallyIfChanged(url, bytes, fileManager);
    } else {
        fileManager.writeAtomically(url, bytes);
    }
    if (auto stored = velto::journalAsStored(journal)) {
        decodedJournals().remember(url, std::move(bytes), std::move(*stored));
    }
}

} // namespace VeltoPageLibrary
