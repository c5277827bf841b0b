#include "settings/InlineShortcutRecorder.h"

#include "ui/Appearance.h"
#include "ui/HoverIconButton.h"
#include "ui/KeyNames.h"
#include "ui/Symbols.h"
#include "ui/VeltoUI.h"
#include "ui/VeltoUIControls.h"

#include "platform/desktop/DisplayOptions.h"

#include <QtCore/QPropertyAnimation>
#include <QtCore/QVariantAnimation>
#include <QtGui/QKeyEvent>
#include <QtGui/QPainter>
#include <QtGui/QPainterPath>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGraphicsOpacityEffect>
#include <QtWidgets/QLabel>
#include <QtWidgets/QToolTip>

namespace velto {

namespace {

const QString recorderHelp = QStringLiteral("Click, then press a new shortcut. Press Delete to remove it.");
const QString pressShortcut = QStringLiteral("Press shortcut");
const QString unset = QStringLiteral("Unset");
const QString cannotBeUsed = QStringLiteral("Shortcut can’t be used");

/// The help while a refusal is shown: its sentence, then the way out.
QString withEscapeHint(const QString &sentence) {
    return sentence + QStringLiteral(". Press Escape to cancel.");
}

constexpr int totalWidth =
    InlineShortcutRecorder::actionSize + InlineShortcutRecorder::actionGap + InlineShortcutRecorder::fieldWidth;
constexpr int warningSize = 14;
// The outline's middle lies half a pixel inside the field's edge, the focus ring's 2.5 px: the ring's 2 px
// begin where a refusal's 1.5-px outline ends.
constexpr double outlineInset = 0.5;
constexpr double focusRingInset = 2.5;
constexpr double focusRingWidth = 2.0;

/// The desktop's red of warnings, a little lighter in dark so that it stands out as much.
QColor systemRed() {
    return VeltoAppearance::shared().current() == DrawingAppearance::dark ? QColor(255, 69, 58) : QColor(255, 59, 48);
}

/// Quick at first and settling gently, as the recorder's other motion.
QEasingCurve settlingCurve() {
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.23, 1.0), QPointF(0.32, 1.0), QPointF(1.0, 1.0));
    return curve;
}

/// The field's shape drawn `inset` inside its edge, with corners concentric with the outline's.
QPainterPath fieldShape(const QRectF &field, double inset) {
    double radius = VeltoUI::Shape::controlRadius - (inset - outlineInset);
    QPainterPath path;
    path.addRoundedRect(field.adjusted(inset, inset, -inset, -inset), radius, radius);
    return path;
}

QGraphicsOpacityEffect *opacityOf(QWidget *accessory) {
    return static_cast<QGraphicsOpacityEffect *>(accessory->graphicsEffect());
}

} // namespace

QString shortcutDisplayTitle(const GlobalShortcut &shortcut) {
    return KeyNames::text(shortcut);
}

QString shortcutSpokenTitle(const GlobalShortcut &shortcut) {
    return KeyNames::keycaps(shortcut).join(QLatin1Char(' '));
}

InlineShortcutRecorder::InlineShortcutRecorder(QString commandName, std::optional<GlobalShortcut> defaultShortcut,
                                               bool allowsCommandOnly, Owner owner, QWidget *parent)
    : RecorderKeyWidget(parent)
    , owner_(std::move(owner))
    , commandName_(std::move(commandName))
    , defaultShortcut_(std::move(defaultShortcut))
    , allowsCommandOnly_(allowsCommandOnly)
    , valueLabel_(new QLabel(this))
    , restoreButton_(new HoverIconButton(this))
    , clearButton_(new HoverIconButton(this))
    , warningImage_(new QLabel(this)) {
    if (!owner_.beep) {
        owner_.beep = [] { QApplication::beep(); };
    }
    setFixedSize(totalWidth, actionSize);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setAccessibleName(QStringLiteral("Shortcut for ") + commandName_);
    setAccessibleHelp(recorderHelp);

    valueLabel_->setFont(VeltoUI::systemFont(13));
    valueLabel_->setGeometry(actionSize + actionGap + 10, 0, fieldWidth - 10 - actionSize - 4, actionSize);
    valueLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);

    VeltoUI::configure(*clearButton_, QStringLiteral("xmark.circle.fill"),
                       QStringLiteral("Remove shortcut for ") + commandName_, [this] { clearShortcut(); });
    clearButton_->setHoverBorderColor(VeltoUI::Colors::strongBorder);
    VeltoUI::configure(*restoreButton_, QStringLiteral("arrow.counterclockwise"),
                       QStringLiteral("Restore default shortcut for ") + commandName_, [this] { restoreShortcut(); });
    restoreButton_->setAnchoredToolTip(QStringLiteral("Reset shortcut for ") + commandName_);
    restoreButton_->setAccessibleDescription(QStringLiteral("Reset shortcut for ") + commandName_);
    for (HoverIconButton *button : {restoreButton_, clearButton_}) {
        button->setFixedSize(actionSize, actionSize);
        button->setFocusPolicy(Qt::NoFocus);
    }
    restoreButton_->move(0, 0);
    clearButton_->move(totalWidth - actionSize, 0);

    warningImage_->setAccessibleName(QStringLiteral("Shortcut conflict"));
    warningImage_->setGeometry(totalWidth - actionSize / 2 - warningSize / 2, actionSize / 2 - warningSize / 2,
                               warningSize, warningSize);
    tintWarningSign();
    connect(&VeltoAppearance::shared(), &VeltoAppearance::changed, this, &InlineShortcutRecorder::tintWarningSign);

    // The accessories start transparent and hidden; they fade in when there is something to offer.
    for (QWidget *accessory : {static_cast<QWidget *>(restoreButton_), static_cast<QWidget *>(clearButton_),
                               static_cast<QWidget *>(warningImage_)}) {
        auto *opacity = new QGraphicsOpacityEffect(accessory);
        opacity->setOpacity(0);
        accessory->setGraphicsEffect(opacity);
        accessory->hide();
    }
    refresh(false);
}

