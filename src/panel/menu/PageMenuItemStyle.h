#pragma once

#include <QtWidgets/QProxyStyle>

class QAction;

namespace velto {

/// The style of the menus that list pages: an item whose action carries a small-text length draws that many
/// characters at the end of its text in the small menu font ("Notes  ·  2h" with "2h" smaller). Everything
/// else is drawn by the application's style, and the action keeps its whole text for keys and assistive tools.
/// A menu taller than the screen scrolls instead of breaking into columns: fifty archived pages in two columns
/// were too wide to open beside the menus they came from and covered them, "Quit Velto" included.
class PageMenuItemStyle : public QProxyStyle {
public:
    /// The one instance the menus share; it lives as long as the application.
    static PageMenuItemStyle *shared();

    /// Marks how many characters at the end of the action's text are drawn small; 0 draws them all alike.
    static void setSmallTextLength(QAction *action, int length);
    static int smallTextLength(const QAction *action);

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;

private:
    PageMenuItemStyle() = default;
};

} // namespace velto
