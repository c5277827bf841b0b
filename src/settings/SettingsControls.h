#pragma once

#include "preferences/PreferenceChoices.h"
#include "ui/Appearance.h"

#include <QtWidgets/QLabel>
#include <QtWidgets/QSpinBox>
#include <QtWidgets/QWidget>

#include <optional>
#include <vector>

class QButtonGroup;
class QPushButton;

namespace velto {

/// The choice a segmented control shows at `index`, its buttons in the order of the choice's cases; none
/// outside them.
template <typename Choice> std::optional<Choice> choiceAt(int index) {
    auto cases = allCases<Choice>();
    if (index < 0 || index >= static_cast<int>(cases.size())) {
        return std::nullopt;
    }
    return cases[static_cast<std::size_t>(index)];
}

/// How a segment is painted: the selected one in the accent, clearly apart from the others, each text
/// readable on its fill.
struct SegmentColors {
    QColor selectedFill;
    QColor selectedText;
    QColor idleFill;
    QColor idleText;
};
/// The segments' colours in `appearance` with the desktop's `accent`: the selected fill keeps 3:1 against the
/// others' and its text 4.5:1 against it.
SegmentColors segmentColors(DrawingAppearance appearance, const QColor &accent);

/// A row of exclusive buttons, one per choice, each of a fixed width.
class SegmentedControl : public QWidget {
    Q_OBJECT

public:
    SegmentedControl(const QStringList &titles, int segmentWidth, QWidget *parent = nullptr);
    /// -1 when none is selected.
    int selectedIndex() const;
    void setSelectedIndex(int index);
    QPushButton *segment(int index) const { return segments_.at(static_cast<std::size_t>(index)); }

signals:
    /// The user picked a segment (setSelectedIndex does not announce it).
    void picked(int index);

private:
    QButtonGroup *group_;
    std::vector<QPushButton *> segments_;
};

/// The text-size stepper: a spin box over the indices of the available sizes that shows the size ("15 pt").
class FontSizeSpinBox : public QSpinBox {
    Q_OBJECT

public:
    explicit FontSizeSpinBox(QWidget *parent = nullptr);

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString &text) const override;
};

/// A folder's path, elided in the middle when it does not fit, with the full path as tooltip.
class PathLabel : public QLabel {
    Q_OBJECT

public:
    explicit PathLabel(QWidget *parent = nullptr);
    void setPath(const QString &path);
    const QString &path() const { return path_; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    QString path_;
};

} // namespace velto
