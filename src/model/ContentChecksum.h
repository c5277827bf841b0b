#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

/// How many bytes the two functions above have hashed on the calling thread so far: a save hashes the
/// text it writes once, never again for each of its steps. Tests of saving costs compare it before and after.
std::size_t checksummedBytes();

} // namespace velto
