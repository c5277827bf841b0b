#include "app/welcome/WelcomeViews.h"

#include "ui/Appearance.h"
#include "ui/KeyNames.h"
#include "ui/VeltoUI.h"

#include <QtGui/QAccessible>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QAccessibleWidget>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QVBoxLayout>

#include <algorithm>

namespace velto {

namespace {

/// The instruction as one static text without children: its labels and keycaps only draw the sentence.
class AccessibleInstruction : public QAccessibleWidget {
public:
    explicit AccessibleInstruction(QWidget *widget)
        : QAccessibleWidget(widget, QAccessible::StaticText) {}
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
};

QAccessibleInterface *accessibleInstruction(const QString &className, QObject *object) {
    bool isInstruction = className == QLatin1String(WelcomeInstructionView::staticMetaObject.className()) ||
                         className == QLatin1String(WelcomeChooseShortcutView::staticMetaObject.className());
    if (isInstruction && object->isWidgetType()) {
        return new AccessibleInstruction(static_cast<QWidget *>(object));
    }
    return nullptr;
}

void installAccessibleInstructionFactory() {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(accessibleInstruction);
        return true;
    }();
    (void)factoryInstalled;
}

void setLabelColor(QLabel &label, const VeltoColor &color) {
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color.resolved());
    label.setPalette(palette);
}

} // namespace

WelcomeBackgroundView::WelcomeBackgroundView(QWidget *parent)
    : QWidget(parent) {
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, qOverload<>(&QWidget::update));
}

void WelcomeBackgroundView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), VeltoUI::Colors::surface.resolved());
}

WelcomeShortcutKeycapView::WelcomeShortcutKeycapView(const QString &text, int width, QWidget *parent)
    : QWidget(parent)
    , text_(text) {
    // A symbol is drawn larger than a word; Linux names both keys with words ("Alt", "Space"), which share one
    // size so that neither cap looks more pressed than the other.
    setFont(VeltoUI::systemFont(text.size() > 1 ? 12.5 : 15, QFont::DemiBold));
    // Linux names the modifier with a word, not a symbol: the cap grows to hold it.
    int textWidth = QFontMetrics(font()).horizontalAdvance(text);
    width = std::max(width, textWidth + 16);
    setFixedSize(width + 2 * shadowMargin, height + 2 * shadowMargin);
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, qOverload<>(&QWidget::update));
}

void WelcomeShortcutKeycapView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF cap = QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin);
    bool dark = VeltoAppearance::shared().current() == DrawingAppearance::dark;

    // A soft shadow one pixel below the cap: a few widening rings that fade out.
    double opacity = dark ? 0.3 : 0.13;
    painter.setPen(Qt::NoPen);
    for (int ring = shadowMargin; ring >= 1; --ring) {
        QColor shadow(0, 0, 0);
        shadow.setAlphaF(static_cast<float>(opacity / (shadowMargin + 1)));
        painter.setBrush(shadow);
        painter.drawRoundedRect(cap.translated(0, 1).adjusted(-ring, -ring, ring, ring), cornerRadius + ring,
                                cornerRadius + ring);
    }

    painter.setPen(QPen(VeltoUI::Colors::border.resolved(), 1));
    painter.setBrush(VeltoUI::Colors::field.resolved());
    painter.drawRoundedRect(cap.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);

    painter.setFont(font());
    painter.setPen(VeltoUI::Colors::label.resolved());
    painter.drawText(cap, Qt::AlignCenter | Qt::TextSingleLine, text_);
}

WelcomeInstructionView::WelcomeInstructionView(const GlobalShortcut &showOrHideShortcut, int maximumWidth,
                                               QWidget *parent)
    : QWidget(parent) {
    installAccessibleInstructionFactory();
    const QStringList keyNames = KeyNames::keycaps(showOrHideShortcut);
    // Spoken with the keycaps' words, so that what is heard matches what is drawn.
    setAccessibleName(QStringLiteral("Press %1 to capture a thought.").arg(keyNames.join(QLatin1Char(' '))));

    auto *lines = new QVBoxLayout(this);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(6);
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    lines->addLayout(row);
    auto makeLabel = [this](const QString &text) {
        auto *label = new QLabel(text, this);
        label->setFont(VeltoUI::systemFont(17, QFont::Medium));
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setFocusPolicy(Qt::NoFocus);
        labels_ << label;
        return label;
    };
    row->addWidget(makeLabel(QStringLiteral("Press")), 0, Qt::AlignVCenter);

    // The keycaps name the shortcut in effect, the one the key monitor answers: a user who chose Alt+J is not
    // taught Alt+Space. The space bar's cap is drawn wide, as on a keyboard; every other cap fits its name.
    auto *shortcut = new QHBoxLayout;
    shortcut->setSpacing(0); // the caps' shadow margins keep them apart
    for (const QString &text : keyNames) {
        int width = text == QStringLiteral("Space") ? 70 : 34;
        auto *keycap = new WelcomeShortcutKeycapView(text, width, this);
        keycaps_ << keycap;
        shortcut->addWidget(keycap);
    }
    row->addLayout(shortcut);
    QLabel *ending = makeLabel(QStringLiteral("to capture a thought."));
    row->addWidget(ending, 0, Qt::AlignVCenter);

    // A shortcut of many keys makes the sentence wider than the window: its end goes on a line of its own.
    if (lines->sizeHint().width() > maximumWidth) {
        row->removeWidget(ending);
        lines->addWidget(ending, 0, Qt::AlignHCenter);
    }

    refreshColors();
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &WelcomeInstructionView::refreshColors);
}

QStringList WelcomeInstructionView::keycaps() const {
    QStringList texts;
    for (const WelcomeShortcutKeycapView *keycap : keycaps_) {
        texts << keycap->text();
    }
    return texts;
}

void WelcomeInstructionView::refreshColors() {
    for (QLabel *label : labels_) {
        setLabelColor(*label, VeltoUI::Colors::label);
    }
}

QString noWorkingShortcutReason(const std::optional<GlobalShortcut> &takenShortcut) {
    if (takenShortcut) {
        return QStringLiteral("%1 is already in use by another program.").arg(KeyNames::text(takenShortcut));
    }
    return QStringLiteral("No shortcut is set to show or hide Velto.");
}

WelcomeChooseShortcutView::WelcomeChooseShortcutView(const QString &reason, QWidget *parent)
    : QWidget(parent) {
    installAccessibleInstructionFactory();
    invitation_ = new QLabel(QStringLiteral("Choose a shortcut to capture a thought."), this);
    invitation_->setFont(VeltoUI::systemFont(17, QFont::Medium));
    reason_ = new QLabel(reason, this);
    reason_->setFont(VeltoUI::Typography::detail());
    reason_->setWordWrap(true);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    for (QLabel *label : {invitation_, reason_}) {
        label->setAlignment(Qt::AlignHCenter);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        label->setFocusPolicy(Qt::NoFocus);
        column->addWidget(label);
    }
    setAccessibleName(lines().join(QLatin1Char(' ')));
    refreshColors();
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &WelcomeChooseShortcutView::refreshColors);
}

QStringList WelcomeChooseShortcutView::lines() const {
    return {invitation_->text(), reason_->text()};
}

void WelcomeChooseShortcutView::refreshColors() {
    setLabelColor(*invitation_, VeltoUI::Colors::label);
    setLabelColor(*reason_, VeltoUI::Colors::secondaryLabel);
}

} // namespace velto
