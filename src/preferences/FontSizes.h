#pragma once

#include <array>

// Kept apart from the rest of the preferences, without Qt, so that the editor's styling reads the same list.
namespace velto::VeltoPreferences {

/// The editor font sizes in points that can be chosen, smallest first.
inline constexpr std::array<double, 6> availableFontSizes{13, 15, 17, 19, 24, 30};
/// The size used when none of the available sizes is stored.
inline constexpr double defaultFontSize = 15;

} // namespace velto::VeltoPreferences
