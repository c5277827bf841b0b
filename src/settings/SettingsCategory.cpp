#include "settings/SettingsCategory.h"

namespace velto {

std::optional<SettingsCategory> settingsCategory(int rawValue) {
    if (rawValue < 0 || rawValue >= static_cast<int>(allSettingsCategories.size())) {
        return std::nullopt;
    }
    return allSettingsCategories[static_cast<std::size_t>(rawValue)];
}

QString sidebarTitle(SettingsCategory category) {
    switch (category) {
    case SettingsCategory::general:
        return QStringLiteral("General");
    case SettingsCategory::editor:
        return QStringLiteral("Editor");
    case SettingsCategory::storage:
        return QStringLiteral("Pages & Storage");
    case SettingsCategory::shortcuts:
        return QStringLiteral("Shortcuts");
    case SettingsCategory::about:
        return QStringLiteral("About");
    }
    return {};
}

QString sidebarSymbol(SettingsCategory category) {
    switch (category) {
    case SettingsCategory::general:
        return QStringLiteral("gearshape");
    case SettingsCategory::editor:
        return QStringLiteral("textformat");
    case SettingsCategory::storage:
        return QStringLiteral("folder");
    case SettingsCategory::shortcuts:
        return QStringLiteral("keyboard");
    case SettingsCategory::about:
        return QStringLiteral("info.circle");
    }
    return {};
}

} // namespace velto
