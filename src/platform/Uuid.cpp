#include "platform/Uuid.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <string_view>
#include <system_error>

#include <sys/random.h>

namespace velto {

namespace {

void fillWithKernelRandomBytes(std::uint8_t *bytes, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        ssize_t got = getrandom(bytes + filled, count - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::system_error(errno, std::generic_category(), "getrandom");
        }
        filled += static_cast<std::size_t>(got);
    }
}

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool isHyphenPosition(std::size_t index) {
    return index == 8 || index == 13 || index == 18 || index == 23;
}

std::string uuidText(const Uuid &uuid, const char *digits) {
    // Filled in place: a journal writes thousands of these, and appending byte by byte showed.
    std::string text(36, '-');
    std::size_t position = 0;
    for (std::size_t i = 0; i < uuid.bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            ++position; // past the hyphen already there
        }
        text[position++] = digits[uuid.bytes[i] >> 4];
        text[position++] = digits[uuid.bytes[i] & 0x0F];
    }
    return text;
}

} // namespace

Uuid Uuid::random() {
    Uuid uuid;
    fillWithKernelRandomBytes(uuid.bytes.data(), uuid.bytes.size());
    // RFC 4122: version 4 in the high nibble of byte 6, variant 10xx in byte 8.
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40);
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80);
    return uuid;
}

std::optional<Uuid> Uuid::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    Uuid uuid;
    std::size_t byteIndex = 0;
    int highNibble = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHyphenPosition(i)) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            continue;
        }
        int value = hexDigitValue(text[i]);
        if (value < 0) {
            return std::nullopt;
        }
        if (highNibble < 0) {
            highNibble = value;
        } else {
            uuid.bytes[byteIndex++] = static_cast<std::uint8_t>(highNibble << 4 | value);
            highNibble = -1;
        }
    }
    return uuid;
}

std::string Uuid::uppercaseText() const {
    return uuidText(*this, "0123456789ABCDEF");
}

std::string Uuid::lowercaseText() const {
    return uuidText(*this, "0123456789abcdef");
}

std::size_t UuidHash::operator()(const Uuid &uuid) const noexcept {
    std::string_view bytes(reinterpret_cast<const char *>(uuid.bytes.data()), uuid.bytes.size());
    return std::hash<std::string_view>{}(bytes);
}

} // namespace velto
