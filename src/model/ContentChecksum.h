#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// The 64-bit FNV-1a hash of the text's UTF-8 bytes in lower-case hexadecimal without leading zeros
/// ("af63dc4c8601ec8c" for "a"); nothing for the empty text, which has no file to check.
std::optional<std::string> contentChecksum(std::string_view text);

} // namespace velto
