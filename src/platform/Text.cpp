#include "platform/Text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace velto::text {

// A plain loop over all bytes, without an early exit, so that the compiler can vectorise it.
bool isASCII(std::string_view text) {
    unsigned char combined = 0;
    for (char c : text) {
        combined |= static_cast<unsigned char>(c);
    }
    return combined < 0x80;
}

namespace {

const icu::Normalizer2 &nfcNormalizer() {
    static const icu::Normalizer2 *normalizer = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2 *instance = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status)) {
            throw std::runtime_error(std::string("ICU NFC data unavailable: ") + u_errorName(status));
        }
        return instance;
    }();
    return *normalizer;
}

bool isNFC(std::string_view text) {
    if (isASCII(text)) {
        return true;
    }
    UErrorCode status = U_ZERO_ERROR;
    bool normalized =
        nfcNormalizer().isNormalizedUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())), status);
    return U_SUCCESS(status) && normalized;
}

std::string normalizedNFC(std::string_view text) {
    std::string valid = isValidUTF8(text) ? std::string() : decodingUTF8Lossy(text);
    std::string_view source = valid.empty() ? text : std::string_view(valid);
    std::string result;
    icu::StringByteSink<std::string> sink(&result, static_cast<int32_t>(source.size()));
    UErrorCode status = U_ZERO_ERROR;
    nfcNormalizer().normalizeUTF8(0, icu::StringPiece(source.data(), static_cast<int32_t>(source.size())), sink,
                                  nullptr, status);
    if (U_FAILURE(status)) {
        throw std::runtime_error(std::string("NFC normalization failed: ") + u_errorName(status));
    }
    return result;
}

/// True for well-formed UTF-8 of U+0000 to U+00FF only. Every such text is already NFC (none of these characters
/// decomposes, and none combines with what precedes it), which spares Western European text the full check.
bool isLatin1Text(std::string_view text) {
    std::size_t index = 0;
    while (index < text.size()) {
        auto byte = static_cast<unsigned char>(text[index]);
        if (byte < 0x80) {
            ++index;
        } else if ((byte == 0xC2 || byte == 0xC3) && index + 1 < text.size() &&
                   (static_cast<unsigned char>(text[index + 1]) & 0xC0) == 0x80) {
            index += 2;
        } else {
            return false;
        }
    }
    return true;
}

/// The NFC form of the text: the text itself when it is already normalized (no copy), else `storage`.
std::string_view nfcView(std::string_view text, std::string &storage) {
    if (isLatin1Text(text) || (isValidUTF8(text) && isNFC(text))) {
        return text;
    }
    storage = normalizedNFC(text);
    return storage;
}

using ByteIndex = std::int64_t;

const std::uint8_t *bytesOf(std::string_view text) {
    return reinterpret_cast<const std::uint8_t *>(text.data());
}

/// The code point at `index`, advancing past it; ill-formed sequences read as U+FFFD.
char32_t nextCodePoint(std::string_view text, ByteIndex &index) {
    const std::uint8_t *bytes = bytesOf(text);
    ByteIndex length = static_cast<ByteIndex>(text.size());
    UChar32 c = 0;
    U8_NEXT_OR_FFFD(bytes, index, length, c);
    return static_cast<char32_t>(c);
}

/// The code point before `index`, moving back over it; an ill-formed byte reads as U+FFFD on its own.
char32_t previousCodePoint(std::string_view text, ByteIndex &index) {
    const std::uint8_t *bytes = bytesOf(text);
    ByteIndex start = index - 1;
    while (start > 0 && index - start < 4 && (bytes[start] & 0xC0) == 0x80) {
        --start;
    }
    ByteIndex probe = start;
    char32_t c = nextCodePoint(text, probe);
    if (probe == index) {
        index = start;
        return c;
    }
    index -= 1;
    return 0xFFFD;
}

