#include "library/DecodedFileCache.h"

namespace VeltoPageLibrary {

DecodedFileCache<velto::VeltoWriterState> &decodedJournals() {
    static DecodedFileCache<velto::VeltoWriterState> cache;
    return cache;
}

} // namespace VeltoPageLibrary
