#include "app/welcome/WelcomeWindowController.h"

#include "app/welcome/WelcomeViews.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/KeyEventTranslation.h"
#include "preferences/Preferences.h"
#include "ui/HoverButton.h"
#include "ui/VeltoUIControls.h"

#include <QtCore/QTimer>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QVBoxLayout>

namespace velto {

bool isShowOrHideShortcut(const std::optional<GlobalShortcut> &shortcut, std::uint32_t keyCode,
                          std::uint64_t modifierFlags) {
    return shortcut && shortcut->keyCode == keyCode &&
           (shortcut->modifiers & keyCodes::supportedModifierMask) == (modifierFlags & keyCodes::supportedModifierMask);
}

WelcomeWindowController::WelcomeWindowController(std::optional<GlobalShortcut> takenShowOrHideShortcut, QWidget *parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Velto"));
    // Names the window's purpose to the window manager (and lets tests tell it from the panel).
    setWindowRole(QStringLiteral("welcome"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint);
    setFixedSize(contentSize);

    auto *background = new WelcomeBackgroundView(this);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(background);

    auto *content = new QVBoxLayout(background);
    const QMargins margins(30, 46 - WelcomeShortcutKeycapView::shadowMargin, 24, 20);
    content->setContentsMargins(margins);
    content->setSpacing(0);
    // The shortcut in effect is taught only while it works: a taken one or none gets the invitation to choose.
    std::optional<GlobalShortcut> showOrHideShortcut = VeltoPreferences::globalShortcut();
    bool offersChoosingShortcut = takenShowOrHideShortcut || !showOrHideShortcut;
    if (offersChoosingShortcut) {
        content->addWidget(new WelcomeChooseShortcutView(noWorkingShortcutReason(takenShowOrHideShortcut), background));
    } else {
        int room = contentSize.width() - margins.left() - margins.right();
        content->addWidget(new WelcomeInstructionView(*showOrHideShortcut, room, background), 0, Qt::AlignHCenter);
    }
    content->addSpacing(28 - WelcomeShortcutKeycapView::shadowMargin);

    auto makeButton = [background](const QString &title, HoverButton::Prominence prominence, int width,
                                   std::function<void()> action) {
        auto *button = new HoverButton(background);
        VeltoUI::configure(*button, title, prominence, std::move(action));
        button->setFont(VeltoUI::systemFont(13, QFont::DemiBold));
        button->setFixedSize(width, 32);
        return button;
    };
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    buttons->addStretch();
    // Where no shortcut works, choosing one comes first; writing stays one click away.
    HoverButton::Prominence startProminence =
        offersChoosingShortcut ? HoverButton::Prominence::secondary : HoverButton::Prominence::primary;
    startWritingButton_ = makeButton(QStringLiteral("Start writing"), startProminence, 126, [this] { startWriting(); });
    buttons->addWidget(startWritingButton_);
    if (offersChoosingShortcut) {
        chooseShortcutButton_ = makeButton(QStringLiteral("Choose a shortcut…"), HoverButton::Prominence::primary, 160,
                                           [this] { chooseShortcut(); });
        buttons->addWidget(chooseShortcutButton_);
    }
    buttons->addStretch();
    content->addLayout(buttons);
    content->addStretch();
    // Return presses the first choice, whichever control has the focus.
    QPushButton *defaultButton = chooseShortcutButton_ ? chooseShortcutButton_ : startWritingButton_;
    defaultButton->setDefault(true);

    // The label stands before the switch, as the row reads.
    launchAtLoginSwitch_ = new QCheckBox(QStringLiteral("Launch Velto at login"), background);
    launchAtLoginSwitch_->setLayoutDirection(Qt::RightToLeft);
    launchAtLoginSwitch_->setChecked(true);
    launchAtLoginSwitch_->setFont(VeltoUI::Typography::detail());
    launchAtLoginSwitch_->setAccessibleName(QStringLiteral("Launch Velto at login"));
    launchAtLoginSwitch_->setAccessibleDescription(QStringLiteral("Keep Velto ready in the tray after you log in."));
    QPalette palette = launchAtLoginSwitch_->palette();
    palette.setColor(QPalette::WindowText, VeltoUI::Colors::secondaryLabel.resolved());
    launchAtLoginSwitch_->setPalette(palette);
    auto *loginRow = new QHBoxLayout;
    loginRow->addStretch();
    loginRow->addWidget(launchAtLoginSwitch_);
    content->addLayout(loginRow);

    defaultButton->setFocus();
}

WelcomeChoice WelcomeWindowController::runModal() {
    choice_ = WelcomeChoice::cancel();
    // The shortcut monitor: every key press of the application passes through it while the window runs.
    qApp->installEventFilter(this);
    monitorsShortcut_ = true;
    exec(); // centres the window on the screen and ends with startWriting, Return, Escape or closing
    monitorsShortcut_ = false;
    qApp->removeEventFilter(this);
    hide();
    return choice_;
}

void WelcomeWindowController::startWriting() {
    choice_ = WelcomeChoice::startWriting(launchAtLoginSwitch_->isChecked());
    accept();
}

void WelcomeWindowController::chooseShortcut() {
    choice_ = WelcomeChoice::chooseShortcut(launchAtLoginSwitch_->isChecked());
    accept();
}

bool WelcomeWindowController::eventFilter(QObject *watched, QEvent *event) {
    if (!monitorsShortcut_ || event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    // The native key code read through the key-code table, so a remapped layout still finds the key.
    const auto &key = static_cast<const QKeyEvent &>(*event);
    if (!isShowOrHideShortcut(VeltoPreferences::globalShortcut(), editor::portableKeyCode(key),
                              editor::modifierFlags(key))) {
        return QDialog::eventFilter(watched, event);
    }
    startWriting();
    return true;
}

void WelcomeWindowController::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Launched from a terminal or at login, Velto has no active window yet: the Welcome takes the keyboard.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
}

} // namespace velto
