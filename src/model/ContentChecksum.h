#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velto {

/// The 64-bit FNV-1a hash of the text's UTF-8 bytes in lower-case hexadecimal without leading zeros
/// ("af63dc4c8601ec8c" for "a"); nothing for the empty text, which has no file to check.
std::optional<std::string> contentChecksum(std::string_view text);

/// contentChecksum of a text and of another text, and whether both are plain ASCII.
struct ContentChecksumPair {
    std::optional<std::string> first;
    std::optional<std::string> second;
    /// Known only when both were hashed in one pass; false otherwise.
    bool isASCII = false;
};

/// contentChecksum of `text` and of `ending`, equal to computing each on its own. When the text ends with
/// `ending` (a page file ending with its body), both hashes come from one pass over the text: the two chains
/// of multiplications run side by side, so a page of megabytes costs one pass instead of two, and the same
/// pass notes any byte outside ASCII.
ContentChecksumPair contentChecksums(std::string_view text, std::string_view ending);

/// The states of both hash chains of a text hashed by the function below, every `spacing` bytes, kept with
/// the text that was written so that the next save, whose text usually differs from it only from an edit
/// on, hashes only from the last state before the edit instead of from the start of a page of megabytes.
struct ContentChecksumCheckpoints {
    static constexpr std::size_t spacing = 64 * 1024;

    std::size_t textSize = 0;
    std::size_t endingStart = 0;
    /// The hash of the bytes [0, (i+1)·spacing) of the text and of the bytes [endingStart, (i+1)·spacing),
    /// the offset basis while that range is empty.
    std::vector<std::uint64_t> textStates;
    std::vector<std::uint64_t> endingStates;
    std::optional<std::string> textChecksum; // of the whole text: tells the checkpoints apart from another text's
};

/// Whether the text is known to end with the ending, as when the caller made it by appending the ending:
/// then the two are not compared again, which for a page of megabytes reads megabytes.
enum class TextEnding { toCompare, madeSo };

/// contentChecksums of `text` and `ending`, the same values, resumed from `previous` (the checkpoints of
/// `previousText`) at the last checkpoint before the first byte where the two texts differ. `made` receives
/// the checkpoints of `text`; it stays empty when the text does not end with `ending`. The caller vouches that
/// `previous` were made from `previousText`, and with TextEnding::madeSo that the text ends with `ending`;
/// made for a text of another size or body start, the checkpoints are not used.
ContentChecksumPair contentChecksumsResuming(std::string_view text, std::string_view ending,
                                             std::string_view previousText, const ContentChecksumCheckpoints *previous,
                                             ContentChecksumCheckpoints &made,
                                             TextEnding textEnding = TextEnding::toCompare);

/// What a save knows of the text it last wrote for a page, from which the next text's checksums resume:
/// that text and its checkpoints in, the checkpoints of the text hashed now out.
struct ContentChecksumResumption {
    std::string_view previousText;
    const ContentChecksumCheckpoints *previous = nullptr;
    ContentChecksumCheckpoints made;
};

/// How many bytes the two functions above have hashed on the calling thread so far: a save hashes the
/// text it writes once, never again for each of its steps. Tests of saving costs compare it before and after.
std::size_t checksummedBytes();

} // namespace velto
