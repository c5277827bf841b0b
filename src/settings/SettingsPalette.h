#pragma once

#include <QtGui/QPalette>

namespace velto {

/// The Settings window's colours in the appearance Velto draws in: the kit's colours resolved into the palette
/// roles that the window's labels and the toolkit's own controls read. Given to the window at every change of
/// the appearance, so that a dark appearance is dark in the sidebar, the pages and every control alike.
namespace SettingsPalette {

QPalette resolved();

/// The role of secondary texts (row details, section subtitles): they follow the window's palette.
inline constexpr QPalette::ColorRole secondaryText = QPalette::PlaceholderText;

} // namespace SettingsPalette

} // namespace velto
