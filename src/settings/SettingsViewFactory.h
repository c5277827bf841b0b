#pragma once

#include <QtCore/QString>
#include <QtWidgets/QWidget>

#include <initializer_list>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QScrollArea;

namespace velto {

/// The title and optional detail of one row. Clicks on its texts fall through to what lies behind them.
class SettingsRowLabels : public QWidget {
    Q_OBJECT

public:
    explicit SettingsRowLabels(const QString &title, const std::optional<QString> &detail = std::nullopt,
                               QWidget *parent = nullptr);
    QLabel *titleLabel() const { return titleLabel_; }
    QLabel *detailLabel() const { return detailLabel_; }

private:
    QLabel *titleLabel_;
    QLabel *detailLabel_ = nullptr;
};

/// Builds the rows, sections and pages of the Settings window; holds no state.
namespace SettingsViewFactory {

inline constexpr int labelsWidth = 260;
inline constexpr int maximumColumnWidth = 720;
inline constexpr int pageMargin = 48;

/// Labels on the left, the control on the right, vertically centred.
QWidget *preferenceRow(const QString &title, const std::optional<QString> &detail, QWidget *control);
/// The control under the labels, at the full row width.
QWidget *stackedPreferenceRow(const QString &title, const std::optional<QString> &detail, QWidget *control);
/// A titled card of rows with hairline dividers between them; subtitle and footer optional.
QWidget *section(const QString &title, const std::optional<QString> &subtitle, const std::vector<QWidget *> &rows,
                 QWidget *footer = nullptr);
/// One scrolling page: its title, subtitle and sections in a centred column at most 720 wide.
QScrollArea *page(const QString &title, const std::optional<QString> &subtitle, const std::vector<QWidget *> &sections);

/// The views side by side, vertically centred, `spacing` apart.
QWidget *horizontalStack(std::initializer_list<QWidget *> views, int spacing);
/// An on-off switch, named and described for assistive technologies.
QCheckBox *makeSwitch(const QString &label, const QString &help);

/// The number of dividers a section holds (tests read the widget tree through it).
int dividerCount(const QWidget *section);

} // namespace SettingsViewFactory

} // namespace velto