QWidget *InlineShortcutRecorder::clearButton() const {
    return clearButton_;
}

QWidget *InlineShortcutRecorder::restoreButton() const {
    return restoreButton_;
}

bool InlineShortcutRecorder::isClearButtonShown() const {
    return visibleAccessories_.contains(clearButton_);
}

bool InlineShortcutRecorder::isRestoreButtonShown() const {
    return visibleAccessories_.contains(restoreButton_);
}

bool InlineShortcutRecorder::isWarningShown() const {
    return visibleAccessories_.contains(warningImage_);
}

void InlineShortcutRecorder::tintWarningSign() {
    QIcon symbol = Symbols::icon(QStringLiteral("exclamationmark.triangle.fill"));
    warningImage_->setPixmap(
        tintedPixmap(symbol, QSize(warningSize, warningSize), systemRed(), warningImage_->devicePixelRatioF()));
}

void InlineShortcutRecorder::setShortcut(const std::optional<GlobalShortcut> &shortcut) {
    shortcut_ = shortcut;
    refresh(false);
}

QString InlineShortcutRecorder::displayedText() const {
    return valueLabel_->text();
}

QRect InlineShortcutRecorder::fieldRect() const {
    return QRect(actionSize + actionGap, 0, fieldWidth, height());
}

void InlineShortcutRecorder::startRecording() {
    if (isRecording_) {
        return;
    }
    isRecording_ = true;
    // The grab lets combinations that the window manager would take reach the recorder.
    if (isVisible()) {
        grabKeyboard();
    }
    emit recordingChanged(true);
    refresh(false);
}

bool InlineShortcutRecorder::accessibilityPerformPress() {
    startRecording();
    return takeFocusOfWindow();
}

void InlineShortcutRecorder::stopRecording() {
    if (!isRecording_) {
        return;
    }
    isRecording_ = false;
    releaseKeyboard();
    emit recordingChanged(false);
    refresh(true);
}

bool InlineShortcutRecorder::offer(const std::optional<GlobalShortcut> &shortcut) {
    if (!owner_.take) {
        return false;
    }
    bool taken = owner_.take(shortcut);
    emit offerAnswered(shortcut, taken);
    return taken;
}

void InlineShortcutRecorder::clearShortcut() {
    closePopover();
    stopRecording();
    if (shortcut_ && offer(std::nullopt)) {
        shortcut_.reset();
    }
    isConflict_ = false;
    refresh(false);
}

void InlineShortcutRecorder::restoreShortcut() {
    closePopover();
    stopRecording();
    if (!defaultShortcut_) {
        return;
    }
    if (offer(defaultShortcut_)) {
        shortcut_ = defaultShortcut_;
    }
    isConflict_ = false;
    refresh(false);
}

void InlineShortcutRecorder::handleRecorderKey(RecorderKeyRole role, const RecorderKeyPress &press) {
    switch (role) {
    case RecorderKeyRole::clear:
        clearShortcut();
        return;
    case RecorderKeyRole::cancel:
        closePopover();
        stopRecording();
        isConflict_ = false;
        refresh(false);
        return;
    case RecorderKeyRole::capture:
        capture(press);
        return;
    case RecorderKeyRole::focusNext:
    case RecorderKeyRole::focusPrevious:
        return; // RecorderKeyWidget moves the focus itself
    }
}

