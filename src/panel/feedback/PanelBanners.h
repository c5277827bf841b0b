#pragma once

#include "panel/feedback/PanelFeedback.h"

#include <QtCore/QObject>

#include <memory>
#include <optional>

namespace velto {

class PanelFeedbackController;
class PanelPopover;
class ShortcutHintMonitor;
class VeltoPanelView;

/// The banners under the editor. A banner takes the place of shown shortcut hints; one asked for while the panel is
/// closed waits for the next show, the newest replacing an older one. The banner's window is made on first use.
/// Main thread only.
class PanelBanners : public QObject {
public:
    PanelBanners(PanelPopover &popover, VeltoPanelView &panelView, ShortcutHintMonitor &shortcutHints);
    ~PanelBanners() override;

    void show(const PanelFeedback &feedback);
    /// Removes a shown banner at once.
    void hide();
    /// The panel has been shown: a banner that waited for it shows once the window is up.
    void panelDidShow();
    /// Forgets the banner that waits for the next show.
    void dropPending() { pending_.reset(); }
    const std::optional<PanelFeedback> &pending() const { return pending_; }

    /// Made on first use and kept.
    PanelFeedbackController &feedbackPanelController();

private:
    PanelPopover &popover_;
    VeltoPanelView &panelView_;
    ShortcutHintMonitor &shortcutHints_;
    std::unique_ptr<PanelFeedbackController> feedbackPanelController_;
    std::optional<PanelFeedback> pending_;
};

} // namespace velto
