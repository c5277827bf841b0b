#pragma once

#include "editor/text/VeltoTheme.h"
#include "panel/view/EditorBorderView.h"
#include "panel/view/EmptyPageHintView.h"
#include "panel/view/FindBar.h"
#include "panel/view/ScrollAvailability.h"
#include "panel/view/ScrollGradientView.h"
#include "panel/window/PanelResizeHandle.h"
#include "preferences/CommandCatalog.h"

#include <QtWidgets/QWidget>

#include <functional>

namespace velto {

namespace editor {
class TextViewCommandHost;
class VeltoTextView;
} // namespace editor

/// The panel's content: the editor's text view, 6 px inside the panel, with its decorations laid over it:
/// two scroll gradients that show whether text lies above or below, a rounded border, the empty-page
/// hint, the find bar, and the resize handle in the bottom-right corner. It keeps the gradients in step
/// with scrolling, pins the editor to the bottom on request, applies the theme's colours and computes the
/// panel size that fits the text. Main thread only.
class VeltoPanelView : public QWidget {
    Q_OBJECT

public:
    static constexpr int editorInset = 6;
    static constexpr int gradientHeight = 24;

    /// The text view hands Velto's commands and page cycles to the host, which must outlive the panel view.
    /// `currentPanelSize` gives the panel's present size, from which a drag of the resize handle starts.
    VeltoPanelView(QSize size, editor::TextViewCommandHost &textViewCommands,
                   std::function<QSizeF()> currentPanelSize = {}, VeltoScheduler &scheduler = qtScheduler(),
                   QWidget *parent = nullptr);
    ~VeltoPanelView() override;

    editor::VeltoTextView *textView() const { return textView_; }

    ScrollGradientView *topScrollIndicator() const { return topScrollIndicator_; }
    ScrollGradientView *bottomScrollIndicator() const { return bottomScrollIndicator_; }
    EditorBorderView *editorBorderView() const { return editorBorderView_; }
    EmptyPageHintView *emptyPageHint() const { return emptyPageHint_; }
    PanelResizeHandle *resizeHandle() const { return resizeHandle_; }
    FindBar *findBar() const { return findBar_; }
    const ScrollAvailabilityCache &scrollAvailabilityCache() const { return scrollAvailabilityCache_; }

    /// Shows the gradients at the edges beyond which text lies; unchanged states change nothing.
    void updateScrollIndicators();
    /// Lays out the whole text and scrolls so that its end is visible.
    void pinEditorToBottom();
    /// Shows the empty-page hint only while the text view is editable and its text is empty.
    void updateEmptyPageHint();
    /// Fits the text view to the panel's width and scrolls back to its left edge.
    void normalizeEditorWidth();
    /// The theme's colours for the panel, its window, the border, the gradients and the editor.
    void applyAppearance(const editor::VeltoTheme &theme);
    /// The panel size that shows the whole text at the present width; 500 × 325 for an empty page.
    QSizeF sizeThatFitsContent();
    /// Opens the find bar (Ctrl+F).
    void showFindBar();
    /// Where the view lies on screen: the banners and the shortcut hints show over its lower edge.
    QRect frameOnScreen() const;

signals:
    /// After the view is shown in a window and whenever the appearance changes: the theme is to be applied.
    void appearanceChanged();
    /// A requested panel size, and whether the drag has ended.
    void resizeRequested(QSizeF size, bool ended);
    /// The view asks for a command to run (a double-click on the resize handle fits the panel).
    void commandRequested(velto::VeltoCommandID command);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QRect editorFrame() const;
    void layoutDecorations();
    /// The visible rectangle and the document's bounds, in text view coordinates.
    ScrollGeometry scrollGeometry() const;

    editor::VeltoTextView *textView_;
    ScrollGradientView *topScrollIndicator_;
    ScrollGradientView *bottomScrollIndicator_;
    EditorBorderView *editorBorderView_;
    EmptyPageHintView *emptyPageHint_;
    FindBar *findBar_;
    PanelResizeHandle *resizeHandle_;
    ScrollAvailabilityCache scrollAvailabilityCache_;
    std::optional<ScrollGeometry> lastScrollGeometry_;
};

} // namespace velto
