#pragma once

#include <QAccessibleWidget>
#include <QList>

#include <functional>

namespace velto::editor {

class VeltoTextView;

/// The text view as assistive technologies see it: an editable text whose offsets are storage offsets,
/// whose value is the whole text, and whose edits go through the view's one path of changes (so each is
/// an undo step). Children come from the view's provider: the task checkboxes once they are built.
class TextViewAccessibility : public QAccessibleWidget,
                              public QAccessibleTextInterface,
                              public QAccessibleEditableTextInterface {
public:
    explicit TextViewAccessibility(VeltoTextView *view);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString &text) override;
    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;

    // ---- text ----
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    // ---- editable text ----
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    VeltoTextView *view() const;
    QList<QAccessibleInterface *> children() const;
};

/// Makes Qt's accessibility use `TextViewAccessibility` for every text view; installed once.
void installTextViewAccessibility();

/// Where the view's announcements go: to assistive technologies through Qt, unless another receiver is
/// installed (tests record them; offscreen Qt has no accessibility bridge to switch on). An empty
/// function restores Qt's.
void setAccessibilityAnnouncer(std::function<void(QAccessibleEvent &)> announcer);

/// Sends one event to assistive technologies (or to the installed receiver).
void announceAccessibleEvent(QAccessibleEvent &event);

/// Tells assistive technologies about one change of the text (what was removed and inserted at a
/// position) and about caret moves and selections.
void announceTextChange(VeltoTextView *view, int position, const QString &removed, const QString &inserted);
void announceCaretMove(VeltoTextView *view, int position);
void announceSelectionChange(VeltoTextView *view, int start, int end);
/// The whole text changed outside the editing protocol (a load, an undo).
void announceValueChange(VeltoTextView *view);

} // namespace velto::editor
