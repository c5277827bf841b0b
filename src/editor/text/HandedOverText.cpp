#include "editor/text/HandedOverText.h"

#include "editor/text/TextStorageChunks.h"

#include <algorithm>
#include <vector>

namespace velto::editor {
namespace {

using storage_chunks::isLeadSurrogate;
using storage_chunks::isTrailSurrogate;

/// The part of the text that edits changed: its units [start, end) now were [start, end - changeInLength)
/// before them, and the units around are the same before and after.
struct EditedSpan {
    std::size_t start = 0;
    std::size_t end = 0;
    std::ptrdiff_t changeInLength = 0;
};

/// The span the edits changed, each edit given in the coordinates of the text it changed; none is an empty span
/// at the end of the text.
EditedSpan editedSpan(const std::vector<CharacterEdit> &edits, std::size_t length) {
    if (edits.empty()) {
        return EditedSpan{length, length, 0};
    }
    EditedSpan span{edits.front().location, edits.front().location, 0};
    for (const CharacterEdit &edit : edits) {
        const std::size_t removedEnd = edit.location + edit.oldLength;
        const std::size_t insertedEnd = edit.location + edit.newLength;
        const auto delta = static_cast<std::ptrdiff_t>(edit.newLength) - static_cast<std::ptrdiff_t>(edit.oldLength);
        // The span's end in the text after this edit: before the edit it stays, after the edit it moves with the
        // units after it, and inside the removed units it comes to the inserted units' end.
        std::size_t end = span.end;
        if (span.end >= removedEnd && span.end > edit.location) {
            end = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(span.end) + delta);
        } else if (span.end > edit.location) {
            end = insertedEnd;
        }
        span.start = std::min(span.start, edit.location);
        span.end = std::max(end, insertedEnd);
        span.changeInLength += delta;
    }
    return span;
}

} // namespace

std::optional<AlikeEnds> HandedOverText::alikeEnds(const TextStorage &storage, std::string_view copy,
                                                   std::uint64_t copyVersion) const {
    if (!handedOver_ || handedOver_->storageIdentity != storage.identity() || handedOver_->copyVersion != copyVersion ||
        offsets_.end().byte != copy.size()) {
        return std::nullopt;
    }
    const std::optional<std::vector<CharacterEdit>> edits = storage.characterEditsSince(handedOver_->characterVersion);
    if (!edits) {
        return std::nullopt;
    }
    const std::size_t length = storage.length();
    const EditedSpan span = editedSpan(*edits, length);
    // The alike ends stop between code points: a lead surrogate before the span may pair with what the span
    // held or holds, and a trail surrogate after it likewise, so such a unit counts as edited.
    std::size_t start = span.start;
    if (start > 0 && isLeadSurrogate(storage.characterAt(start - 1))) {
        --start;
    }
    std::size_t end = span.end;
    if (end < length && isTrailSurrogate(storage.characterAt(end))) {
        ++end;
    }
    const auto oldEnd = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(end) - span.changeInLength);
    const std::size_t bytesBefore = offsets_.byteAfterPoint(storage, start);
    const std::size_t copyEnd = offsets_.byteBeforePoint(storage, oldEnd, span.changeInLength);
    return AlikeEnds{start, bytesBefore, length - end, copy.size() - copyEnd};
}

UTF8Change HandedOverText::changeFrom(const TextStorage &storage, std::string_view copy, std::uint64_t copyVersion) {
    const std::optional<AlikeEnds> alike = alikeEnds(storage, copy, copyVersion);
    if (!alike) {
        WholeUTF8Change whole = wholeUTF8Change(storage.pieces(), copy);
        UTF8Change &change = whole.found.change;
        const std::size_t copySize = copy.size() - change.length + change.replacement.size();
        const UnitAndByte start{whole.found.unitLocation, change.location};
        const UnitAndByte newEnd{storage.length() - whole.found.unitsAfter,
                                 change.location + change.replacement.size()};
        found_ = Found{false, start, {}, newEnd, copySize, std::move(whole.pieceEnds)};
        return std::move(change);
    }
    UTF8ChangeInUnits found = utf8Change(storage.pieces(), copy, *alike);
    const UTF8Change &change = found.change;
    const std::size_t copySize = copy.size() - change.length + change.replacement.size();
    const UnitAndByte start{found.unitLocation, change.location};
    const UnitAndByte oldEnd{offsets_.end().unit - found.unitsAfter, change.location + change.length};
    const UnitAndByte newEnd{storage.length() - found.unitsAfter, change.location + change.replacement.size()};
    found_ = Found{true, start, oldEnd, newEnd, copySize, {}};
    return std::move(found.change);
}

void HandedOverText::changeTaken(const TextStorage &storage, std::uint64_t copyVersion, std::size_t copySize) {
    // A copy of another size is not what the change made of it, and version 0 names no text for sure.
    if (!found_ || found_->copySize != copySize || copyVersion == 0) {
        forget();
        return;
    }
    if (found_->aroundEdits) {
        offsets_.replace(storage, found_->start, found_->oldEnd, found_->newEnd);
    } else {
        // The whole comparison read the text up to the change and back to it: what it found there is not
        // measured again.
        offsets_.measureFrom(storage, found_->pieceEnds, found_->start, found_->newEnd,
                             UnitAndByte{storage.length(), copySize});
        found_->pieceEnds = {};
    }
    handedOver_ = HandOver{storage.identity(), storage.characterVersion(), copyVersion};
}

void HandedOverText::forget() {
    handedOver_.reset();
    found_.reset();
}

} // namespace velto::editor
