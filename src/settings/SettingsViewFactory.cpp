#include "settings/SettingsViewFactory.h"

#include "settings/SettingsPalette.h"
#include "ui/VeltoUI.h"

#include <QtGui/QPainter>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QFrame>
#include <QtWidgets/QLabel>
#include <QtWidgets/QScrollArea>

namespace velto {

namespace {

const char dividerName[] = "settingsDivider";

QLabel *wrappingLabel(const QString &text, const QFont &font, bool secondary, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (secondary) {
        // A role of the window's palette, not a colour of its own, so that it follows the appearance.
        label->setForegroundRole(SettingsPalette::secondaryText);
    }
    return label;
}

/// The hairline between two rows, in the divider colour of the appearance at each painting.
class Divider : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.fillRect(rect(), VeltoUI::Colors::divider.resolved());
    }
};

QFrame *divider(QWidget *parent) {
    auto *line = new Divider(parent);
    line->setObjectName(QString::fromLatin1(dividerName));
    line->setFixedHeight(static_cast<int>(VeltoUI::Metrics::hairline));
    return line;
}

/// The rounded card that holds a section's rows, painted directly: style sheets would restyle every control
/// inside it and slow down every painting of the page.
class SettingsCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(VeltoUI::Colors::subtleBorder.resolved(), 1));
        painter.setBrush(VeltoUI::Colors::surface.resolved());
        painter.drawRoundedRect(bounds, VeltoUI::Shape::cardRadius, VeltoUI::Shape::cardRadius);
    }
};

} // namespace

SettingsRowLabels::SettingsRowLabels(const QString &title, const std::optional<QString> &detail, QWidget *parent)
    : QWidget(parent)
    , titleLabel_(wrappingLabel(title, VeltoUI::Typography::rowTitle(), false, this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(titleLabel_);
    if (detail) {
        detailLabel_ = wrappingLabel(*detail, VeltoUI::Typography::detail(), true, this);
        layout->addWidget(detailLabel_);
    }
}

namespace SettingsViewFactory {

QWidget *preferenceRow(const QString &title, const std::optional<QString> &detail, QWidget *control) {
    auto *row = new QWidget;
    auto *labels = new SettingsRowLabels(title, detail, row);
    labels->setFixedWidth(labelsWidth);
    if (control->accessibleName().isEmpty()) {
        control->setAccessibleName(title);
    }
    control->setSizePolicy(QSizePolicy::Fixed, control->sizePolicy().verticalPolicy());
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(16);
    layout->addWidget(labels, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    layout->addWidget(control, 0, Qt::AlignVCenter | Qt::AlignRight);
    return row;
}

QWidget *stackedPreferenceRow(const QString &title, const std::optional<QString> &detail, QWidget *control) {
    auto *row = new QWidget;
    auto *labels = new SettingsRowLabels(title, detail, row);
    if (control->accessibleName().isEmpty()) {
        control->setAccessibleName(title);
    }
    auto *layout = new QVBoxLayout(row);
    layout->setContentsMargins(0, 12, 0, 12);
    layout->setSpacing(10);
    layout->addWidget(labels);
    layout->addWidget(control);
    return row;
}

QWidget *section(const QString &title, const std::optional<QString> &subtitle, const std::vector<QWidget *> &rows,
                 QWidget *footer) {
    auto *section = new QWidget;
    section->setAccessibleName(title + QStringLiteral(" settings"));
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    auto *header = new QVBoxLayout;
    header->setSpacing(3);
    QLabel *titleLabel = wrappingLabel(title, VeltoUI::Typography::sectionTitle(), false, section);
    titleLabel->setAccessibleName(title + QStringLiteral(" settings"));
    header->addWidget(titleLabel);
    if (subtitle) {
        header->addWidget(wrappingLabel(*subtitle, VeltoUI::Typography::detail(), true, section));
    }
    layout->addLayout(header);

    auto *card = new SettingsCard(section);
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(12, 4, 12, 4);
    column->setSpacing(0);
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (index > 0) {
            column->addWidget(divider(card));
        }
        column->addWidget(rows[index]);
    }
    layout->addWidget(card);
    if (footer != nullptr) {
        layout->addWidget(footer, 0, Qt::AlignRight);
    }
    return section;
}

QScrollArea *page(const QString &title, const std::optional<QString> &subtitle,
                  const std::vector<QWidget *> &sections) {
    auto *document = new QWidget;
    auto *outer = new QHBoxLayout(document);
    outer->setContentsMargins(pageMargin, 40, pageMargin, 40);

    auto *column = new QWidget(document);
    column->setMaximumWidth(maximumColumnWidth);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing28));
    auto *header = new QVBoxLayout;
    header->setSpacing(static_cast<int>(VeltoUI::Metrics::spacing4));
    QLabel *titleLabel = wrappingLabel(title, VeltoUI::Typography::pageTitle(), false, column);
    titleLabel->setAccessibleName(title + QStringLiteral(" settings"));
    header->addWidget(titleLabel);
    if (subtitle) {
        header->addWidget(wrappingLabel(*subtitle, VeltoUI::Typography::detail(), true, column));
    }
    layout->addLayout(header);
    for (QWidget *section : sections) {
        layout->addWidget(section);
    }
    layout->addStretch(1);
    outer->addWidget(column, 1, Qt::AlignHCenter | Qt::AlignTop);

    auto *scrollArea = new QScrollArea;
    // The page is no Tab stop of its own: nothing shows it has the keyboard, and keys pressed there reach no
    // control. Tab still scrolls the control it reaches into view.
    scrollArea->setFocusPolicy(Qt::NoFocus);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(document);
    scrollArea->setAccessibleName(title);
    return scrollArea;
}

int dividerCount(const QWidget *section) {
    return static_cast<int>(section->findChildren<QFrame *>(QString::fromLatin1(dividerName)).size());
}

QWidget *horizontalStack(std::initializer_list<QWidget *> views, int spacing) {
    auto *stack = new QWidget;
    auto *layout = new QHBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget *view : views) {
        layout->addWidget(view, 0, Qt::AlignVCenter);
    }
    return stack;
}

QCheckBox *makeSwitch(const QString &label, const QString &help) {
    auto *box = new QCheckBox;
    box->setAccessibleName(label);
    box->setAccessibleDescription(help);
    return box;
}

} // namespace SettingsViewFactory

} // namespace velto
