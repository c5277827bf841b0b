#include "editor/text/UTF8Change.h"

#include "platform/Text.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstdint>
#include <cstring>

namespace velto::editor {
namespace {

static_assert(std::endian::native == std::endian::little, "four units are read as one little-endian word");

/// Four UTF-16 units read as one word are all ASCII when none has a bit above the lowest seven.
constexpr std::uint64_t nonASCIIMask = 0xFF80FF80FF80FF80ull;

/// Compares four units with four bytes of the copy at once, which is how most of a page is read: true when
/// the units are ASCII and equal, in order, to the bytes.
bool fourASCIIUnitsEqual(const char16_t *units, const char *bytes) {
    std::uint64_t word = 0;
    std::memcpy(&word, units, sizeof word);
    if ((word & nonASCIIMask) != 0) {
        return false;
    }
    const auto asBytes = static_cast<std::uint32_t>((word & 0xFF) | ((word >> 8) & 0xFF00) | ((word >> 16) & 0xFF0000) |
                                                    ((word >> 24) & 0xFF000000));
    std::uint32_t held = 0;
    std::memcpy(&held, bytes, sizeof held);
    return asBytes == held;
}

/// `wideStep` units at once: sixteen where the processor compares sixteen bytes in one step, else four. Most
/// of a page is read so.
#if defined(__SSE2__)
constexpr std::size_t wideStep = 16;

bool wideStepOfASCIIUnitsEqual(const char16_t *units, const char *bytes) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units + 8));
    // Packing saturates a unit above 0xFF to 0xFF, so a packed byte below 0x80 is an ASCII unit.
    const __m128i packed = _mm_packus_epi16(low, high);
    const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes));
    return _mm_movemask_epi8(packed) == 0 && _mm_movemask_epi8(_mm_cmpeq_epi8(packed, held)) == 0xFFFF;
}
#else
constexpr std::size_t wideStep = 4;

bool wideStepOfASCIIUnitsEqual(const char16_t *units, const char *bytes) {
    return fourASCIIUnitsEqual(units, bytes);
}
#endif

/// One code point of the text and the units it takes; an unpaired surrogate reads as U+FFFD, as
/// text::toUTF8 writes it.
struct CodePoint {
    UChar32 value = 0;
    std::size_t units = 1;
};

CodePoint replacingUnpairedSurrogate(char16_t unit) {
    return {U16_IS_SURROGATE(unit) ? 0xFFFD : static_cast<UChar32>(unit), 1};
}

/// The code point that starts at `index`.
CodePoint codePointAt(std::u16string_view piece, std::size_t index) {
    const char16_t unit = piece[index];
    if (U16_IS_LEAD(unit) && index + 1 < piece.size() && U16_IS_TRAIL(piece[index + 1])) {
        return {U16_GET_SUPPLEMENTARY(unit, piece[index + 1]), 2};
    }
    return replacingUnpairedSurrogate(unit);
}

/// The code point that ends just before `end`.
CodePoint codePointBefore(std::u16string_view piece, std::size_t end) {
    const char16_t unit = piece[end - 1];
    if (U16_IS_TRAIL(unit) && end >= 2 && U16_IS_LEAD(piece[end - 2])) {
        return {U16_GET_SUPPLEMENTARY(piece[end - 2], unit), 2};
    }
    return replacingUnpairedSurrogate(unit);
}

/// Whether the code point's UTF-8 form is the copy's bytes at `at`; `size` receives the form's length.
bool encodedAt(UChar32 codePoint, std::string_view copy, std::size_t at, std::size_t &size) {
    std::uint8_t encoded[U8_MAX_LENGTH];
    std::int32_t length = 0;
    U8_APPEND_UNSAFE(encoded, length, codePoint);
    size = static_cast<std::size_t>(length);
    return at + size <= copy.size() && std::memcmp(copy.data() + at, encoded, size) == 0;
}

/// How far the text and the copy agree from their beginnings: in units and in bytes.
struct Agreement {
    std::size_t units = 0;
    std::size_t bytes = 0;
};

