#pragma once

#include <QtCore/QString>
#include <QtGui/QIcon>

#include <optional>

/// The symbols Velto's windows show, by the names its views use ("gearshape", "magnifyingglass"). Each
/// maps to an icon of the desktop's freedesktop theme, with a drawing of our own bundled for systems
/// whose theme lacks it.
namespace velto::Symbols {

/// The freedesktop icon name for a symbol ("folder" for "folder", "edit-find" for "magnifyingglass");
/// nothing for a name the table does not know.
std::optional<QString> themeIconName(const QString &symbolName);

/// The symbol's icon: the theme's, else the bundled drawing. A null icon for an unknown name.
QIcon icon(const QString &symbolName);

} // namespace velto::Symbols
