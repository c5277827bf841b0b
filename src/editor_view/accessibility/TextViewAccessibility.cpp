#include "editor_view/accessibility/TextViewAccessibility.h"

#include "editor_view/layout/QtText.h"
#include "editor_view/view/VeltoTextView.h"

#include <QAccessible>

#include <algorithm>
#include <utility>

namespace velto::editor {

namespace {

QAccessibleInterface *textViewFactory(const QString &, QObject *object) {
    if (auto *view = qobject_cast<VeltoTextView *>(object)) {
        return new TextViewAccessibility(view);
    }
    return nullptr;
}

std::function<void(QAccessibleEvent &)> &announcer() {
    static std::function<void(QAccessibleEvent &)> current;
    return current;
}

void announce(QAccessibleEvent &event) {
    if (announcer()) {
        announcer()(event);
    } else if (QAccessible::isActive()) {
        // Without an assistive technology listening, an event still makes Qt find the view's accessible
        // interface: work on every typed key that nobody hears.
        QAccessible::updateAccessibility(&event);
    }
}

} // namespace

void setAccessibilityAnnouncer(std::function<void(QAccessibleEvent &)> receiver) {
    announcer() = std::move(receiver);
}

void announceAccessibleEvent(QAccessibleEvent &event) {
    announce(event);
}

void installTextViewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(textViewFactory);
        return true;
    }();
    (void)installed;
}

void announceTextChange(VeltoTextView *view, int position, const QString &removed, const QString &inserted) {
    if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(view, position, removed);
        announce(event);
    }
    if (!inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(view, position, inserted);
        announce(event);
    }
}

void announceCaretMove(VeltoTextView *view, int position) {
    QAccessibleTextCursorEvent event(view, position);
    announce(event);
}

void announceSelectionChange(VeltoTextView *view, int start, int end) {
    QAccessibleTextSelectionEvent event(view, start, end);
    announce(event);
}

void announceValueChange(VeltoTextView *view) {
    QAccessibleValueChangeEvent event(view, QVariant());
    announce(event);
}

TextViewAccessibility::TextViewAccessibility(VeltoTextView *view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

VeltoTextView *TextViewAccessibility::view() const {
    return static_cast<VeltoTextView *>(widget());
}

void *TextViewAccessibility::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface *>(this);
    }
    if (type == QAccessible::EditableTextInterface) {
        return static_cast<QAccessibleEditableTextInterface *>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextViewAccessibility::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = view()->isEditable();
    state.readOnly = !view()->isEditable();
    state.multiLine = true;
    state.selectableText = true;
    return state;
}

QString TextViewAccessibility::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Value:
        return qtString(view()->storage().substring(TextRange{0, view()->storage().length()}));
    case QAccessible::Name:
        return view()->accessibleName();
    case QAccessible::Help:
        return view()->accessibleDescription();
    default:
        return QAccessibleWidget::text(type);
    }
}

void TextViewAccessibility::setText(QAccessible::Text type, const QString &text) {
    if (type != QAccessible::Value) {
        QAccessibleWidget::setText(type, text);
        return;
    }
    replaceText(0, characterCount(), text);
}

QList<QAccessibleInterface *> TextViewAccessibility::children() const {
    return view()->accessibleChildElements();
}

int TextViewAccessibility::childCount() const {
    return static_cast<int>(children().size());
}

QAccessibleInterface *TextViewAccessibility::child(int index) const {
    const QList<QAccessibleInterface *> found = children();
    return index >= 0 && index < found.size() ? found[index] : nullptr;
}

int TextViewAccessibility::indexOfChild(const QAccessibleInterface *child) const {
    return static_cast<int>(children().indexOf(const_cast<QAccessibleInterface *>(child)));
}

// ---- text ----

void TextViewAccessibility::selection(int selectionIndex, int *startOffset, int *endOffset) const {
    const TextRange selected = view()->selectedRange();
    if (selectionIndex != 0 || selected.length == 0) {
        *startOffset = *endOffset = 0;
        return;
    }
    *startOffset = static_cast<int>(selected.location);
    *endOffset = static_cast<int>(selected.end());
}

int TextViewAccessibility::selectionCount() const {
    return view()->selectedRange().length > 0 ? 1 : 0;
}

void TextViewAccessibility::addSelection(int startOffset, int endOffset) {
    setSelection(0, startOffset, endOffset);
}

void TextViewAccessibility::removeSelection(int selectionIndex) {
    if (selectionIndex == 0) {
        view()->setSelectedRange(TextRange{view()->editingCore().selectionHead(), 0});
    }
}

void TextViewAccessibility::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0) {
        return;
    }
    const int length = characterCount();
    const auto start = static_cast<std::size_t>(std::clamp(std::min(startOffset, endOffset), 0, length));
    const auto end = static_cast<std::size_t>(std::clamp(std::max(startOffset, endOffset), 0, length));
    view()->setSelectedRange(rangeBetween(start, end));
}

int TextViewAccessibility::cursorPosition() const {
    return static_cast<int>(view()->editingCore().selectionHead());
}

void TextViewAccessibility::setCursorPosition(int position) {
    view()->setSelectedRange(TextRange{static_cast<std::size_t>(std::clamp(position, 0, characterCount())), 0});
}

QString TextViewAccessibility::text(int startOffset, int endOffset) const {
    const int length = characterCount();
    const auto start = static_cast<std::size_t>(std::clamp(startOffset, 0, length));
    const auto end = static_cast<std::size_t>(std::clamp(endOffset, 0, length));
    return qtString(view()->storage().substring(rangeBetween(start, end)));
}

int TextViewAccessibility::characterCount() const {
    return static_cast<int>(view()->storage().length());
}

QRect TextViewAccessibility::characterRect(int offset) const {
    const auto position = static_cast<std::size_t>(std::clamp(offset, 0, characterCount()));
    QRectF box = view()->caretRectInViewport(position);
    const QRectF next = view()->caretRectInViewport(std::min(position + 1, view()->storage().length()));
    box.setWidth(next.top() == box.top() ? std::max(1.0, next.x() - box.x()) : 1.0);
    return QRect(view()->viewport()->mapToGlobal(box.topLeft().toPoint()), box.size().toSize());
}

int TextViewAccessibility::offsetAtPoint(const QPoint &point) const {
    return static_cast<int>(view()->positionAtViewportPoint(view()->viewport()->mapFromGlobal(point)));
}

void TextViewAccessibility::scrollToSubstring(int startIndex, int) {
    view()->scrollRangeToVisible(TextRange{static_cast<std::size_t>(std::clamp(startIndex, 0, characterCount())), 0});
}

QString TextViewAccessibility::attributes(int offset, int *startOffset, int *endOffset) const {
    *startOffset = *endOffset = offset;
    return QString();
}

// ---- editable text ----

void TextViewAccessibility::deleteText(int startOffset, int endOffset) {
    replaceText(startOffset, endOffset, QString());
}

void TextViewAccessibility::insertText(int offset, const QString &text) {
    replaceText(offset, offset, text);
}

void TextViewAccessibility::replaceText(int startOffset, int endOffset, const QString &text) {
    const int length = characterCount();
    const auto start = static_cast<std::size_t>(std::clamp(std::min(startOffset, endOffset), 0, length));
    const auto end = static_cast<std::size_t>(std::clamp(std::max(startOffset, endOffset), 0, length));
    const std::u16string replacement = fromQt(text);
    view()->replaceText(rangeBetween(start, end), replacement, TextRange{start + replacement.size(), 0});
}

} // namespace velto::editor
