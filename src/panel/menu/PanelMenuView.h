#pragma once

#include "panel/menu/PanelMenu.h"

#include <QtCore/QString>

class QAction;
class QMenu;
class QWidget;

namespace velto {

/// Turns a described menu into a QMenu: submenus with `fillOnOpen` are filled when they are about to show,
/// once; items to refresh are updated when their load ends, unless the menu went away first. The QMenu
/// shows tooltips (also of disabled items).
namespace PanelMenuView {

QMenu *make(const PanelMenu &menu, QWidget *parent = nullptr);

/// Replaces the menu's actions by those of `menu` (used for lazy filling).
void fill(QMenu *target, const PanelMenu &menu);

/// Applies an item's text, state, data and tooltip to an existing action.
void configure(QAction *action, const PanelMenuItem &item);

/// A tooltip that shows `text` as it is, also when it looks like markup.
QString plainTextToolTip(const QString &text);

} // namespace PanelMenuView
} // namespace velto
