#pragma once

#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "app/welcome/WelcomeWorkflow.h"

#include <QtCore/QObject>

#include <memory>
#include <string>

namespace velto {

class ApplicationShell;
class WelcomeWindowController;

/// The shell's side of the Welcome: deciding whether it shows, running it, and carrying out its answer with
/// the preferences, the autostart entry and the panel.
class WelcomePresenter : public QObject {
public:
    WelcomePresenter(ApplicationShell &shell, const ApplicationTestLaunchConfiguration &testLaunchConfiguration,
                     LaunchAtLoginService launchAtLoginService);
    ~WelcomePresenter() override;

    /// The Welcome on the first launch (in a smoke test, when asked for): runs it modally, then carries out
    /// its answer. Nothing once it has been answered. Without the show/hide shortcut, the Welcome says that it is
    /// taken and offers to choose another.
    void presentIfNeeded(bool showOrHideShortcutAvailable = true);
    /// While the Welcome is up, the show-or-hide shortcut it teaches answers it with "Start writing": true
    /// then, false when there is no Welcome to answer.
    bool startWritingIfShown();
    /// Carries out the Welcome's answer after the current event: records it, applies launching at login,
    /// shows the panel; a failed login change is shown before the panel opens.
    void handleChoice(WelcomeChoice choice);
    WelcomeWindowController *windowController() const { return windowController_.get(); }

private:
    WelcomeWorkflow makeWorkflow();
    void presentLaunchAtLoginError(const std::string &description);
    void presentLaunchAtLoginApproval();

    ApplicationShell &shell_;
    const ApplicationTestLaunchConfiguration &testLaunchConfiguration_;
    LaunchAtLoginService launchAtLoginService_;
    std::unique_ptr<WelcomeWindowController> windowController_;
};

} // namespace velto
