// Feeds arbitrary bytes to every decoder of the library's metadata records. Whatever decodes must encode
// to bytes that decode again to an equal value and encode to the same bytes, so that a writer never keeps
// rewriting a file it has just read. Refusals are the documented errors; anything else escaping is a bug.
#include "model/DeletionIndex.h"
#include "model/LibraryErrors.h"
#include "model/LibraryManifest.h"
#include "model/MissingFileObservation.h"
#include "model/WriterState.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

template <typename Record> void checkRoundTrip(std::string_view bytes) {
    Record first;
    try {
        first = Record::decode(bytes);
    } catch (const velto::JsonDecodingError &) {
        return;
    } catch (const velto::UnsupportedManifestSchemaError &) {
        return;
    } catch (const velto::UnsupportedDeletionIndexSchemaError &) {
        return;
    }
    // The first reading may hold a fraction of a second that writing drops; from then on nothing changes.
    const std::string encoded = first.encode();
    const Record second = Record::decode(encoded);
    const std::string reencoded = second.encode();
    if (reencoded != encoded || !(Record::decode(reencoded) == second)) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char *>(data), size);
    checkRoundTrip<velto::VeltoLibraryManifest>(bytes);
    checkRoundTrip<velto::VeltoWriterState>(bytes);
    checkRoundTrip<velto::VeltoDeletionIndexShard>(bytes);
    checkRoundTrip<velto::VeltoDeletionTombstone>(bytes);
    checkRoundTrip<velto::VeltoMissingFileObservation>(bytes);
    checkRoundTrip<velto::VeltoLibraryPageRecord>(bytes);
    return 0;
}
