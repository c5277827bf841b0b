#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velto {

/// A 128-bit universally unique identifier.
/// Text is "E621E1F8-C36C-495A-93FC-0C247A3E6E5F": upper case when written, either case when read.
/// File names use the lower-case text.
struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    /// A random version-4 identifier from the kernel's random source.
    static Uuid random();

    /// Parses the 8-4-4-4-12 hexadecimal form, either case; nothing for any other text (no braces, no spaces).
    static std::optional<Uuid> parse(std::string_view text);

    std::string uppercaseText() const;
    std::string lowercaseText() const;

    /// Byte order, which is also the order of the upper-case texts.
    friend auto operator<=>(const Uuid &, const Uuid &) = default;
    friend bool operator==(const Uuid &, const Uuid &) = default;
};

struct UuidHash {
    std::size_t operator()(const Uuid &uuid) const noexcept;
};

} // namespace velto
