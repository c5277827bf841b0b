#pragma once

#include "settings/SettingsCallbacks.h"

#include <functional>

namespace velto {

/// The Welcome's answer: start writing (with the launch-at-login switch's state), or closed without an answer.
struct WelcomeChoice {
    enum class Kind { startWriting, cancel };
    Kind kind = Kind::cancel;
    bool launchAtLogin = false;

    static WelcomeChoice startWriting(bool launchAtLogin) { return {Kind::startWriting, launchAtLogin}; }
    static WelcomeChoice cancel() { return {}; }
    friend bool operator==(const WelcomeChoice &, const WelcomeChoice &) = default;
};

enum class WelcomeOutcome { dismissed, notRecorded, started };

/// Carries out the Welcome's answer, in a fixed order: record that it was answered, apply the launch-at-login
/// choice, show the panel, then ask for approval when the login item needs it (over the visible panel).
struct WelcomeWorkflow {
    /// Records the first-run flag; false when it cannot be stored.
    std::function<bool()> completeWelcome;
    /// Brings launching at login to the wanted state; answers the status that follows. Throws on failure.
    std::function<LaunchAtLoginStatus(bool)> setLaunchAtLoginEnabled;
    std::function<void()> showEditor;
    std::function<void()> requestLaunchAtLoginApproval;

    /// Throws what `setLaunchAtLoginEnabled` throws (the flag is recorded by then; the panel is not shown yet).
    WelcomeOutcome handle(const WelcomeChoice &choice) const;
};

} // namespace velto