bool isNewline(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

template <typename Predicate> std::string_view trimming(std::string_view text, Predicate shouldTrim) {
    ByteIndex start = 0;
    ByteIndex length = static_cast<ByteIndex>(text.size());
    while (start < length) {
        ByteIndex next = start;
        if (!shouldTrim(nextCodePoint(text, next))) {
            break;
        }
        start = next;
    }
    ByteIndex end = length;
    while (end > start) {
        ByteIndex previous = end;
        if (!shouldTrim(previousCodePoint(text, previous))) {
            break;
        }
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

// Grapheme breaking is needed for every count and prefix; creating the iterator costs far more than using it,
// so each thread keeps one.
icu::BreakIterator &characterBreakIterator() {
    thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> instance(
            icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status) || !instance) {
            throw std::runtime_error(std::string("ICU character break iterator unavailable: ") + u_errorName(status));
        }
        return instance;
    }();
    return *iterator;
}

/// The byte offset after the first `count` grapheme clusters (the text's size when it has fewer), and how many
/// clusters that offset covers.
struct GraphemeSpan {
    std::size_t endOffset = 0;
    std::size_t clusterCount = 0;
};

// In ASCII every byte is a cluster except that "\r\n" is one.
GraphemeSpan asciiGraphemeSpan(std::string_view text, std::size_t maximumCount) {
    GraphemeSpan span;
    while (span.endOffset < text.size() && span.clusterCount < maximumCount) {
        bool isCRLF =
            text[span.endOffset] == '\r' && span.endOffset + 1 < text.size() && text[span.endOffset + 1] == '\n';
        span.endOffset += isCRLF ? 2 : 1;
        ++span.clusterCount;
    }
    return span;
}

GraphemeSpan graphemeSpan(std::string_view text, std::size_t maximumCount) {
    if (isASCII(text)) {
        return asciiGraphemeSpan(text, maximumCount);
    }
    UErrorCode status = U_ZERO_ERROR;
    UText utext = UTEXT_INITIALIZER;
    utext_openUTF8(&utext, text.data(), static_cast<int64_t>(text.size()), &status);
    icu::BreakIterator &iterator = characterBreakIterator();
    iterator.setText(&utext, status);
    if (U_FAILURE(status)) {
        utext_close(&utext);
        throw std::runtime_error(std::string("ICU grapheme breaking failed: ") + u_errorName(status));
    }
    GraphemeSpan span;
    iterator.first();
    while (span.clusterCount < maximumCount) {
        int32_t boundary = iterator.next();
        if (boundary == icu::BreakIterator::DONE) {
            break;
        }
        span.endOffset = static_cast<std::size_t>(boundary);
        ++span.clusterCount;
    }
    // The iterator keeps a shallow clone pointing at the caller's bytes; that is harmless because every use
    // begins with setText.
    utext_close(&utext);
    return span;
}

bool isContinuationByteAt(std::string_view text, std::size_t index) {
    return index < text.size() && (static_cast<unsigned char>(text[index]) & 0xC0) == 0x80;
}

bool hasNormalizationBoundaryAt(std::string_view text, std::size_t index) {
    if (index >= text.size() || static_cast<unsigned char>(text[index]) < 0x80) {
        return true;
    }
    ByteIndex position = static_cast<ByteIndex>(index);
    return nfcNormalizer().hasBoundaryBefore(static_cast<UChar32>(nextCodePoint(text, position)));
}

/// The length of the longest common prefix that ends where neither text can normalize across: the texts are then
/// equivalent exactly when the rest of them are, and the shared part need not be normalized at all. Lines that
/// differ late (the common case when a merge compares lines) cost little more than a byte comparison.
std::size_t sharedNormalizationPrefix(std::string_view a, std::string_view b) {
    std::size_t length = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first - a.begin());
    while (length > 0) {
        // Never split a sequence (or an ill-formed run of continuation bytes, which decodes the same either way).
        if (isContinuationByteAt(a, length) || isContinuationByteAt(b, length)) {
            --length;
            continue;
        }
        if (hasNormalizationBoundaryAt(a, length) && hasNormalizationBoundaryAt(b, length)) {
            break;
        }
        --length;
    }
    return length;
}

template <typename Pieces> std::string joined(const Pieces &pieces, std::string_view separator) {
    std::string result;
    bool first = true;
    for (const auto &piece : pieces) {
        if (!first) {
            result += separator;
        }
        first = false;
        result += piece;
    }
    return result;
}

} // namespace

bool canonicallyEqual(std::string_view a, std::string_view b) {
    if (a == b) {
        return true;
    }
    if (isASCII(a) && isASCII(b)) {
        return false;
    }
    std::size_t shared = sharedNormalizationPrefix(a, b);
    std::string_view restA = a.substr(shared);
    std::string_view restB = b.substr(shared);
    if (isASCII(restA) && isASCII(restB)) {
        return false;
    }
    std::string storageA;
    std::string storageB;
    return nfcView(restA, storageA) == nfcView(restB, storageB);
}