void InlineShortcutRecorder::capture(const RecorderKeyPress &press) {
    closePopover();
    CaptureOutcome outcome = captureShortcut(press, allowsCommandOnly_);
    if (std::holds_alternative<EndedRecording>(outcome)) {
        stopRecording();
    } else if (const auto *refused = std::get_if<RefusedKeyPress>(&outcome)) {
        reject(refused->message);
    } else {
        GlobalShortcut candidate = std::get<CapturedShortcut>(outcome).candidate;
        stopRecording();
        if (offer(candidate)) {
            shortcut_ = candidate;
            isConflict_ = false;
        } else {
            refuseCandidate(candidate);
        }
    }
    refresh(true);
}

void InlineShortcutRecorder::reject(const QString &message) {
    isConflict_ = true;
    refusedCandidate_.reset();
    valueLabel_->setText(shortcut_ ? shortcutDisplayTitle(*shortcut_) : pressShortcut);
    QString announcement = QStringLiteral("Invalid shortcut. ") + message;
    setAccessibilityValue(announcement);
    announce(announcement, withEscapeHint(announcement));
    showPopover(cannotBeUsed, message);
    shake();
    owner_.beep();
}

void InlineShortcutRecorder::refuseCandidate(const GlobalShortcut &candidate) {
    startRecording();
    isConflict_ = true;
    refusedCandidate_ = candidate;
    std::optional<QString> owned = owner_.conflictMessage ? owner_.conflictMessage(candidate) : std::nullopt;
    QString message = owned.value_or(RecorderMessages::alreadyUsed);
    valueLabel_->setText(shortcutDisplayTitle(candidate));
    setAccessibilityValue(QStringLiteral("Conflict: ") + shortcutSpokenTitle(candidate));
    const QString announcement = QStringLiteral("Shortcut already in use");
    announce(announcement, withEscapeHint(announcement + QStringLiteral(". ") + message));
    showPopover(message, QString());
    shake();
    owner_.beep();
}

void InlineShortcutRecorder::showPopover(const QString &title, const QString &message) {
    popoverTitle_ = title;
    popoverMessage_ = message;
    if (isVisible()) {
        QString text = message.isEmpty() ? title : title + QLatin1Char('\n') + message;
        QToolTip::showText(mapToGlobal(fieldRect().bottomLeft()), text, this);
    }
}

bool InlineShortcutRecorder::isShaking() const {
    return shakeAnimation_ != nullptr && shakeAnimation_->state() == QAbstractAnimation::Running;
}

void InlineShortcutRecorder::shake() {
    if (displayOptions().current().reduceMotion) {
        return;
    }
    if (shakeAnimation_ == nullptr) {
        shakeAnimation_ = new QVariantAnimation(this);
        shakeAnimation_->setDuration(180);
        shakeAnimation_->setStartValue(0.0);
        shakeAnimation_->setEndValue(0.0);
        // A short sideways shake that settles: left, right, and smaller each time.
        const std::pair<double, double> keyframes[] = {{0.18, -4.0}, {0.4, 3.0}, {0.62, -2.0}, {0.82, 1.0}};
        for (auto [time, offset] : keyframes) {
            shakeAnimation_->setKeyValueAt(time, offset);
        }
        shakeAnimation_->setEasingCurve(settlingCurve());
        connect(shakeAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
            shakeOffset_ = value.toDouble();
            update();
        });
    }
    shakeAnimation_->stop();
    shakeAnimation_->start();
}

void InlineShortcutRecorder::closePopover() {
    popoverTitle_.clear();
    popoverMessage_.clear();
    QToolTip::hideText();
}

void InlineShortcutRecorder::refresh(bool preservingConflictText) {
    if (!(preservingConflictText && isConflict_)) {
        QString text = isRecording_ ? pressShortcut : shortcut_ ? shortcutDisplayTitle(*shortcut_) : unset;
        valueLabel_->setText(text);
        // Linux names modifiers with words: a long combination takes a smaller size rather than being clipped.
        QFont font = VeltoUI::systemFont(13);
        if (QFontMetrics(font).horizontalAdvance(text) > valueLabel_->width()) {
            font = VeltoUI::systemFont(11);
        }
        valueLabel_->setFont(font);
        QPalette palette = valueLabel_->palette();
        bool prominent = shortcut_.has_value() || isRecording_;
        palette.setColor(QPalette::WindowText,
                         (prominent ? VeltoUI::Colors::label : VeltoUI::Colors::secondaryLabel).resolved());
        valueLabel_->setPalette(palette);
        setAccessibilityValue(shortcut_ ? shortcutSpokenTitle(*shortcut_) : unset);
    }
    bool idle = !isConflict_ && !isRecording_;
    setAccessory(clearButton_, shortcut_.has_value() && idle);
    setAccessory(restoreButton_, defaultShortcut_.has_value() && shortcut_ != defaultShortcut_ && idle);
    setAccessory(warningImage_, isConflict_);
    if (!isConflict_) {
        setAccessibleHelp(recorderHelp);
    }
    tellAccessibilityChanges();
    update();
}

