#include "app/menus/PanelKeyEquivalents.h"

#include "app/menus/MainMenu.h"

#include <QtGui/QShortcut>
#include <QtWidgets/QWidget>

namespace velto {

namespace {

void addWindowShortcut(QWidget &window, const QKeySequence &keys, std::function<void()> handler) {
    auto *shortcut = new QShortcut(keys, &window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, std::move(handler));
}

} // namespace

void installPanelKeyEquivalents(QWidget &panelWindow, std::function<void()> quit,
                                std::function<void()> reloadFromDisk) {
    addWindowShortcut(panelWindow, QKeySequence(Qt::CTRL | Qt::Key_Q), std::move(quit));
    addWindowShortcut(panelWindow, *menuKeySequence(reloadFromDiskShortcut()), std::move(reloadFromDisk));
}

} // namespace velto
