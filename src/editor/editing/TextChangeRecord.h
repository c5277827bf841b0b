#pragma once

#include "editor/text/TextRange.h"
#include "editor/text/TextStorage.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

/// A stretch of text with its attribute runs (ranges relative to the stretch's start), as an undo step keeps
/// what it will put back.
struct AttributedText {
    std::u16string text;
    std::vector<AttributeRun> runs;

    static AttributedText from(const TextStorage &storage, TextRange range);
    /// This text followed by the other.
    AttributedText appending(const AttributedText &other) const;
    /// Puts the text in place of the range, in one editing group of the storage.
    void replace(TextStorage &storage, TextRange range) const;
};

/// A 64-bit hash of UTF-16 units (FNV-1a): what an undo step expects to find in place.
std::uint64_t unitsHash(std::u16string_view units);

/// One undoable change of characters: undoing it puts `replaced` in place of the `length` units at
/// `location` and selects `selectionBefore`; redoing it is the same kind of record the other way round.
/// A typing step grows its record while the user keeps typing.
struct TextChangeRecord {
    std::size_t location = 0;
    std::size_t length = 0;
    /// The hash of the `length` units at `location` as the change left them. Undo finds them so unless
    /// the text was changed by another road, and then the step must not run.
    std::uint64_t expectedHash = 0;
    AttributedText replaced;
    TextRange selectionBefore;
    TextRange selectionAfter;
};

} // namespace velto::editor