QString InlineShortcutRecorder::accessibleStatus() const {
    if (isConflict_ && refusedCandidate_) {
        return QStringLiteral("Conflict: ") + shortcutDisplayTitle(*refusedCandidate_);
    }
    if (isRecording_) {
        return QStringLiteral("Recording");
    }
    return shortcut_ ? shortcutDisplayTitle(*shortcut_) : unset;
}

void InlineShortcutRecorder::setAccessory(QWidget *accessory, bool visible) {
    if (visibleAccessories_.contains(accessory) == visible) {
        return;
    }
    if (visible) {
        visibleAccessories_.insert(accessory);
    } else {
        visibleAccessories_.remove(accessory);
    }
    // A fade still running towards the other state gives way to this one, from the opacity it reached.
    delete accessory->findChild<QPropertyAnimation *>(QString(), Qt::FindDirectChildrenOnly);
    if (!isVisible()) {
        opacityOf(accessory)->setOpacity(visible ? 1 : 0);
        accessory->setHidden(!visible);
        return;
    }
    if (visible) {
        accessory->show();
    }
    auto *fade = new QPropertyAnimation(opacityOf(accessory), "opacity", accessory);
    fade->setDuration(accessoryFadeMilliseconds);
    fade->setEndValue(visible ? 1.0 : 0.0);
    fade->setEasingCurve(settlingCurve());
    connect(fade, &QPropertyAnimation::finished, this, [this, accessory, visible] {
        if (visibleAccessories_.contains(accessory) == visible) {
            accessory->setHidden(!visible);
        }
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void InlineShortcutRecorder::startListening() {
    closePopover();
    startRecording();
    isConflict_ = false;
    refresh(false);
}

void InlineShortcutRecorder::mousePressEvent(QMouseEvent *event) {
    event->accept();
    setFocus(Qt::MouseFocusReason);
    startListening();
}

void InlineShortcutRecorder::focusInEvent(QFocusEvent *event) {
    QWidget::focusInEvent(event);
    // A focused recorder takes every key, so one reached with the keyboard records as a clicked one does: the
    // owner lets the global hot keys go, and a combination one of them holds reaches the recorder (and is refused
    // with its conflict) instead of firing. A click and the press action start recording themselves.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
        startRecording();
    }
}

void InlineShortcutRecorder::focusOutEvent(QFocusEvent *event) {
    QWidget::focusOutEvent(event);
    // Recording cannot outlive the focus: another window or application would keep the keys meanwhile.
    closePopover();
    stopRecording();
    isConflict_ = false;
    refresh(false);
}

void InlineShortcutRecorder::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    stopRecording();
}

void InlineShortcutRecorder::enterEvent(QEnterEvent *event) {
    QWidget::enterEvent(event);
    isHovered_ = true;
    update();
}

void InlineShortcutRecorder::leaveEvent(QEvent *event) {
    QWidget::leaveEvent(event);
    isHovered_ = false;
    update();
}

void InlineShortcutRecorder::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF field = QRectF(fieldRect()).translated(shakeOffset_, 0);
    QPainterPath outline = fieldShape(field, outlineInset);
    bool raised = isHovered_ || isRecording_;
    painter.fillPath(outline, (raised ? VeltoUI::Colors::surface : VeltoUI::Colors::field).resolved());
    // The focus ring lies inside the outline, clear of its stroke, so that a refusal's red shows while focused.
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), focusRingWidth));
        painter.drawPath(fieldShape(field, focusRingInset));
    }
    QColor conflictRed = systemRed();
    conflictRed.setAlphaF(0.9f);
    QColor stroke = isConflict_  ? conflictRed
                    : isHovered_ ? VeltoUI::Colors::strongBorder.resolved()
                                 : VeltoUI::Colors::border.resolved();
    painter.setPen(QPen(stroke, isConflict_ ? 1.5 : 1.0));
    painter.drawPath(outline);
}

} // namespace velto
