#pragma once

#include <QtCore/QSizeF>
#include <QtWidgets/QWidget>

#include <chrono>
#include <cstdint>
#include <optional>

namespace velto {

/// How the panel's window goes away on its own: `transient` closes it when another window takes the
/// keyboard (a click elsewhere); `applicationDefined` only when asked (a smoke-test launch, where nothing
/// may close the panel behind the test's back).
enum class PopoverBehavior { transient, applicationDefined };

/// The panel's window: frameless, above other windows and out of the task bar, created once and shown and
/// hidden for the life of the process. It is a tool window, not a popup: a popup's keyboard grab would
/// swallow the global shortcut that closes it. Placed under the tray icon by PopoverPlacement; its content
/// widget fills it. Main thread only.
class PanelPopover : public QWidget {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;

    explicit PanelPopover(QWidget *content, PopoverBehavior behavior = PopoverBehavior::transient);

    PopoverBehavior behavior() const { return behavior_; }
    void setBehavior(PopoverBehavior behavior) { behavior_ = behavior; }

    QSizeF contentSize() const { return QSizeF(size()); }
    void setContentSize(QSizeF size);

    /// Places the window for the tray icon's geometry (the pointer when none) on that screen's available area,
    /// shows it and asks for the keyboard; with `keyEventTime`, the window manager is asked with that time
    /// (a global shortcut's key event), so that its focus-stealing prevention does not refuse. Nothing while
    /// shown.
    void showRelativeTo(std::optional<QRect> anchor, std::optional<std::uint32_t> keyEventTime = std::nullopt);
    /// Places the window again as its last show did, for its new size: a size chosen by key or menu keeps the
    /// panel under its tray icon.
    void placeAtAnchor();
    /// Closes the window: `willClose`, hide, `didClose`. Nothing while hidden.
    void performClose();
    bool isShown() const { return isVisible(); }
    /// When the window last closed itself on deactivation; the shell ignores a tray click that soon after.
    std::optional<Clock::time_point> lastSelfCloseTime() const { return lastSelfClose_; }

signals:
    void willClose();
    void didClose();
    /// The first paint after each show is done.
    void shownAndPainted();

protected:
    bool event(QEvent *event) override;

private:
    void requestActivation(std::optional<std::uint32_t> keyEventTime);

    QWidget *content_;
    PopoverBehavior behavior_;
    bool wasActivated_ = false;
    bool awaitsFirstPaint_ = false;
    std::optional<Clock::time_point> lastSelfClose_;
    std::optional<QRect> anchor_;
    QPoint pointer_;
};

} // namespace velto
