#pragma once

#include "panel/feedback/PanelFeedback.h"
#include "platform/desktop/Scheduler.h"
#include "ui/FloatingPanel.h"

#include <QtCore/QPointer>
#include <QtWidgets/QLabel>

#include <functional>
#include <memory>

namespace velto {

/// The banner's surface: one centred line of text on a rounded material. Screen readers see it as an
/// alert whose name is the message.
class PanelFeedbackView : public QWidget {
    Q_OBJECT

public:
    static constexpr double cornerRadius = 8;

    explicit PanelFeedbackView(QWidget *parent = nullptr);

    QLabel *label() const { return label_; }
    /// Shows the message (text and accessible name); a confirmation pulses the surface unless motion is reduced.
    void configure(const PanelFeedback &feedback, PaintedSurfaceEffect &surface);
    /// Repaints for changed display options (border width, opaque material).
    void refreshAccessibilityAppearance();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *label_;
};

/// Shows the panel's feedback banners: one floating window, reused for every banner, just below the
/// editor, for the feedback's duration; a fade of 0.18 s each way. A new banner replaces the text of a
/// shown one and restarts its time; a fade-out that a later show or hide overtook never completes
/// (`presentationGeneration`). Main thread only; the timed hide and the fade's end go through the scheduler.
class PanelFeedbackController : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds fadeDuration{180};

    /// Tells assistive technologies that `element` appeared with `message`.
    using Announcer = std::function<void(QWidget *element, const QString &message)>;
    /// Raises an accessibility alert on the element (whose accessible name is the message). Qt delivers
    /// it only while a screen reader listens.
    static void postAccessibilityAlert(QWidget *element, const QString &message);

    /// `translucent` defaults to whether a compositing manager runs.
    explicit PanelFeedbackController(VeltoScheduler &scheduler = qtScheduler(),
                                     std::optional<bool> translucent = std::nullopt,
                                     Announcer announce = postAccessibilityAlert);
    ~PanelFeedbackController() override;

    /// Shows the banner under `editorFrame` (screen coordinates) above `window`, hides it after the
    /// feedback's duration and raises an accessibility alert with the message.
    void show(const PanelFeedback &feedback, QWidget *window, const QRect &editorFrame);
    /// Removes the banner at once, or fades it out; a banner not on screen only loses its pending hide.
    void hide(bool immediately);

    FloatingPanel *panel() const { return panel_.get(); }
    PanelFeedbackView *feedbackView() const { return feedbackView_; }
    QWidget *parentWindow() const { return parentWindow_; }
    int presentationGeneration() const { return presentationGeneration_; }

private:
    void position(QWidget *window, const QRect &editorFrame);
    void orderOut();

    VeltoScheduler &scheduler_;
    Announcer announce_;
    PanelFeedbackView *feedbackView_;
    std::unique_ptr<FloatingPanel> panel_;
    QPointer<QWidget> parentWindow_;
    std::unique_ptr<VeltoScheduledAction> hideWorkItem_;
    std::unique_ptr<VeltoScheduledAction> fadeCompletion_;
    int presentationGeneration_ = 0;
};

} // namespace velto
