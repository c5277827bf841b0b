#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velto {

/// SHA-256 of the bytes (OpenSSL).
std::array<std::uint8_t, 32> sha256(std::string_view bytes);

/// The digest as lower-case hexadecimal.
std::string sha256Hex(std::string_view bytes);

} // namespace velto
