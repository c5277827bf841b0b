#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velto::editor {

/// A place in a text and in its UTF-8 form at once: a unit between two code points, and its byte.
struct UnitAndByte {
    std::size_t unit = 0;
    std::size_t byte = 0;
};

/// What makes a UTF-8 copy of a text equal to the text again: the copy's bytes [location, location + length)
/// replaced by `replacement`. No change at all is an empty replacement of nothing.
struct UTF8Change {
    std::size_t location = 0;
    std::size_t length = 0;
    std::string replacement;

    bool isEmpty() const { return length == 0 && replacement.empty(); }
    bool operator==(const UTF8Change &) const = default;
};

/// The change that turns `copy` into text::toUTF8 of the text held in `pieces` (in order, no surrogate pair
/// split between two pieces, as TextStorage::pieces() hands them out). The text's beginning and end are
/// compared with the copy in place, code point by code point, and only the units between what they share are
/// converted: handing a page of megabytes to the store after a typed word costs one read of it, without a
/// conversion or a copy of the whole. Whatever the copy holds, applying the change gives exactly the text's
/// UTF-8 (an unpaired surrogate becoming U+FFFD, as in the whole conversion).
UTF8Change utf8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy);

/// A change with where it lies in the text's units: the units [unitLocation, length - unitsAfter) of the text
/// are what `change.replacement` encodes.
struct UTF8ChangeInUnits {
    UTF8Change change;
    std::size_t unitLocation = 0;
    std::size_t unitsAfter = 0;
};

/// The whole comparison's change, with the places it read past where one piece of the text ends and the next
/// begins, outside the change: each in units and in bytes of the text's UTF-8 form (after the change), in order.
/// Whoever keeps where the text's units fall in its UTF-8 form takes them from here instead of reading the text
/// once more.
struct WholeUTF8Change {
    UTF8ChangeInUnits found;
    std::vector<UnitAndByte> pieceEnds;
};

/// utf8Change(pieces, copy), noting the pieces' ends it reads past.
WholeUTF8Change wholeUTF8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy);

/// What is known to be alike at the two ends of a text and its UTF-8 copy before they are compared: the text's
/// first `unitsBefore` units are the copy's first `bytesBefore` bytes, and its last `unitsAfter` units the copy's
/// last `bytesAfter` bytes, each stretch ending (or starting) between two code points of the text, not inside a
/// surrogate pair. An editor that knows where it was edited since the copy was made knows them.
struct AlikeEnds {
    std::size_t unitsBefore = 0;
    std::size_t bytesBefore = 0;
    std::size_t unitsAfter = 0;
    std::size_t bytesAfter = 0;
};

/// The very change utf8Change(pieces, copy) gives, read from the alike ends inward: the text is compared
/// with the copy between them, and past them only as far as the two still agree, so the work is what was
/// edited, not the length of the text. With nothing known alike it is the whole comparison.
UTF8ChangeInUnits utf8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy,
                             const AlikeEnds &alike);

} // namespace velto::editor
