#pragma once

#include "panel/view/TextSearch.h"
#include "ui/Appearance.h"
#include "ui/HoverIconButton.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QWidget>

namespace velto {

namespace editor {
class VeltoTextView;
}

/// How the matches are marked in an appearance. The marks lie over the text, so they stay translucent enough
/// that the text under them keeps its contrast. The current match is the text view's selection: while the bar
/// has the keyboard it is filled with an opaque gold the text reads on, and it is outlined.
struct FindMarkColors {
    QColor match;
    QColor foundSelection;
    QColor currentOutline;
};
FindMarkColors findMarkColors(DrawingAppearance appearance);

/// Marks every match of the find bar on the visible part of the text; the current one stronger.
/// Lies over the text view's viewport and never takes the mouse.
class FindHighlightOverlay : public QWidget {
    Q_OBJECT

public:
    FindHighlightOverlay(editor::VeltoTextView &textView, const TextSearch &search);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    editor::VeltoTextView &textView_;
    const TextSearch &search_;
};

/// The panel's find bar (Ctrl+F): searches the page as the reader types, selects and reveals the current
/// match, steps to the next (Enter, F3) or previous one (Shift+Enter, Shift+F3) and marks all of them.
/// Escape closes it and gives the text back its focus.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(editor::VeltoTextView &textView, QWidget *parent = nullptr);

    /// Shows the bar with the field focused and its text selected; an open bar searches again.
    void open();
    void close();
    bool isOpen() const { return isVisible(); }
    /// While the bar is open the text is shown below it; called again whenever the bar is placed anew.
    void keepTextClearOfTheBar();

    const TextSearch &search() const { return search_; }
    QLineEdit *field() const { return field_; }
    QLabel *statusLabel() const { return status_; }
    /// Steps to the next or previous match and selects it.
    void step(bool backwards);
    /// Opens the bar if it is closed, then steps to the next or previous match.
    void openAndStep(bool backwards);
    /// Puts the selected text into the field and opens the bar.
    void openWithSelectedText();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    /// The field's, the count's and the found selection's colours for the current appearance.
    void refreshColors();
    /// While the bar is open the text view's selection, seen while the bar has the keyboard, is the found gold;
    /// closed, the view takes its selection colour from its window again.
    void markFoundSelection();
    void searchFromSelection();
    std::uint64_t textVersion() const;
    void textDidChange();
    void showCurrentMatch();
    void refresh();

    editor::VeltoTextView &textView_;
    TextSearch search_;
    QLineEdit *field_;
    QLabel *status_;
    HoverIconButton *previousButton_;
    HoverIconButton *nextButton_;
    HoverIconButton *closeButton_;
    FindHighlightOverlay *overlay_;
    /// Edits of the page are searched again once typing pauses, not on every keystroke of a long page.
    QTimer researchTimer_;
};

} // namespace velto
