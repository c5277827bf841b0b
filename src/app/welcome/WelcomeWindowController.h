#pragma once

#include "app/welcome/WelcomeWorkflow.h"
#include "preferences/GlobalShortcut.h"

#include <QtWidgets/QDialog>

#include <cstdint>
#include <optional>

class QCheckBox;
class QPushButton;

namespace velto {

/// Whether a key press is the show-or-hide shortcut: the same key code and the same modifiers among Shift,
/// Control, Option and Command (Caps Lock and other flags take no part). Never without a shortcut.
bool isShowOrHideShortcut(const std::optional<GlobalShortcut> &shortcut, std::uint32_t keyCode,
                          std::uint64_t modifierFlags);

/// The Welcome of the first launch: a small modal window that teaches the show-or-hide shortcut, offers to
/// launch Velto at login and answers "Start writing" (the button, Return, or the shortcut itself) or, when
/// closed, `cancel`. It teaches the shortcut in effect, as stored. Where another program holds it, or none is set,
/// it says so instead of teaching a key that does nothing, and Return answers "Choose a shortcut…".
class WelcomeWindowController : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize contentSize{500, 252};

    /// `takenShowOrHideShortcut`: the show-or-hide shortcut that could not be registered, if any.
    explicit WelcomeWindowController(std::optional<GlobalShortcut> takenShowOrHideShortcut = std::nullopt,
                                     QWidget *parent = nullptr);

    /// Shows the window modally and answers once it is gone. While it runs, the show-or-hide shortcut pressed
    /// in it answers "Start writing" and goes no further.
    WelcomeChoice runModal();

    /// Answers "Start writing" with the switch's state and ends the modal run (also what the global shortcut
    /// does while the Welcome is up).
    void startWriting();
    /// Answers "Choose a shortcut…" with the switch's state and ends the modal run.
    void chooseShortcut();

    WelcomeChoice choice() const { return choice_; }
    QCheckBox *launchAtLoginSwitch() const { return launchAtLoginSwitch_; }
    QPushButton *startWritingButton() const { return startWritingButton_; }
    /// Only while no show-or-hide shortcut works (taken or not set); nullptr otherwise.
    QPushButton *chooseShortcutButton() const { return chooseShortcutButton_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    WelcomeChoice choice_ = WelcomeChoice::cancel();
    bool monitorsShortcut_ = false;
    QCheckBox *launchAtLoginSwitch_ = nullptr;
    QPushButton *startWritingButton_ = nullptr;
    QPushButton *chooseShortcutButton_ = nullptr;
};

} // namespace velto
