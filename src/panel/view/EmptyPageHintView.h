#pragma once

#include "panel/hints/ShortcutKeycaps.h"
#include "ui/SurfaceAnimation.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

namespace velto {

/// "Hold [Ctrl] for shortcuts" in the bottom-right corner of an empty page, 22 px from the side and 18 px
/// from the bottom. It fades out while the shortcut hints are shown. Clicks reach the editor beneath.
class EmptyPageHintView : public QWidget {
    Q_OBJECT

public:
    static constexpr double rowOpacity = 0.64;

    explicit EmptyPageHintView(QWidget *parent = nullptr);

    QLabel *holdLabel() const { return holdLabel_; }
    ShortcutKeycapGroupView *shortcutDiscoveryKeycap() const { return shortcutDiscoveryKeycap_; }
    QLabel *shortcutsLabel() const { return shortcutsLabel_; }
    QWidget *row() const { return row_; }
    PaintedSurfaceEffect *fadeEffect() const { return fadeEffect_; }

    /// Fades the hint out while the shortcut hints are presented (0.14 s, 0.08 s with reduced motion) and
    /// back in when they go (0.08 s); without animation it changes at once.
    void setShortcutOverlayPresented(bool presented, bool animated);

private:
    /// The labels' colours for the current appearance.
    void refreshColors();

    QLabel *holdLabel_;
    ShortcutKeycapGroupView *shortcutDiscoveryKeycap_;
    QLabel *shortcutsLabel_;
    QWidget *row_;
    PaintedSurfaceEffect *fadeEffect_;
};

} // namespace velto
