#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtWidgets/QWidget>

class QLabel;

// The private views of the Welcome window: its background, the instruction sentence with the keycaps of the
// show-or-hide shortcut (or, where another program holds that shortcut, the sentence that says so), and one keycap.
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

/// The instruction: "Press", the keycaps "Alt" and "Space", "to capture a thought.". Assistive technologies
/// read it as one sentence, not as its pieces.
class WelcomeInstructionView : public QWidget {
    Q_OBJECT

public:
    static const QString accessibleSentence;

    explicit WelcomeInstructionView(QWidget *parent = nullptr);
    /// The keycaps' texts, in order.
    QStringList keycaps() const;

private:
    void refreshColors();

    QList<QLabel *> labels_;
    QList<WelcomeShortcutKeycapView *> keycaps_;
};

/// In place of the instruction when another program holds the show-or-hide shortcut: "Choose a shortcut to
/// capture a thought.", and below it which keys are taken. Read as one sentence, as the instruction is.
class WelcomeShortcutTakenView : public QWidget {
    Q_OBJECT

public:
    WelcomeShortcutTakenView(const GlobalShortcut &takenShortcut, QWidget *parent = nullptr);
    /// The two lines, in order.
    QStringList lines() const;

private:
    void refreshColors();

    QLabel *invitation_ = nullptr;
    QLabel *reason_ = nullptr;
};

} // namespace velto
