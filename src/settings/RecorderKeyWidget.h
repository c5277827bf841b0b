#pragma once

#include "settings/ShortcutCapture.h"

#include <QtWidgets/QWidget>

namespace velto {

/// The key handling and the accessibility every shortcut recorder shares. While focused the recorder takes every
/// shortcut override and every key press, before QWidget's own handling would move the focus on Tab with any
/// modifier: Tab and Shift+Tab with no other modifier (Caps Lock counts) move the focus, every other press goes to
/// the recorder with its role (clear, cancel or capture). Assistive technologies see a recorder as a button whose
/// value is the shortcut spoken (RecorderAccessibility) and which their press action starts. Main thread only.
class RecorderKeyWidget : public QWidget {
    Q_OBJECT

public:
    explicit RecorderKeyWidget(QWidget *parent = nullptr);

    /// Handles one key press as the focused recorder does (also used by tests without a display).
    void handleKeyPress(const RecorderKeyPress &press);

    /// What assistive technologies read as the recorder's value.
    const QString &accessibilityValue() const { return accessibilityValue_; }
    /// The press of assistive technologies: the recorder takes the focus of its window and, where it records
    /// only on request, starts recording. Whether it has that focus now; false while it is not shown.
    virtual bool accessibilityPerformPress() = 0;

protected:
    /// Changes the value and tells assistive technologies when it differs.
    void setAccessibilityValue(const QString &value);
    /// Makes the recorder its window's focus widget; whether that worked (never while it is not shown).
    bool takeFocusOfWindow();

    /// A press that does not move the focus, with what its keys ask for.
    virtual void handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) = 0;

    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString accessibilityValue_;
};

} // namespace velto
