#include "settings/ShortcutRecorderView.h"

#include "settings/InlineShortcutRecorder.h"
#include "settings/SettingsPalette.h"
#include "settings/ShortcutCapture.h"
#include "ui/VeltoUI.h"

#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtWidgets/QApplication>
#include <QtWidgets/QBoxLayout>
#include <QtWidgets/QDialog>
#include <QtWidgets/QLabel>

namespace velto {

namespace {

const QString noShortcut = QStringLiteral("Press a shortcut");
const QString replaceHint = QStringLiteral("Press a new combination to replace it");
const QString replaceHelp = QStringLiteral("Press a new combination to replace the current shortcut.");
const QString emptyHelp = QStringLiteral("Press Alt, Super, or Shift-Ctrl with another key.");
const QString notSet = QStringLiteral("Not set");

} // namespace

ShortcutRecorderView::ShortcutRecorderView(std::function<void()> beep, QWidget *parent)
    : RecorderKeyWidget(parent)
    , beep_(beep ? std::move(beep) : [] { QApplication::beep(); })
    , shortcutLabel_(new QLabel(this))
    , hintLabel_(new QLabel(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Shortcut"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(2);
    shortcutLabel_->setFont(VeltoUI::systemFont(15, QFont::DemiBold));
    hintLabel_->setFont(VeltoUI::Typography::detail());
    hintLabel_->setForegroundRole(SettingsPalette::secondaryText);
    for (QLabel *label : {shortcutLabel_, hintLabel_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(label);
    }
    updateLabels();
}

void ShortcutRecorderView::setShortcut(const std::optional<GlobalShortcut> &shortcut) {
    shortcut_ = shortcut;
    updateLabels();
}

QString ShortcutRecorderView::shortcutText() const {
    return shortcutLabel_->text();
}

QString ShortcutRecorderView::hintText() const {
    return hintLabel_->text();
}

void ShortcutRecorderView::updateLabels() {
    shortcutLabel_->setText(shortcut_ ? shortcutDisplayTitle(*shortcut_) : noShortcut);
    setAccessibilityValue(shortcut_ ? shortcutSpokenTitle(*shortcut_) : notSet);
    hintLabel_->setText(shortcut_ ? replaceHint : RecorderMessages::modifiersMissing);
    setAccessibleHelp(shortcut_ ? replaceHelp : emptyHelp);
    tellAccessibilityChanges();
}

QString ShortcutRecorderView::accessibleStatus() const {
    return shortcut_ ? shortcutDisplayTitle(*shortcut_) : notSet;
}

bool ShortcutRecorderView::accessibilityPerformPress() {
    return takeFocusOfWindow();
}

void ShortcutRecorderView::handleRecorderKey(RecorderKeyRole, const RecorderKeyPress &press) {
    capture(press); // the capture rules tell Escape alone from a key to record
}

void ShortcutRecorderView::capture(const RecorderKeyPress &press) {
    CaptureOutcome outcome = captureShortcut(press, false);
    if (std::holds_alternative<EndedRecording>(outcome)) {
        // Escape alone ends the dialog that holds the recorder, as it ends any dialog; nothing else changes.
        if (auto *dialog = qobject_cast<QDialog *>(window())) {
            dialog->reject();
        }
        return;
    }
    if (const auto *refused = std::get_if<RefusedKeyPress>(&outcome)) {
        refuse(refused->message);
        return;
    }
    shortcut_ = std::get<CapturedShortcut>(outcome).candidate;
    updateLabels();
    emit shortcutRecorded(*shortcut_);
}

void ShortcutRecorderView::refuse(const QString &reason) {
    hintLabel_->setText(reason);
    announce(reason, reason);
    tellAccessibilityChanges();
    beep_();
}

void ShortcutRecorderView::focusInEvent(QFocusEvent *event) {
    QWidget::focusInEvent(event);
    update();
}

void ShortcutRecorderView::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    update();
}

void ShortcutRecorderView::paintEvent(QPaintEvent *) {
    if (!hasFocus()) {
        return;
    }
    // The focus ring: the view's bounds inset by two pixels, with the controls' corner radius.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), VeltoUI::Shape::controlRadius,
                            VeltoUI::Shape::controlRadius);
}

} // namespace velto