int canonicalCompare(std::string_view a, std::string_view b) {
    // std::string_view compares bytes as unsigned char, and UTF-8 byte order is code-point order.
    if (isASCII(a) && isASCII(b)) {
        return a.compare(b);
    }
    std::size_t shared = sharedNormalizationPrefix(a, b);
    std::string_view restA = a.substr(shared);
    std::string_view restB = b.substr(shared);
    if (isASCII(restA) && isASCII(restB)) {
        return restA.compare(restB);
    }
    std::string storageA;
    std::string storageB;
    return nfcView(restA, storageA).compare(nfcView(restB, storageB));
}

std::string nfc(std::string_view text) {
    std::string storage;
    return std::string(nfcView(text, storage));
}

std::size_t canonicalHash(std::string_view text) {
    std::string storage;
    return std::hash<std::string_view>{}(nfcView(text, storage));
}

std::size_t graphemeCount(std::string_view text) {
    return graphemeSpan(text, SIZE_MAX).clusterCount;
}

std::string graphemePrefix(std::string_view text, std::size_t count) {
    return std::string(text.substr(0, graphemeSpan(text, count).endOffset));
}

std::string lowercased(std::string_view text) {
    if (isASCII(text)) {
        std::string result(text);
        for (char &c : result) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return result;
    }
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    unicode.toLower(icu::Locale::getRoot());
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

bool isWhitespace(char32_t c) {
    if (c < 0x80) {
        return c == ' ' || c == '\t';
    }
    return !isNewline(c) && u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE);
}

bool isWhitespaceOrNewline(char32_t c) {
    return isNewline(c) || isWhitespace(c);
}

std::string_view trimmingWhitespaceAndNewlines(std::string_view text) {
    return trimming(text, isWhitespaceOrNewline);
}

std::string_view trimmingWhitespace(std::string_view text) {
    return trimming(text, isWhitespace);
}

std::string_view trimmingSpacesAndTabs(std::string_view text) {
    return trimming(text, [](char32_t c) { return c == ' ' || c == '\t'; });
}

char32_t firstCodePoint(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    ByteIndex index = 0;
    return nextCodePoint(text, index);
}

bool isValidUTF8(std::string_view bytes) {
    const std::uint8_t *data = bytesOf(bytes);
    ByteIndex length = static_cast<ByteIndex>(bytes.size());
    // Most of a page is ASCII: a run of plain bytes is passed over at once, by the vectorised check. A run that holds
    // other bytes, and the text's end, are checked character by character.
    constexpr ByteIndex run = 64;
    ByteIndex index = 0;
    while (index < length) {
        if (length - index >= run && isASCII(bytes.substr(static_cast<std::size_t>(index), run))) {
            index += run;
            continue;
        }
        const ByteIndex runEnd = std::min(length, index + run);
        while (index < runEnd) {
            if (data[index] < 0x80) {
                ++index;
                continue;
            }
            UChar32 c = 0;
            U8_NEXT(data, index, length, c);
            if (c < 0) {
                return false;
            }
        }
    }
    return true;
}

std::string decodingUTF8Lossy(std::string_view bytes) {
    if (isValidUTF8(bytes)) {
        return std::string(bytes);
    }
    // U8_NEXT skips one maximal ill-formed subpart at a time, the replacement practice Unicode recommends.
    const std::uint8_t *data = bytesOf(bytes);
    ByteIndex length = static_cast<ByteIndex>(bytes.size());
    ByteIndex index = 0;
    std::string result;
    result.reserve(bytes.size() + 8);
    while (index < length) {
        ByteIndex start = index;
        UChar32 c = 0;
        U8_NEXT(data, index, length, c);
        if (c < 0) {
            result += "\xEF\xBF\xBD";
        } else {
            result.append(bytes.data() + start, static_cast<std::size_t>(index - start));
        }
    }
    return result;
}

