#include "library/DecodedFileCache.h"

namespace VeltoPageLibrary {

DecodedFileCache<velto::VeltoWriterState> &decodedJournals() {
    static DecodedFileCache<velto::VeltoWriterState> cache;
    return cache;
}

DecodedFileCache<velto::VeltoLibraryManifest> &decodedManifests() {
    static DecodedFileCache<velto::VeltoLibraryManifest> cache;
    return cache;
}

} // namespace VeltoPageLibrary
