#include "library/DecodedFileCache.h"

#include "library/LibraryFolder.h"
#include "model/StoredForm.h"

namespace VeltoPageLibrary {

DecodedFileCache<velto::VeltoWriterState> &decodedJournals() {
    static DecodedFileCache<velto::VeltoWriterState> cache;
    return cache;
}

DecodedFileCache<velto::VeltoLibraryManifest> &decodedManifests() {
    static DecodedFileCache<velto::VeltoLibraryManifest> cache;
    return cache;
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