/// Notes in `pieceEnds`, when given, where each piece read whole ends.
Agreement agreementFromStart(const std::vector<std::u16string_view> &pieces, std::string_view copy,
                             std::vector<UnitAndByte> *pieceEnds = nullptr) {
    Agreement agreed;
    for (const std::u16string_view piece : pieces) {
        std::size_t index = 0;
        while (index < piece.size()) {
            if (index + wideStep <= piece.size() && agreed.bytes + wideStep <= copy.size() &&
                wideStepOfASCIIUnitsEqual(piece.data() + index, copy.data() + agreed.bytes)) {
                index += wideStep;
                agreed.bytes += wideStep;
                continue;
            }
            if (index + 4 <= piece.size() && agreed.bytes + 4 <= copy.size() &&
                fourASCIIUnitsEqual(piece.data() + index, copy.data() + agreed.bytes)) {
                index += 4;
                agreed.bytes += 4;
                continue;
            }
            const CodePoint point = codePointAt(piece, index);
            std::size_t size = 0;
            if (!encodedAt(point.value, copy, agreed.bytes, size)) {
                agreed.units += index;
                return agreed;
            }
            index += point.units;
            agreed.bytes += size;
        }
        agreed.units += piece.size();
        if (pieceEnds != nullptr) {
            pieceEnds->push_back(UnitAndByte{agreed.units, agreed.bytes});
        }
    }
    return agreed;
}

/// How far the text and the copy agree from their ends, reading no further than `limit` (what they share
/// from their beginnings is not shared twice). Notes in `pieceStarts`, when given, how far from the ends each
/// piece read whole starts.
Agreement agreementFromEnd(const std::vector<std::u16string_view> &pieces, std::string_view copy, Agreement limit,
                           std::vector<Agreement> *pieceStarts = nullptr) {
    Agreement agreed;
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        std::size_t end = piece->size();
        while (end > 0) {
            if (end >= wideStep && agreed.units + wideStep <= limit.units && agreed.bytes + wideStep <= limit.bytes &&
                wideStepOfASCIIUnitsEqual(piece->data() + end - wideStep,
                                          copy.data() + copy.size() - agreed.bytes - wideStep)) {
                end -= wideStep;
                agreed.units += wideStep;
                agreed.bytes += wideStep;
                continue;
            }
            if (end >= 4 && agreed.units + 4 <= limit.units && agreed.bytes + 4 <= limit.bytes &&
                fourASCIIUnitsEqual(piece->data() + end - 4, copy.data() + copy.size() - agreed.bytes - 4)) {
                end -= 4;
                agreed.units += 4;
                agreed.bytes += 4;
                continue;
            }
            const CodePoint point = codePointBefore(*piece, end);
            std::size_t size = 0;
            const std::size_t encodedSize = U8_LENGTH(point.value);
            if (agreed.units + point.units > limit.units || agreed.bytes + encodedSize > limit.bytes ||
                !encodedAt(point.value, copy, copy.size() - agreed.bytes - encodedSize, size)) {
                return agreed;
            }
            end -= point.units;
            agreed.units += point.units;
            agreed.bytes += size;
        }
        if (pieceStarts != nullptr) {
            pieceStarts->push_back(agreed);
        }
    }
    return agreed;
}

/// The units [start, end) of the text.
std::u16string unitsBetween(const std::vector<std::u16string_view> &pieces, std::size_t start, std::size_t end) {
    std::u16string units;
    units.reserve(end - start);
    std::size_t pieceStart = 0;
    for (const std::u16string_view piece : pieces) {
        const std::size_t pieceEnd = pieceStart + piece.size();
        if (pieceEnd > start && pieceStart < end) {
            const std::size_t from = std::max(start, pieceStart) - pieceStart;
            const std::size_t to = std::min(end, pieceEnd) - pieceStart;
            units.append(piece.substr(from, to - from));
        }
        pieceStart = pieceEnd;
    }
    return units;
}

/// The text's units [start, end), still in pieces.
std::vector<std::u16string_view> piecesBetween(const std::vector<std::u16string_view> &pieces, std::size_t start,
                                               std::size_t end) {
    std::vector<std::u16string_view> between;
    std::size_t pieceStart = 0;
    for (const std::u16string_view piece : pieces) {
        const std::size_t pieceEnd = pieceStart + piece.size();
        if (pieceStart >= end) {
            break;
        }
        if (pieceEnd > start) {
            const std::size_t from = std::max(start, pieceStart) - pieceStart;
            const std::size_t to = std::min(end, pieceEnd) - pieceStart;
            between.push_back(piece.substr(from, to - from));
        }
        pieceStart = pieceEnd;
    }
    return between;
}

