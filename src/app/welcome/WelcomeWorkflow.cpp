#include "app/welcome/WelcomeWorkflow.h"

namespace velto {

WelcomeOutcome WelcomeWorkflow::handle(const WelcomeChoice &choice) const {
    if (choice.kind == WelcomeChoice::Kind::cancel) {
        return WelcomeOutcome::dismissed;
    }
    // Without the record the Welcome comes back next launch: nothing else may happen as if it had been answered.
    if (!completeWelcome()) {
        return WelcomeOutcome::notRecorded;
    }
    LaunchAtLoginStatus status = setLaunchAtLoginEnabled(choice.launchAtLogin);
    showDestination(choice);
    if (status == LaunchAtLoginStatus::requiresApproval) {
        requestLaunchAtLoginApproval();
    }
    return WelcomeOutcome::started;
}

void WelcomeWorkflow::showDestination(const WelcomeChoice &choice) const {
    if (choice.kind == WelcomeChoice::Kind::chooseShortcut) {
        chooseShortcut();
    } else {
        showEditor();
    }
}

} // namespace velto
