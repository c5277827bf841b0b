#pragma once

#include <QtCore/QSizeF>
#include <QtCore/QString>

#include <optional>

namespace velto {

class PanelPopover;
class VeltoPanelView;

/// The panel's size as the user changes it: dragged or fit to the content (a custom size), stepped through the
/// presets by key or menu, or taken from the preferences Settings changed. Every change keeps the editor's
/// width in step with the window. Main thread only.
class PanelSizeControl {
public:
    PanelSizeControl(PanelPopover &popover, VeltoPanelView &panelView);

    /// Takes the size within the screen's limits; `persist` remembers it as the user's custom size.
    void resize(QSizeF size, bool persist);
    /// Steps to the next larger (1) or smaller (-1) preset and remembers it; the preset's name, or nothing at
    /// either end of the list.
    std::optional<QString> adjust(int step);
    /// Takes the size that shows the whole page (within limits) as a custom size.
    void fitToContent();
    /// Takes the size the preferences hold now.
    void applyPreference();

private:
    /// A panel resized by key or menu goes back under its tray icon; a dragged one keeps its place.
    void placeAtAnchor();

    PanelPopover &popover_;
    VeltoPanelView &panelView_;
};

} // namespace velto
