#pragma once

#include "settings/SettingsCallbacks.h"

#include <functional>

namespace velto {

/// The Welcome's answer: start writing, or choose another show/hide shortcut where the default could not be taken
/// (each with the launch-at-login switch's state), or closed without an answer.
struct WelcomeChoice {
    enum class Kind { startWriting, chooseShortcut, cancel };
    Kind kind = Kind::cancel;
    bool launchAtLogin = false;

    static WelcomeChoice startWriting(bool launchAtLogin) { return {Kind::startWriting, launchAtLogin}; }
    static WelcomeChoice chooseShortcut(bool launchAtLogin) { return {Kind::chooseShortcut, launchAtLogin}; }
    static WelcomeChoice cancel() { return {}; }
    friend bool operator==(const WelcomeChoice &, const WelcomeChoice &) = default;
};

enum class WelcomeOutcome { dismissed, notRecorded, started };

/// Carries out the Welcome's answer, in a fixed order: record that it was answered, apply the launch-at-login
/// choice, show the panel (or the shortcut's recorder), then ask for approval when the login item needs it (over
/// the window just shown).
struct WelcomeWorkflow {
    /// Records the first-run flag; false when it cannot be stored.
    std::function<bool()> completeWelcome;
    /// Brings launching at login to the wanted state; answers the status that follows. Throws on failure.
    std::function<LaunchAtLoginStatus(bool)> setLaunchAtLoginEnabled;
    std::function<void()> showEditor;
    /// Shows Settings' recorder of the show/hide shortcut.
    std::function<void()> chooseShortcut;
    std::function<void()> requestLaunchAtLoginApproval;

    /// Throws what `setLaunchAtLoginEnabled` throws (the flag is recorded by then; nothing is shown yet).
    WelcomeOutcome handle(const WelcomeChoice &choice) const;
    /// Where the answer leads: the panel, or the shortcut's recorder.
    void showDestination(const WelcomeChoice &choice) const;
};

} // namespace velto
