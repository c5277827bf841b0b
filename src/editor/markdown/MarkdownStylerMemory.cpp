#include "editor/markdown/MarkdownStylerMemory.h"

#include "editor/markdown/MarkdownStyler.h"

#include <algorithm>
#include <list>
#include <mutex>

namespace velto::editor::MarkdownStyler {

namespace {

/// What a pass over a storage left it at: the storage equals a full pass over its text from then
/// until its characters or attributes next change.
struct PassState {
    std::uint64_t characterVersion;
    std::uint64_t attributeGroups;
    /// The pass's plain attributes, which tell its colour and fonts.
    Attributes base;
};

/// The code-token indexes of the storages the incremental pass met last, each with the character
/// version it describes, and what the last pass left each storage at. A few are kept: one per open
/// page is what the editor needs. Styling runs on the main thread; the lock only keeps two threads
/// styling different storages apart.
struct IndexedStorage {
    std::uint64_t identity;
    std::uint64_t characterVersion;
    std::shared_ptr<MarkdownCodeTokenIndex> index;
    std::optional<PassState> lastPass;
    /// The cut points of the storage's long lines, for the text at cutPointsVersion.
    LineCutPoints cutPoints;
    std::uint64_t cutPointsVersion = 0;
};

struct RememberedStorages {
    static constexpr std::size_t remembered = 4;
    std::mutex mutex;
    std::list<IndexedStorage> entries; // most recently used first

    std::list<IndexedStorage>::iterator find(const TextStorage &storage) {
        return std::find_if(entries.begin(), entries.end(),
                            [&storage](const IndexedStorage &entry) { return entry.identity == storage.identity(); });
    }
};

RememberedStorages &rememberedStorages() {
    static RememberedStorages storages;
    return storages;
}

} // namespace

std::shared_ptr<MarkdownCodeTokenIndex> codeTokenIndexFor(const TextStorage &storage) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    // An index built afresh knows nothing of what changed before, so the next incremental pass must
    // take the whole text as changed.
    const auto freshIndex = [&storage] {
        auto index = std::make_shared<MarkdownCodeTokenIndex>(storage.string());
        index->noteStructureChange(TextRange{0, storage.length()});
        return index;
    };
    auto found = storages.find(storage);
    if (found == storages.entries.end()) {
        storages.entries.push_front(
            IndexedStorage{storage.identity(), storage.characterVersion(), freshIndex(), std::nullopt, {}, 0});
        if (storages.entries.size() > RememberedStorages::remembered) {
            storages.entries.pop_back();
        }
        return storages.entries.front().index;
    }
    if (found->characterVersion != storage.characterVersion()) {
        if (const auto edits = storage.characterEditsSince(found->characterVersion)) {
            found->index->update(storage, *edits);
        } else {
            found->index = freshIndex();
        }
        found->characterVersion = storage.characterVersion();
    }
    storages.entries.splice(storages.entries.begin(), storages.entries, found);
    return storages.entries.front().index;
}

void adoptCodeTokenIndex(const TextStorage &storage, std::shared_ptr<MarkdownCodeTokenIndex> index) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    index->noteStructureChange(TextRange{0, storage.length()});
    auto found = storages.find(storage);
    if (found == storages.entries.end()) {
        storages.entries.push_front(
            IndexedStorage{storage.identity(), storage.characterVersion(), std::move(index), std::nullopt, {}, 0});
        if (storages.entries.size() > RememberedStorages::remembered) {
            storages.entries.pop_back();
        }
        return;
    }
    found->index = std::move(index);
    found->characterVersion = storage.characterVersion();
    storages.entries.splice(storages.entries.begin(), storages.entries, found);
}

void rememberPass(const TextStorage &storage, const Attributes &base) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found != storages.entries.end()) {
        found->lastPass = PassState{storage.characterVersion(), storage.finishedAttributeGroups(), base};
    }
}

std::optional<std::vector<CharacterEdit>> characterEditsSinceLastPass(const TextStorage &storage,
                                                                      const Attributes &base) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found == storages.entries.end() || !found->lastPass || storage.isEditing()) {
        return std::nullopt;
    }
    const PassState &pass = *found->lastPass;
    // A group that changed attributes alone (code tokens, a heading styled at once, an undone
    // change of style) may have changed them anywhere; groups of typed characters changed the
    // attributes of what they replaced only, which the character edits tell.
    if (pass.attributeGroups != storage.finishedAttributeGroups() || pass.base != base) {
        return std::nullopt;
    }
    std::optional<std::vector<CharacterEdit>> edits = storage.characterEditsSince(pass.characterVersion);
    if (!edits || edits->empty()) {
        return std::nullopt;
    }
    return edits;
}

LineCutPoints currentCutPoints(const TextStorage &storage) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found == storages.entries.end()) {
        return {};
    }
    LineCutPoints cutPoints = found->cutPoints;
    if (const auto edits = storage.characterEditsSince(found->cutPointsVersion)) {
        cutPoints.moveThrough(*edits);
    } else {
        cutPoints.clear();
    }
    return cutPoints;
}

void rememberCutPoints(const TextStorage &storage, LineCutPoints cutPoints) {
    RememberedStorages &storages = rememberedStorages();
    std::lock_guard lock(storages.mutex);
    const auto found = storages.find(storage);
    if (found != storages.entries.end()) {
        found->cutPoints = std::move(cutPoints);
        found->cutPointsVersion = storage.characterVersion();
    }
}

} // namespace velto::editor::MarkdownStyler
