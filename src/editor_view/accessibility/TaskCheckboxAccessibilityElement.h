#pragma once

#include "editor/markdown/MarkdownTaskListCheckbox.h"

#include <QAccessibleActionInterface>
#include <QAccessibleInterface>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace velto::editor {

class VeltoTextView;

/// One visible task box as assistive technologies see it: a check box inside the text view that can be
/// pressed. Pressing toggles the box through the view (one undo step) and announces the new state.
class TaskCheckboxAccessibilityElement : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    /// Toggles the box; the new state, or none when nothing changed.
    using PerformPress = std::function<std::optional<MarkdownTaskListCheckbox::State>()>;

    TaskCheckboxAccessibilityElement(const MarkdownTaskListCheckbox &checkbox, const QString &label, QRect frame,
                                     VeltoTextView *parent, bool isEnabled, PerformPress performPress);

    const MarkdownTaskListCheckbox &checkbox() const { return checkbox_; }
    /// Takes a newer description of the same box (its state, label, place and editability).
    void update(const MarkdownTaskListCheckbox &checkbox, const QString &label, QRect frame, bool isEnabled);

    /// Toggles the box when enabled; true when its state changed.
    bool performPress();

    // ---- QAccessibleInterface ----
    bool isValid() const override;
    QObject *object() const override { return nullptr; }
    QWindow *window() const override;
    QAccessibleInterface *parent() const override;
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override { return frame_; }
    QAccessible::Role role() const override { return QAccessible::CheckBox; }
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // ---- QAccessibleActionInterface ----
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    MarkdownTaskListCheckbox checkbox_;
    QString label_;
    QRect frame_;
    QPointer<VeltoTextView> parent_;
    bool isEnabled_;
    PerformPress performPress_;
};

/// The accessibility children of a text view: one element per visible task box, refreshed on every
/// request. Elements are registered with Qt's accessibility and kept while their box stays visible, so
/// that an assistive technology holding one keeps a live object.
class TaskCheckboxAccessibilityElements {
public:
    explicit TaskCheckboxAccessibilityElements(VeltoTextView &view);
    ~TaskCheckboxAccessibilityElements();
    TaskCheckboxAccessibilityElements(const TaskCheckboxAccessibilityElements &) = delete;
    TaskCheckboxAccessibilityElements &operator=(const TaskCheckboxAccessibilityElements &) = delete;

    /// The elements of the boxes visible now, in text order.
    QList<QAccessibleInterface *> visibleElements();

private:
    VeltoTextView &view_;
    std::vector<TaskCheckboxAccessibilityElement *> elements_;
};

} // namespace velto::editor
