#pragma once

#include "editor/text/TextStorage.h"
#include "editor/text/UTF8Change.h"
#include "editor/text/UTF8Offsets.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velto::editor {

/// What the editor last handed over to a UTF-8 copy of its text held elsewhere (the store's page body): the
/// storage and its character version then, the copy's version after it took the change, and where the text's
/// units fall in the copy. With it, the next hand-over compares the text with the copy only around what was
/// edited since, so a typed word on a page of megabytes costs the word. Whenever that is not known for sure
/// (the copy changed by another road, another storage, more edits than the storage remembers) the text and
/// the copy are compared whole, and the change is the same either way.
class HandedOverText {
public:
    /// The change that turns `copy`, whose version is `copyVersion`, into the UTF-8 of the storage's text.
    UTF8Change changeFrom(const TextStorage &storage, std::string_view copy, std::uint64_t copyVersion);
    /// The copy took the change changeFrom gave last; it is now of version `copyVersion` and `copySize` bytes.
    /// Equal versions must mean equal texts; 0 is taken to name no text for sure.
    void changeTaken(const TextStorage &storage, std::uint64_t copyVersion, std::size_t copySize);
    /// Nothing handed over is known any more.
    void forget();

    /// Whether changeFrom last compared only around the edits, for tests.
    bool comparedAroundEdits() const { return found_ && found_->aroundEdits; }
    /// Where the units of the text last handed over fall in the copy, for tests.
    const UTF8Offsets &offsets() const { return offsets_; }

private:
    /// The storage's text when it was handed over, and the copy's version after.
    struct HandOver {
        std::uint64_t storageIdentity = 0;
        std::uint64_t characterVersion = 0;
        std::uint64_t copyVersion = 0;
    };
    /// What changeFrom found, for changeTaken to follow.
    struct Found {
        bool aroundEdits = false;
        UnitAndByte start;
        UnitAndByte oldEnd;
        UnitAndByte newEnd;
        std::size_t copySize = 0;           // the copy's size once it takes the change
        std::vector<UnitAndByte> pieceEnds; // where a whole comparison read past the storage's pieces' ends
    };

    /// What is alike at the ends of the storage's text and the copy, when everything since the last hand-over is known.
    std::optional<AlikeEnds> alikeEnds(const TextStorage &storage, std::string_view copy,
                                       std::uint64_t copyVersion) const;

    std::optional<HandOver> handedOver_;
    UTF8Offsets offsets_; // of the text handed over
    std::optional<Found> found_;
};

} // namespace velto::editor
