// The shell's side of the Welcome: deciding whether it shows, running it, and carrying out its answer with
// the preferences, the autostart entry and the panel.
#include "app/AppDelegate.h"
#include "app/LaunchAtLogin.h"
#include "app/LaunchTrace.h"
#include "app/WelcomeWindowController.h"
#include "preferences/Preferences.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include <stdexcept>

namespace velto {

void AppDelegate::presentWelcomeIfNeeded() {
    bool shows = testLaunchConfiguration_.isEnabled ? testLaunchConfiguration_.showsWelcome
                                                    : !VeltoPreferences::hasCompletedWelcome();
    if (!shows || welcomeWindowController_) {
        return;
    }
    welcomeWindowController_ = std::make_unique<WelcomeWindowController>();
    launchTrace::milestone("welcome shown");
    WelcomeChoice choice = welcomeWindowController_->runModal();
    welcomeWindowController_.reset();
    handleWelcomeChoice(choice);
}

void AppDelegate::answerToggleShortcut(std::optional<std::uint32_t> keyEventTime) {
    // While the Welcome is up, the shortcut it teaches answers it: "Start writing".
    if (welcomeWindowController_) {
        welcomeWindowController_->startWriting();
        return;
    }
    togglePanel(keyEventTime);
}

WelcomeWorkflow AppDelegate::makeWelcomeWorkflow() {
    QPointer<AppDelegate> self(this);
    WelcomeWorkflow workflow;
    workflow.completeWelcome = [self] {
        if (!self) {
            return false;
        }
        // A smoke test records nothing: the next one greets again.
        return self->testLaunchConfiguration_.isEnabled || VeltoPreferences::completeWelcome();
    };
    workflow.setLaunchAtLoginEnabled = [self](bool enabled) {
        if (!self) {
            return LaunchAtLoginStatus::unavailable;
        }
        if (self->testLaunchConfiguration_.isEnabled) {
            return enabled ? LaunchAtLoginStatus::enabled : LaunchAtLoginStatus::disabled;
        }
        return launchAtLogin::applyWantedState(self->launchAtLoginService_, enabled);
    };
    workflow.showEditor = [self] {
        if (self) {
            self->showPage();
        }
    };
    workflow.requestLaunchAtLoginApproval = [self] {
        if (self) {
            self->presentLaunchAtLoginApproval();
        }
    };
    return workflow;
}

void AppDelegate::handleWelcomeChoice(WelcomeChoice choice) {
    QPointer<AppDelegate> self(this);
    // After the Welcome's modal run has ended, so that the alerts below never nest in it.
    QTimer::singleShot(0, this, [self, choice] {
        if (!self) {
            return;
        }
        try {
            self->makeWelcomeWorkflow().handle(choice);
        } catch (const std::exception &error) {
            self->presentLaunchAtLoginError(error.what());
            if (self) {
                self->showPage();
            }
        }
    });
}

void AppDelegate::presentLaunchAtLoginError(const std::string &description) {
    presentAlert({QStringLiteral("Velto Couldn’t Change Launch at Login"),
                  QString::fromStdString(description) +
                      QStringLiteral("\n\nYou can change this later in Velto Settings or in your desktop’s startup "
                                     "applications."),
                  ShellAlert::Style::warning});
}

void AppDelegate::presentLaunchAtLoginApproval() {
    int response = presentAlert({QStringLiteral("Allow Velto to Launch at Login"),
                                 QStringLiteral("Velto is registered to start when you log in, but your desktop "
                                                "requires your approval before it can open automatically."),
                                 ShellAlert::Style::informational,
                                 {QStringLiteral("Open Startup Applications"), QStringLiteral("Later")}});
    if (response == firstAlertButton) {
        launchAtLoginService_.openSystemSettings();
    }
}

} // namespace velto
