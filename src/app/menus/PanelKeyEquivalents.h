#pragma once

#include <functional>

class QWidget;

namespace velto {

/// The main menu's fixed keys where the panel has the keyboard: Ctrl+Q quits and Ctrl+R reloads from disk. The
/// panel's other keys (the commands, editing, finding) are its text view's and are not taken here again: Qt
/// fires neither of two shortcuts for one key.
void installPanelKeyEquivalents(QWidget &panelWindow, std::function<void()> quit, std::function<void()> reloadFromDisk);

} // namespace velto
