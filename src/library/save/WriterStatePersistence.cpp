#include "library/save/WriterStatePersistence.h"

#include "library/metadata/CausalPreference.h"
#include "library/metadata/DecodedFileCache.h"
#include "library/metadata/WriterStates.h"

#include <algorithm>
#include <map>

WriterSequenceExhaustedError::WriterSequenceExhaustedError()
    : std::runtime_error("Velto can’t record more changes under this writer. Quit and reopen Velto to keep saving.") {}

namespace VeltoPageLibrary {

namespace {

using velto::Uuid;
using velto::VeltoWriterDeletion;
using velto::VeltoWriterPageMutation;
using velto::VeltoWriterState;
using velto::VeltoWriterVersion;

const auto versionOfEntry = [](const auto &entry) -> const VeltoWriterVersion & { return entry.version; };

/// The preferred of the entry already kept and the new one, the kept one first.
template <typename Entry> void storePreferred(std::map<Uuid, Entry> &index, const Uuid &pageID, const Entry &entry) {
    auto found = index.find(pageID);
    if (found == index.end()) {
        index.emplace(pageID, entry);
        return;
    }
    found->second = *preferredCausalValue(std::vector<Entry>{found->second, entry}, versionOfEntry);
}

VeltoWriterState previousState(const Uuid &writerID, const std::vector<VeltoWriterState> &observed) {
    for (const auto &state : observed) {
        if (state.writerID == writerID) {
            return state;
        }
    }
    VeltoWriterState fresh;
    fresh.writerID = writerID;
    return fresh;
}

template <typename Entry> std::vector<Entry> values(const std::map<Uuid, Entry> &index) {
    // Byte order of identifiers is the order of their upper-case texts.
    std::vector<Entry> result;
    result.reserve(index.size());
    for (const auto &[id, entry] : index) {
        result.push_back(entry);
    }
    return result;
}

velto::VeltoWriterStructure structureOf(const velto::VeltoDocument &document, const VeltoWriterVersion &version) {
    velto::VeltoWriterStructure structure;
    structure.currentPageID = document.currentPage.id;
    structure.orderedPageIDs.push_back(document.currentPage.id);
    for (const auto &page : document.pages) {
        structure.orderedPageIDs.push_back(page.id);
    }
    structure.version = version;
    return structure;
}

} // namespace

VeltoPersistedWriterUpdate persistWriterState(const VeltoSaveRequest &request, const std::filesystem::path &folderURL,
                                              velto::FileSystem &fileManager,
                                              const std::vector<VeltoWriterState> &observedWriterStates,
                                              const ChangedPageRecords *changedRecords) {
    auto directory = writersDirectory(folderURL);
    fileManager.createDirectories(directory);

    VeltoWriterState state = previousState(request.writerID, observedWriterStates);
    auto version = newWriterVersion(request.writerID, request.operationID, request.recordedAt, observedWriterStates);
    if (version.sequence == 0) {
        // The counter wrapped: a version numbered below the writer's last would lose every causal comparison.
        throw WriterSequenceExhaustedError();
    }

    std::map<Uuid, VeltoWriterPageMutation> mutations;
    for (const auto &mutation : state.pageMutations) {
        storePreferred(mutations, mutation.page.id, mutation);
    }
    const auto requestRecords = changedRecords != nullptr ? *changedRecords : changedPageRecords(request);
    for (const auto &[pageID, revision] : request.changedPageRevisions) {
        auto record = requestRecords.find(pageID);
        if (record != requestRecords.end()) {
            storePreferred(mutations, pageID, VeltoWriterPageMutation{record->second, version});
        }
    }

    std::map<Uuid, VeltoWriterDeletion> deletions;
    for (const auto &deletion : state.deletions) {
        storePreferred(deletions, deletion.pageID, deletion);
    }
    for (const auto &[pageID, revision] : request.removedPageRevisions) {
        storePreferred(deletions, pageID, VeltoWriterDeletion{pageID, version});
    }

    if (request.structureRevision) {
        state.structure = structureOf(request.document, version);
    }
    state.pageMutations = values(mutations);
    state.deletions = values(deletions);

    writeJournal(directory / (request.writerID.lowercaseText() + ".json"), state, fileManager, false);
    return {version, state};
}

} // namespace VeltoPageLibrary
