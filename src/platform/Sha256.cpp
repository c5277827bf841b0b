#include "platform/Sha256.h"

#include <stdexcept>

#include <openssl/evp.h>

namespace velto {

std::array<std::uint8_t, 32> sha256(std::string_view bytes) {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size()) {
        throw std::runtime_error("SHA-256 digest failed");
    }
    return digest;
}

std::string sha256Hex(std::string_view bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(64);
    for (std::uint8_t byte : sha256(bytes)) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

} // namespace velto
