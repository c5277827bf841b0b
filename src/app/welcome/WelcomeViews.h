#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtWidgets/QWidget>

class QLabel;

// The private views of the Welcome window: its background, the instruction sentence with the keycaps of the
// show-or-hide shortcut (or, where that shortcut does nothing, the invitation to choose one), and one keycap.
// Colours resolve against Velto's appearance when painted.
namespace velto {

/// The window's content: the surface colour of the current appearance.
class WelcomeBackgroundView : public QWidget {
    Q_OBJECT

public:
    explicit WelcomeBackgroundView(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

/// One key drawn as a raised cap, 32 px high; "Space" in a smaller type than a modifier's name.
class WelcomeShortcutKeycapView : public QWidget {
    Q_OBJECT

public:
    static constexpr int height = 32;
    static constexpr int cornerRadius = 8;
    /// Room around the cap for its shadow.
    static constexpr int shadowMargin = 3;

    WelcomeShortcutKeycapView(const QString &text, int width, QWidget *parent = nullptr);
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
};

/// The instruction: "Press", one keycap per key of the show-or-hide shortcut ("Alt", "Space"), "to capture a
/// thought.". Assistive technologies read it as one sentence, "Press Alt Space to capture a thought.", not as its
/// pieces.
class WelcomeInstructionView : public QWidget {
    Q_OBJECT

public:
    /// On one line where it fits in `maximumWidth`, else with "to capture a thought." on a second line.
    WelcomeInstructionView(const GlobalShortcut &showOrHideShortcut, int maximumWidth, QWidget *parent = nullptr);
    /// The keycaps' texts, in order.
    QStringList keycaps() const;

private:
    void refreshColors();

    QList<QLabel *> labels_;
    QList<WelcomeShortcutKeycapView *> keycaps_;
};

/// Why no key shows Velto: "Alt+Space is already in use by another program." for a shortcut another program
/// holds; "No shortcut is set to show or hide Velto." without a taken one.
QString noWorkingShortcutReason(const std::optional<GlobalShortcut> &takenShortcut);

/// In place of the instruction when the show-or-hide shortcut does nothing (another program holds it, or none is
/// set): "Choose a shortcut to capture a thought.", and below it why. Read as one sentence, as the instruction is.
class WelcomeChooseShortcutView : public QWidget {
    Q_OBJECT

public:
    explicit WelcomeChooseShortcutView(const QString &reason, QWidget *parent = nullptr);
    /// The two lines, in order.
    QStringList lines() const;

private:
    void refreshColors();

    QLabel *invitation_ = nullptr;
    QLabel *reason_ = nullptr;
};

} // namespace velto
