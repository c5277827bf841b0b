#pragma once

#include "platform/desktop/Scheduler.h"
#include "ui/FloatingPanel.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>

#include <chrono>
#include <functional>
#include <memory>

namespace velto {

/// Until when a new tooltip appears after the short delay: for a second after a shown one is dismissed,
/// so that moving along a row of icons shows each tooltip almost at once.
struct TooltipTimingPolicy {
    std::chrono::steady_clock::time_point warmUntil = std::chrono::steady_clock::time_point::min();
};

/// Keeps at most one floating tooltip on screen for the icon buttons: it appears after a delay
/// (0.35 s, or 0.04 s while warm), fades and scales in over 0.14 s, and fades out over 0.08 s. It sits
/// centred 7 px above its view, inside the screen's available area (below the view when there is no room
/// above). Main thread only; the waits go through the injected scheduler and clock.
class AnchoredTooltipController : public QObject {
    Q_OBJECT

public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::milliseconds showDelay{350};
    static constexpr std::chrono::milliseconds warmShowDelay{40};
    static constexpr std::chrono::milliseconds warmPeriod{1000};
    static constexpr std::chrono::milliseconds fadeInDuration{140};
    static constexpr std::chrono::milliseconds fadeOutDuration{80};

    /// The process's controller, on Qt timers and the steady clock.
    static AnchoredTooltipController &shared();

    /// `translucent` defaults to whether a compositing manager runs.
    AnchoredTooltipController(VeltoScheduler &scheduler, Now now, std::optional<bool> translucent = std::nullopt);
    ~AnchoredTooltipController() override;

    /// Asks for a tooltip with `text` over `anchor` after the current delay. A tooltip of another view
    /// goes at once.
    void schedule(const QString &text, QWidget *anchor);
    /// Fades out the tooltip if it belongs to `anchor` (and warms the delay); cancels a pending one.
    void dismiss(QWidget *anchor);
    /// Removes any tooltip and cancels all pending work at once.
    void dismissImmediately();

    /// The tooltip's window while one is on screen, and the view it belongs to.
    FloatingPanel *panel() const { return panel_.get(); }
    QWidget *anchor() const { return anchor_; }
    bool isShowPending() const { return showTask_ != nullptr; }
    TooltipTimingPolicy timingPolicy() const { return timingPolicy_; }

private:
    void show(const QString &text, QWidget *anchor);
    void animateIn();
    void animateOut();

    VeltoScheduler &scheduler_;
    Now now_;
    std::optional<bool> translucent_;
    std::unique_ptr<VeltoScheduledAction> showTask_;
    std::unique_ptr<VeltoScheduledAction> dismissalTask_;
    std::unique_ptr<FloatingPanel> panel_;
    QPointer<QWidget> anchor_;
    TooltipTimingPolicy timingPolicy_;
};

/// The drawn tooltip: one line of text on a rounded card, 12 px from its sides and 7 px from top and bottom.
class AnchoredTooltipView : public QWidget {
    Q_OBJECT

public:
    explicit AnchoredTooltipView(const QString &text, QWidget *parent = nullptr);
    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString text_;
};

} // namespace velto
