#pragma once

#include "preferences/GlobalShortcut.h"
#include "settings/RecorderKeyWidget.h"

#include <functional>
#include <optional>

class QLabel;

namespace velto {

/// A small stand-alone recorder of one global shortcut: it takes the keyboard focus, turns the next acceptable
/// key press into a shortcut, shows it and announces it (`shortcutRecorded`). It checks only the form of a press
/// (Alt or Super, or Shift with Ctrl, and a key with a label); it looks for no conflict and registers nothing.
/// The Settings pages use the inline recorder; this view handles its keys as that one does (Tab and Shift+Tab
/// move the focus) and follows the same key rules. Main thread only.
class ShortcutRecorderView : public RecorderKeyWidget {
    Q_OBJECT

public:
    /// `beep` sounds when a key press is refused; empty means the desktop's sound.
    explicit ShortcutRecorderView(std::function<void()> beep = {}, QWidget *parent = nullptr);

    const std::optional<GlobalShortcut> &shortcut() const { return shortcut_; }
    void setShortcut(const std::optional<GlobalShortcut> &shortcut);

    QString shortcutText() const;
    QString hintText() const;
    /// Brings the texts and the accessibility value (the spoken shortcut, or "Not set") in line with the shortcut.
    void updateLabels();

    /// Takes the focus of its window, where it listens for the next key press.
    bool accessibilityPerformPress() override;

signals:
    /// A shortcut was recorded.
    void shortcutRecorded(const velto::GlobalShortcut &shortcut);

protected:
    /// Escape alone ends a dialog holding the view; every other press is captured.
    void handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    /// "Alt+Space", or "Not set".
    QString accessibleStatus() const override;

private:
    void capture(const RecorderKeyPress &press);
    void refuse(const QString &reason);

    std::function<void()> beep_;
    std::optional<GlobalShortcut> shortcut_;
    QLabel *shortcutLabel_;
    QLabel *hintLabel_;
};

} // namespace velto
