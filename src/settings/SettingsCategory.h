#pragma once

#include <QtCore/QString>

#include <array>
#include <optional>

namespace velto {

/// The five categories of the Settings sidebar, in their order.
enum class SettingsCategory { general = 0, editor = 1, storage = 2, shortcuts = 3, about = 4 };

inline constexpr std::array<SettingsCategory, 5> allSettingsCategories{
    SettingsCategory::general, SettingsCategory::editor, SettingsCategory::storage, SettingsCategory::shortcuts,
    SettingsCategory::about};

/// The category of a sidebar row; nothing outside 0 to 4.
std::optional<SettingsCategory> settingsCategory(int rawValue);
/// "General", "Editor", "Pages & Storage", "Shortcuts", "About".
QString sidebarTitle(SettingsCategory category);
/// The symbol drawn before the title ("gearshape" for General).
QString sidebarSymbol(SettingsCategory category);

} // namespace velto
