#pragma once

#include <QtCore/QStringList>
#include <QtWidgets/QWidget>

class QHBoxLayout;

namespace velto {

/// Sizes of the keycaps that the shortcut hints and the empty-page hint draw.
namespace ShortcutKeycapStyle {
inline constexpr int sideLength = 19;
inline constexpr int unsetHorizontalPadding = 7;
inline constexpr int spaceHorizontalPadding = 8;
/// Padding of the other word keycaps ("Ctrl", "Shift", "Tab", "F12").
inline constexpr int wordHorizontalPadding = 5;

/// "Unset" and "Space" are their text plus 7 or 8 px on each side; another key of one character is a
/// 19 px square; any other word is as wide as its text needs, at least square.
int width(const QString &key, int measuredTextWidth);
} // namespace ShortcutKeycapStyle

/// Spacing between a hint's text and its keycaps.
namespace ShortcutHintVisualStyle {
inline constexpr int cornerRadius = 16;
inline constexpr int inlineTextKeycapSpacing = 4;
} // namespace ShortcutHintVisualStyle

/// One keycap: the key's name on a small rounded key.
class ShortcutKeycapView : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutKeycapView(const QString &key, QWidget *parent = nullptr);
    QString key() const { return key_; }
    QSize sizeHint() const override;
    /// Draws the keycap at this opacity (a dimmed hint draws its keys faintly).
    void setOpacity(double opacity);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString key_;
    double opacity_ = 1.0;
};

/// A row of keycaps, 2 px apart. An empty key list shows the single keycap "Unset".
class ShortcutKeycapGroupView : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutKeycapGroupView(const QStringList &keys = {}, QWidget *parent = nullptr);

    void updateKeys(const QStringList &keys);
    /// The keys shown, in order.
    QStringList keys() const;
    /// Every keycap drawn at this opacity.
    void setOpacity(double opacity);

private:
    QHBoxLayout *layout_;
    double opacity_ = 1.0;
};

/// The keycap font: 11 px, medium.
const QFont &keycapFont();

} // namespace velto
