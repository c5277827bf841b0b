#pragma once

#include "panel/feedback/PanelFeedback.h"

namespace velto {

/// What the panel's commands ask of the panel around them: its window, the Browse Pages window, the banners.
class PanelCommandHost {
public:
    virtual ~PanelCommandHost() = default;
    virtual void closePanel() = 0;
    /// Closes the panel, then asks the shell for Settings.
    virtual void closePanelAndShowSettings() = 0;
    virtual void showBrowsePages() = 0;
    /// A command chose a page the user wants to write on: the panel comes up.
    virtual void openEditor() = 0;
    virtual void showFeedback(const PanelFeedback &feedback) = 0;
};

} // namespace velto
