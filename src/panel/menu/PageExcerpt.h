#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// The opening of a page for tooltips: whole pages reach 5 MB, which no tooltip should hold.
namespace velto::PageExcerpt {

inline constexpr std::size_t maximumCharacters = 1'000;
inline constexpr std::size_t maximumLines = 20;

/// The text up to its 20th line break or its 1,000th character, whichever comes first, then "…" when
/// anything was left out.
std::string excerpt(std::string_view text);

} // namespace velto::PageExcerpt