/// agreementFromStart, taking the alike beginning as read. What differs lies before the alike end, so the
/// comparison stops there when it arrives at the very byte where that end lies in the copy: the rest agrees.
/// Arriving elsewhere (the edit's text also agrees with the copy's next bytes), it reads on as far as they agree.
Agreement agreementFromStart(const std::vector<std::u16string_view> &pieces, std::size_t length, std::string_view copy,
                             const AlikeEnds &alike) {
    const std::size_t alikeEnd = length - alike.unitsAfter;
    const std::size_t copyAlikeEnd = copy.size() - alike.bytesAfter;
    Agreement agreed{alike.unitsBefore, alike.bytesBefore};
    const Agreement edited =
        agreementFromStart(piecesBetween(pieces, agreed.units, alikeEnd), copy.substr(agreed.bytes));
    agreed.units += edited.units;
    agreed.bytes += edited.bytes;
    if (agreed.units < alikeEnd) {
        return agreed;
    }
    if (agreed.bytes == copyAlikeEnd) {
        return Agreement{length, copy.size()};
    }
    const Agreement past = agreementFromStart(piecesBetween(pieces, alikeEnd, length), copy.substr(agreed.bytes));
    return Agreement{agreed.units + past.units, agreed.bytes + past.bytes};
}

/// agreementFromEnd, taking the alike end as read when it lies within `limit`. When it does not (what the
/// beginnings share reaches into it), the whole-code-point stretch of it that just fits is the agreement,
/// found by counting from the alike end's start.
Agreement agreementFromEnd(const std::vector<std::u16string_view> &pieces, std::size_t length, std::string_view copy,
                           const AlikeEnds &alike, Agreement limit) {
    const std::size_t alikeEnd = length - alike.unitsAfter;
    const std::size_t copyAlikeEnd = copy.size() - alike.bytesAfter;
    if (alike.unitsAfter <= limit.units && alike.bytesAfter <= limit.bytes) {
        const Agreement edited =
            agreementFromEnd(piecesBetween(pieces, 0, alikeEnd), copy.substr(0, copyAlikeEnd),
                             Agreement{limit.units - alike.unitsAfter, limit.bytes - alike.bytesAfter});
        return Agreement{alike.unitsAfter + edited.units, alike.bytesAfter + edited.bytes};
    }
    // Units and bytes of the alike end to leave out, at least, for the rest to fit within the limit.
    const std::size_t unitsOver = alike.unitsAfter - std::min(alike.unitsAfter, limit.units);
    const std::size_t bytesOver = alike.bytesAfter - std::min(alike.bytesAfter, limit.bytes);
    Agreement left;
    for (const std::u16string_view piece : piecesBetween(pieces, alikeEnd, length)) {
        if (left.units >= unitsOver && left.bytes >= bytesOver) {
            break;
        }
        for (std::size_t index = 0; index < piece.size() && (left.units < unitsOver || left.bytes < bytesOver);) {
            const CodePoint point = codePointAt(piece, index);
            index += point.units;
            left.units += point.units;
            left.bytes += U8_LENGTH(point.value);
        }
    }
    return Agreement{alike.unitsAfter - left.units, alike.bytesAfter - left.bytes};
}

} // namespace

UTF8Change utf8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy) {
    return wholeUTF8Change(pieces, copy).found.change;
}

WholeUTF8Change wholeUTF8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy) {
    std::size_t length = 0;
    for (const std::u16string_view piece : pieces) {
        length += piece.size();
    }
    WholeUTF8Change whole;
    const Agreement start = agreementFromStart(pieces, copy, &whole.pieceEnds);
    std::vector<Agreement> pieceStartsFromEnd;
    const Agreement end =
        agreementFromEnd(pieces, copy, Agreement{length - start.units, copy.size() - start.bytes}, &pieceStartsFromEnd);
    UTF8Change change{start.bytes, copy.size() - start.bytes - end.bytes,
                      text::toUTF8(unitsBetween(pieces, start.units, length - end.units))};
    // The pieces read from the end lie after the change: counted back from the changed text's end.
    const std::size_t changedSize = start.bytes + change.replacement.size() + end.bytes;
    for (auto fromEnd = pieceStartsFromEnd.rbegin(); fromEnd != pieceStartsFromEnd.rend(); ++fromEnd) {
        whole.pieceEnds.push_back(UnitAndByte{length - fromEnd->units, changedSize - fromEnd->bytes});
    }
    whole.found = UTF8ChangeInUnits{std::move(change), start.units, end.units};
    return whole;
}

UTF8ChangeInUnits utf8Change(const std::vector<std::u16string_view> &pieces, std::string_view copy,
                             const AlikeEnds &alike) {
    std::size_t length = 0;
    for (const std::u16string_view piece : pieces) {
        length += piece.size();
    }
    const Agreement start = agreementFromStart(pieces, length, copy, alike);
    const Agreement end =
        agreementFromEnd(pieces, length, copy, alike, Agreement{length - start.units, copy.size() - start.bytes});
    const UTF8Change change{start.bytes, copy.size() - start.bytes - end.bytes,
                            text::toUTF8(unitsBetween(pieces, start.units, length - end.units))};
    return UTF8ChangeInUnits{change, start.units, end.units};
}

} // namespace velto::editor
