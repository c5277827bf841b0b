#pragma once

#include "panel/hints/ShortcutHintTransitions.h"
#include "platform/desktop/Scheduler.h"
#include "preferences/CommandRegistry.h"

#include <QtCore/QObject>

#include <chrono>
#include <memory>

class QKeyEvent;

namespace velto {

class PanelPopover;
class ShortcutHintsPanelController;
class VeltoPanelView;

/// What the shortcut hints ask of the panel they show over.
class ShortcutHintsHost {
public:
    virtual ~ShortcutHintsHost() = default;
    /// What the commands can do now: the hints dim those that cannot run.
    virtual VeltoCommandContext commandContext() const = 0;
    /// The hints take the place of a banner.
    virtual void hideFeedback() = 0;
    /// Escape closes the panel.
    virtual void closePanel() = 0;
};

/// Watches the keys while the panel is shown: Ctrl held alone for a moment shows the panel's shortcuts under
/// the editor, any other key or a loss of the keyboard hides them, and Escape closes the panel unless an input
/// method or the find bar holds it. The hints' window is made on first use. Main thread only.
class ShortcutHintMonitor : public QObject {
public:
    static constexpr std::chrono::milliseconds dwell{700};

    /// `scheduler` times the dwell.
    ShortcutHintMonitor(PanelPopover &popover, VeltoPanelView &panelView, ShortcutHintsHost &host,
                        VeltoScheduler &scheduler);
    ~ShortcutHintMonitor() override;

    /// Starts watching the keys afresh (the panel was shown).
    void start();
    /// Stops watching and hides the hints at once.
    void stop();

    const ShortcutHintState &state() const { return state_; }
    void handle(const ShortcutHintEvent &event);

    /// The undo history changed: shown hints update which commands they dim.
    void updateAvailability(bool canUndo, bool canRedo);
    /// Hides shown hints at once (a banner takes their place).
    void hideHints();
    /// Repaints shown hints in the current appearance.
    void refreshAppearance();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handlePanelKeyEvent(QKeyEvent *event);
    void applyEffects(const ShortcutHintEffects &effects);
    void cancelDwell();
    void showHints(bool refreshAvailability);
    ShortcutHintsPanelController &hintsPanel();

    PanelPopover &popover_;
    VeltoPanelView &panelView_;
    ShortcutHintsHost &host_;
    VeltoScheduler &scheduler_;
    bool monitoring_ = false;
    ShortcutHintState state_;
    std::unique_ptr<ShortcutHintsPanelController> hintsPanel_;
    std::unique_ptr<VeltoScheduledAction> dwellWorkItem_;
};

} // namespace velto
