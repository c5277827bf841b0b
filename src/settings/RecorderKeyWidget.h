#pragma once

#include "settings/ShortcutCapture.h"

#include <QtWidgets/QWidget>

namespace velto {

/// The key handling every shortcut recorder shares. While focused the recorder takes every shortcut override
/// and every key press, before QWidget's own handling would move the focus on Tab with any modifier: Tab and
/// Shift+Tab with no other modifier (Caps Lock counts) move the focus, every other press goes to the recorder
/// with its role (clear, cancel or capture). Main thread only.
class RecorderKeyWidget : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    /// Handles one key press as the focused recorder does (also used by tests without a display).
    void handleKeyPress(const RecorderKeyPress &press);

protected:
    /// A press that does not move the focus, with what its keys ask for.
    virtual void handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) = 0;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace velto
