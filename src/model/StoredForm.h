#pragma once

#include "model/LibraryManifest.h"
#include "model/WriterState.h"

#include <optional>

namespace velto {

/// The manifest that decoding `manifest.encode()` gives back: dates to the whole second, texts that are not
/// UTF-8 repaired. A save keeps this to read the manifest it has just written without decoding megabytes of
/// it again, so it must be exactly what decoding gives; nothing when that cannot be told (a value that would
/// not read back at all, a pending file name that encoding would change).
std::optional<VeltoLibraryManifest> manifestAsStored(const VeltoLibraryManifest &manifest);

/// The same for a writer's journal: what decoding `journal.encode()` gives; nothing when it would not read back.
std::optional<VeltoWriterState> journalAsStored(const VeltoWriterState &journal);

} // namespace velto