std::vector<std::string_view> splitKeepingEmpty(std::string_view text, std::string_view separator) {
    if (separator.empty()) {
        return {text};
    }
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (true) {
        std::size_t found = text.find(separator, start);
        if (found == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

std::string join(const std::vector<std::string_view> &pieces, std::string_view separator) {
    return joined(pieces, separator);
}

std::string join(const std::vector<std::string> &pieces, std::string_view separator) {
    return joined(pieces, separator);
}

std::string replacingAll(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string result;
    std::size_t start = 0;
    while (true) {
        std::size_t found = text.find(from, start);
        if (found == std::string_view::npos) {
            result += text.substr(start);
            return result;
        }
        result += text.substr(start, found - start);
        result += to;
        start = found + from.size();
    }
}

std::u16string toUTF16(std::string_view text) {
    std::u16string result(text.size(), u'\0');
    result.resize(static_cast<std::size_t>(decodeUTF16(text, result.data()) - result.data()));
    return result;
}

char16_t *decodeUTF16(std::string_view text, char16_t *units) {
    ByteIndex index = 0;
    ByteIndex length = static_cast<ByteIndex>(text.size());
    while (index < length) {
#if defined(__SSE2__)
        // Sixteen ASCII bytes at once, widened to units where the processor can: most page text is ASCII, and a
        // page of megabytes is converted on the way to the screen.
        if (length - index >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + index));
            if (_mm_movemask_epi8(bytes) == 0) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(units), _mm_unpacklo_epi8(bytes, _mm_setzero_si128()));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(units + 8), _mm_unpackhi_epi8(bytes, _mm_setzero_si128()));
                units += 16;
                index += 16;
                continue;
            }
        }
#endif
        char32_t c = nextCodePoint(text, index);
        if (c <= 0xFFFF) {
            *units++ = static_cast<char16_t>(c);
        } else {
            *units++ = static_cast<char16_t>(U16_LEAD(c));
            *units++ = static_cast<char16_t>(U16_TRAIL(c));
        }
    }
    return units;
}

namespace {

/// Four UTF-16 units read at once, and whether all of them are ASCII: most page text is, and testing
/// four units with one mask keeps the conversion of a large page to a few milliseconds.
constexpr std::uint64_t nonASCIIMask = 0xFF80FF80FF80FF80ull;

std::uint64_t fourUnits(const char16_t *units) {
    std::uint64_t word = 0;
    std::memcpy(&word, units, sizeof word);
    return word;
}

/// The four ASCII units of the word as four bytes, in text order (the units are little-endian).
std::uint32_t asciiBytes(std::uint64_t word) {
    return static_cast<std::uint32_t>((word & 0xFF) | ((word >> 8) & 0xFF00) | ((word >> 16) & 0xFF0000) |
                                      ((word >> 24) & 0xFF000000));
}

} // namespace

std::size_t utf8Length(std::u16string_view text) {
    const char16_t *units = text.data();
    const std::size_t size = text.size();
    std::size_t length = 0;
    std::size_t index = 0;
    while (index < size) {
        if (index + 4 <= size && (fourUnits(units + index) & nonASCIIMask) == 0) {
            length += 4;
            index += 4;
            continue;
        }
        const char16_t unit = units[index];
        if (unit < 0x80) {
            length += 1;
        } else if (unit < 0x800) {
            length += 2;
        } else if (U16_IS_LEAD(unit) && index + 1 < size && U16_IS_TRAIL(units[index + 1])) {
            length += 4;
            ++index;
        } else {
            length += 3; // an unpaired surrogate becomes U+FFFD, three bytes as well
        }
        ++index;
    }
    return length;
}

std::string toUTF8(std::u16string_view text) {
    static_assert(std::endian::native == std::endian::little, "the ASCII fast path reads little-endian units");
    // Two passes, the first measuring, the second writing through a pointer: a page of several megabytes
    // is converted on every hand-over to the store.
    const char16_t *units = text.data();
    const std::size_t size = text.size();
    std::string result(utf8Length(text), '\0');
    auto *out = reinterpret_cast<std::uint8_t *>(result.data());
    std::size_t index = 0;
    while (index < size) {
        if (index + 4 <= size) {
            const std::uint64_t word = fourUnits(units + index);
            if ((word & nonASCIIMask) == 0) {
                const std::uint32_t bytes = asciiBytes(word);
                std::memcpy(out, &bytes, sizeof bytes);
                out += 4;
                index += 4;
                continue;
            }
        }
        UChar32 c = units[index++];
        if (c < 0x80) {
            *out++ = static_cast<std::uint8_t>(c);
            continue;
        }
        if (U16_IS_LEAD(c) && index < size && U16_IS_TRAIL(units[index])) {
            c = U16_GET_SUPPLEMENTARY(c, units[index++]);
        } else if (U16_IS_SURROGATE(c)) {
            c = 0xFFFD; // an unpaired surrogate has no UTF-8 form
        }
        int32_t written = 0;
        U8_APPEND_UNSAFE(out, written, c);
        out += written;
    }
    return result;
}

} // namespace velto::text
