#include "app/welcome/WelcomePresenter.h"

#include "app/lifecycle/LaunchAtLogin.h"
#include "app/lifecycle/LaunchTrace.h"
#include "app/shell/ApplicationShell.h"
#include "app/welcome/WelcomeWindowController.h"
#include "preferences/Preferences.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>

#include <stdexcept>

namespace velto {

WelcomePresenter::WelcomePresenter(ApplicationShell &shell,
                                   const ApplicationTestLaunchConfiguration &testLaunchConfiguration,
                                   LaunchAtLoginService launchAtLoginService)
    : shell_(shell)
    , testLaunchConfiguration_(testLaunchConfiguration)
    , launchAtLoginService_(std::move(launchAtLoginService)) {}

WelcomePresenter::~WelcomePresenter() = default;

void WelcomePresenter::presentIfNeeded(bool showOrHideShortcutAvailable) {
    bool shows = testLaunchConfiguration_.isEnabled ? testLaunchConfiguration_.showsWelcome
                                                    : !VeltoPreferences::hasCompletedWelcome();
    if (!shows || windowController_) {
        return;
    }
    windowController_ = std::make_unique<WelcomeWindowController>(
        showOrHideShortcutAvailable ? std::nullopt : VeltoPreferences::globalShortcut());
    launchTrace::milestone("welcome shown");
    WelcomeChoice choice = windowController_->runModal();
    windowController_.reset();
    handleChoice(choice);
}

bool WelcomePresenter::startWritingIfShown() {
    if (!windowController_) {
        return false;
    }
    windowController_->startWriting();
    return true;
}

WelcomeWorkflow WelcomePresenter::makeWorkflow() {
    QPointer<WelcomePresenter> self(this);
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
            self->shell_.showPage();
        }
    };
    workflow.chooseShortcut = [self] {
        if (self) {
            self->shell_.chooseShowOrHideShortcut();
        }
    };
    workflow.requestLaunchAtLoginApproval = [self] {
        if (self) {
            self->presentLaunchAtLoginApproval();
        }
    };
    return workflow;
}

void WelcomePresenter::handleChoice(WelcomeChoice choice) {
    QPointer<WelcomePresenter> self(this);
    // After the Welcome's modal run has ended, so that the alerts below never nest in it.
    QTimer::singleShot(0, this, [self, choice] {
        if (!self) {
            return;
        }
        WelcomeWorkflow workflow = self->makeWorkflow();
        try {
            workflow.handle(choice);
        } catch (const std::exception &error) {
            self->presentLaunchAtLoginError(error.what());
            workflow.showDestination(choice);
        }
    });
}

void WelcomePresenter::presentLaunchAtLoginError(const std::string &description) {
    shell_.presentAlert({QStringLiteral("Velto Couldn’t Change Launch at Login"),
                         QString::fromStdString(description) +
                             QStringLiteral("\n\nYou can change this later in Velto Settings or in your desktop’s "
                                            "startup applications."),
                         ShellAlert::Style::warning});
}

void WelcomePresenter::presentLaunchAtLoginApproval() {
    int response = shell_.presentAlert({QStringLiteral("Allow Velto to Launch at Login"),
                                        QStringLiteral("Velto is registered to start when you log in, but your "
                                                       "desktop requires your approval before it can open "
                                                       "automatically."),
                                        ShellAlert::Style::informational,
                                        {QStringLiteral("Open Startup Applications"), QStringLiteral("Later")}});
    if (response == firstAlertButton) {
        launchAtLoginService_.openSystemSettings();
    }
}

} // namespace velto
