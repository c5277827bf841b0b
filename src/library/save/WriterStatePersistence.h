#pragma once

#include "library/save/ManifestMerge.h"
#include "library/save/SaveRequest.h"
#include "model/WriterState.h"
#include "model/WriterVersion.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

/// What a save recorded in its writer's journal: the version stamped on this save's entries and the
/// journal as written.
struct VeltoPersistedWriterUpdate {
    velto::VeltoWriterVersion version;
    velto::VeltoWriterState state;

    friend bool operator==(const VeltoPersistedWriterUpdate &, const VeltoPersistedWriterUpdate &) = default;
};

/// A writer whose sequence numbers are used up: its next version could not follow its last one.
class WriterSequenceExhaustedError : public std::runtime_error {
public:
    WriterSequenceExhaustedError();
};

namespace VeltoPageLibrary {

/// Records one save in this writer's journal, ".velto/writers/<writer id in lower case>.json": a new version
/// (the next sequence of this writer, never dated before its last one, observing every writer the observed
/// journals know), the records of the changed pages, a deletion for each removed page, and the current page
/// and order when the structure changed. Earlier entries of other pages stay. `observedWriterStates` are the
/// journals read under the same lock; `changedRecords`, when given, are changedPageRecords(request) made
/// earlier. Directory, encoding and write failures are thrown.
VeltoPersistedWriterUpdate persistWriterState(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                              velto::FileSystem &fileManager,
                                              const std::vector<velto::VeltoWriterState> &observedWriterStates,
                                              const ChangedPageRecords *changedRecords = nullptr);

} // namespace VeltoPageLibrary
