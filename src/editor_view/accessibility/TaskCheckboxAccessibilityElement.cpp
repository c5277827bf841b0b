#include "editor_view/accessibility/TaskCheckboxAccessibilityElement.h"

#include "editor/text/StorageLines.h"
#include "editor_view/accessibility/TextViewAccessibility.h"
#include "editor_view/layout/QtText.h"
#include "editor_view/view/VeltoTextView.h"

#include <QAccessible>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace velto::editor {

namespace {

/// The box's place on the screen: from the left of its "[" to the right of its "]" on its line.
QRect screenFrame(VeltoTextView &view, const MarkdownTaskListCheckbox &checkbox) {
    const QRectF start = view.caretRectInViewport(checkbox.range.location);
    const QRectF end = view.caretRectInViewport(checkbox.range.end());
    const QRectF box(start.x(), start.top(), std::max(end.x() - start.x(), 1.0), start.height());
    return QRect(view.viewport()->mapToGlobal(box.topLeft().toPoint()), box.size().toSize());
}

} // namespace

TaskCheckboxAccessibilityElement::TaskCheckboxAccessibilityElement(const MarkdownTaskListCheckbox &checkbox,
                                                                   const QString &label, QRect frame,
                                                                   VeltoTextView *parent, bool isEnabled,
                                                                   PerformPress performPress)
    : checkbox_(checkbox)
    , label_(label)
    , frame_(frame)
    , parent_(parent)
    , isEnabled_(isEnabled)
    , performPress_(std::move(performPress)) {}

void TaskCheckboxAccessibilityElement::update(const MarkdownTaskListCheckbox &checkbox, const QString &label,
                                              QRect frame, bool isEnabled) {
    checkbox_ = checkbox;
    label_ = label;
    frame_ = frame;
    isEnabled_ = isEnabled;
}

bool TaskCheckboxAccessibilityElement::performPress() {
    if (!isEnabled_ || !performPress_) {
        return false;
    }
    const std::optional<MarkdownTaskListCheckbox::State> state = performPress_();
    if (!state) {
        return false;
    }
    checkbox_.state = *state;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent stateChange(this, changed);
    announceAccessibleEvent(stateChange);
    QAccessibleValueChangeEvent valueChange(this, text(QAccessible::Value));
    announceAccessibleEvent(valueChange);
    return true;
}

bool TaskCheckboxAccessibilityElement::isValid() const {
    return !parent_.isNull();
}

QWindow *TaskCheckboxAccessibilityElement::window() const {
    return parent_ ? parent_->window()->windowHandle() : nullptr;
}

QAccessibleInterface *TaskCheckboxAccessibilityElement::parent() const {
    return parent_ ? QAccessible::queryAccessibleInterface(parent_.data()) : nullptr;
}

QString TaskCheckboxAccessibilityElement::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Name:
        return label_;
    case QAccessible::Value:
        return checkbox_.state == MarkdownTaskListCheckbox::State::checked ? QStringLiteral("1") : QStringLiteral("0");
    case QAccessible::Description: // what the AT-SPI bridge exports and screen readers read
    case QAccessible::Help:
        return isEnabled_ ? QStringLiteral("Press to toggle this task.") : QStringLiteral("This task is read-only.");
    default:
        return {};
    }
}

QAccessible::State TaskCheckboxAccessibilityElement::state() const {
    QAccessible::State state;
    state.checkable = true;
    state.checked = checkbox_.state == MarkdownTaskListCheckbox::State::checked;
    state.disabled = !isEnabled_;
    state.readOnly = !isEnabled_;
    return state;
}

void *TaskCheckboxAccessibilityElement::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
}

QStringList TaskCheckboxAccessibilityElement::actionNames() const {
    return {pressAction(), toggleAction()};
}

void TaskCheckboxAccessibilityElement::doAction(const QString &actionName) {
    if (actionName == pressAction() || actionName == toggleAction()) {
        performPress();
    }
}

// ---- the view's set of elements ----

TaskCheckboxAccessibilityElements::TaskCheckboxAccessibilityElements(VeltoTextView &view)
    : view_(view) {}

TaskCheckboxAccessibilityElements::~TaskCheckboxAccessibilityElements() {
    for (TaskCheckboxAccessibilityElement *element : elements_) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(element));
    }
}

QList<QAccessibleInterface *> TaskCheckboxAccessibilityElements::visibleElements() {
    std::vector<MarkdownTaskListCheckbox> boxes;
    const TextStorage &storage = view_.storage();
    const TextRange visible = view_.visibleCharacterRange(view_.visibleRect());
    if (visible.length > 0) {
        storage.enumerateAttribute(
            AttributeKey::veltoTaskCheckbox, visible, [&](const AttributeValue *value, TextRange run) {
                if (value == nullptr) {
                    return;
                }
                const auto box = taskCheckbox(static_cast<std::ptrdiff_t>(run.location), storage);
                if (box) {
                    boxes.push_back(*box);
                }
            });
    }

    // Elements of boxes still shown live on (keyed by where the box starts); the others are let go.
    std::vector<TaskCheckboxAccessibilityElement *> kept;
    QList<QAccessibleInterface *> result;
    for (const MarkdownTaskListCheckbox &box : boxes) {
        // The label is the rest of the box's line: only that line is read, never the whole text.
        const TextStretch line = linesAround(storage, box.range);
        MarkdownTaskListCheckbox inLine = box;
        inLine.range.location -= line.range.location;
        const QString label = qtString(inLine.accessibilityLabel(line.text));
        const QRect frame = screenFrame(view_, box);
        auto found = std::find_if(elements_.begin(), elements_.end(), [&](TaskCheckboxAccessibilityElement *element) {
            return element != nullptr && element->checkbox().range.location == box.range.location;
        });
        TaskCheckboxAccessibilityElement *element = nullptr;
        if (found != elements_.end()) {
            element = std::exchange(*found, nullptr);
            element->update(box, label, frame, view_.isEditable());
        } else {
            QPointer<VeltoTextView> view(&view_);
            const std::size_t start = box.range.location;
            element = new TaskCheckboxAccessibilityElement(
                box, label, frame, &view_, view_.isEditable(),
                [view, start]() -> std::optional<MarkdownTaskListCheckbox::State> {
                    if (!view) {
                        return std::nullopt;
                    }
                    const auto current = taskCheckbox(static_cast<std::ptrdiff_t>(start), view->storage());
                    if (!current || !toggleTaskCheckbox(*view, *current)) {
                        return std::nullopt;
                    }
                    return current->state == MarkdownTaskListCheckbox::State::checked
                               ? MarkdownTaskListCheckbox::State::unchecked
                               : MarkdownTaskListCheckbox::State::checked;
                });
            QAccessible::registerAccessibleInterface(element);
        }
        kept.push_back(element);
        result.push_back(element);
    }
    for (TaskCheckboxAccessibilityElement *gone : elements_) {
        if (gone != nullptr) {
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(gone));
        }
    }
    elements_ = std::move(kept);
    return result;
}

} // namespace velto::editor
