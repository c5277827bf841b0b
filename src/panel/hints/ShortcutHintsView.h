#pragma once

#include "panel/hints/ShortcutHints.h"
#include "panel/hints/ShortcutKeycaps.h"
#include "platform/desktop/Scheduler.h"
#include "ui/SurfaceAnimation.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QWidget>

#include <memory>
#include <vector>

namespace velto {

/// One entry of the hints: its title, right-aligned, 4 px before its keycaps. Dimmed while it cannot run.
class ShortcutHintItemView : public QWidget {
    Q_OBJECT

public:
    explicit ShortcutHintItemView(const ShortcutHintDescriptor &descriptor, QWidget *parent = nullptr);

    ShortcutHintDescriptor::Availability availability() const { return availability_; }
    QStringList displayedKeys() const { return displayedKeys_; }
    QLabel *titleLabel() const { return titleLabel_; }
    ShortcutKeycapGroupView *shortcutStack() const { return shortcutStack_; }

    /// Shows these keys ("Unset" when there are none).
    void setKeys(const QStringList &keys);
    /// 1 while the entry can run, else 0.34.
    double opacity() const { return opacity_; }
    void setOpacity(double opacity);

private:
    ShortcutHintDescriptor::Availability availability_;
    QStringList displayedKeys_;
    QLabel *titleLabel_;
    ShortcutKeycapGroupView *shortcutStack_;
    double opacity_ = 1.0;
};

/// The grid of shortcut hints, two entries a row, on a rounded material. Fades in and out.
class ShortcutHintsView : public QWidget {
    Q_OBJECT

public:
    static constexpr double dimmedOpacity = 0.34;
    static constexpr std::chrono::milliseconds fadeInDuration{140};
    static constexpr std::chrono::milliseconds reducedMotionFadeInDuration{80};
    static constexpr std::chrono::milliseconds fadeOutDuration{80};

    /// The entries are fixed here; later only their keys change. The fade-out's end goes through `scheduler`.
    ShortcutHintsView(const std::vector<ShortcutHintDescriptor> &descriptors, VeltoScheduler &scheduler,
                      QWidget *parent = nullptr);

    const std::vector<ShortcutHintItemView *> &itemViews() const { return itemViews_; }
    bool shouldBeVisible() const { return shouldBeVisible_; }
    PaintedSurfaceEffect *fadeEffect() const { return fadeEffect_; }

    /// Takes the entries' current keys, when the entries are the ones the view was built with (by count).
    void refreshShortcuts(const std::vector<ShortcutHintDescriptor> &descriptors);
    /// Dims the entries that cannot run in this context.
    void updateAvailability(const VeltoCommandContext &context, bool canUndo, bool canRedo);
    /// Fades in (0.14 s, 0.08 s with reduced motion) or out (0.08 s, then hidden unless shown again meanwhile).
    void setPresented(bool presented);
    void refreshAccessibilityAppearance();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    VeltoScheduler &scheduler_;
    std::vector<ShortcutHintItemView *> itemViews_;
    bool shouldBeVisible_ = false;
    PaintedSurfaceEffect *fadeEffect_;
    std::unique_ptr<VeltoScheduledAction> fadeCompletion_;
};

/// The hint font: 11.5 px, medium.
const QFont &hintTitleFont();

} // namespace velto
