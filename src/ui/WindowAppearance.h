#pragma once

#include "ui/Appearance.h"

#include <QtGui/QPalette>

class QWidget;

namespace velto {

/// The palette of a window or menu made of standard widgets in `appearance`: the application's own when it
/// already is of that appearance, so that a desktop theme that agrees keeps its look; else one made of the
/// kit's colours.
QPalette standardPalette(DrawingAppearance appearance, const QPalette &applicationPalette);

/// Draws `widget` (a window, a dialog or a menu) in Velto's appearance, now and whenever it changes, as the
/// panel does: the user's preference, else the desktop's colour scheme. Menus and dialogs are windows of
/// their own and take no palette from their parent, so each one made follows by itself.
void followAppearance(QWidget *widget);

/// Draws every window and popup Velto opens in its appearance, now and whenever it changes: the application
/// palette (and the tooltips') becomes the standard palette of the appearance, so menus, drop-down lists,
/// alerts and file dialogs made anywhere follow it. The desktop's own palette stays where it agrees. Installed
/// once; main thread only.
void followAppearanceInEveryWindow();

} // namespace velto
