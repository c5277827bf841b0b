#include "app/hotkeys/HotKeyController.h"

#include "preferences/Preferences.h"

namespace velto {

namespace {

/// Shift, Control, Option and Command: the only flags that make two shortcuts differ.
bool sameCombination(const GlobalShortcut &a, const GlobalShortcut &b) {
    return a.keyCode == b.keyCode &&
           (a.modifiers & ModifierFlags::supportedMask) == (b.modifiers & ModifierFlags::supportedMask);
}

} // namespace

HotKeyController::HotKeyController(HotKeyOperations operations, ShortcutProvider shortcutProvider,
                                   ShortcutProvider appendShortcutProvider)
    : operations_(std::move(operations))
    , shortcutProvider_(shortcutProvider ? std::move(shortcutProvider)
                                         : ShortcutProvider(&VeltoPreferences::globalShortcut))
    , appendShortcutProvider_(appendShortcutProvider ? std::move(appendShortcutProvider)
                                                     : ShortcutProvider(&VeltoPreferences::appendClipboardShortcut)) {}

HotKeyController::~HotKeyController() {
    for (auto hotKey : hotKeys_) {
        operations_.unregisterEventHotKey(hotKey);
    }
    if (eventHandler_) {
        operations_.removeEventHandler(*eventHandler_);
    }
}

ShortcutRegistrationAvailability HotKeyController::registerDefaults() {
    availability_ = registerBoth();
    return availability_;
}

ShortcutRegistrationAvailability HotKeyController::registerBoth() {
    if (!eventHandler_) {
        std::optional<HotKeyOperations::Reference> handler;
        std::int32_t status = operations_.installEventHandler(this, handler);
        if (status != hotKeyNoErr) {
            if (handler) {
                operations_.removeEventHandler(*handler);
            }
            return {false, false};
        }
        if (!handler) {
            return {false, false};
        }
        eventHandler_ = handler;
    }

    for (auto hotKey : hotKeys_) {
        operations_.unregisterEventHotKey(hotKey);
    }
    hotKeys_.clear();
    // A registration starts every key afresh: a release may have gone to the unregistered grab.
    keyStates_.clear();

    std::optional<GlobalShortcut> toggleShortcut = shortcutProvider_();
    std::optional<GlobalShortcut> appendShortcut = appendShortcutProvider_();
    if (toggleShortcut && appendShortcut && sameCombination(*toggleShortcut, *appendShortcut)) {
        return {false, false};
    }

    std::vector<HotKeyOperations::Reference> registered;
    auto registerShortcut = [&](const GlobalShortcut &shortcut, std::uint32_t id) {
        std::optional<HotKeyOperations::Reference> hotKey;
        std::int32_t status = operations_.registerEventHotKey(shortcut.keyCode, shortcut.carbonModifiers(),
                                                              HotKeyID{HotKeyID::veltoSignature, id}, hotKey);
        if (status != hotKeyNoErr || !hotKey) {
            if (hotKey) {
                operations_.unregisterEventHotKey(*hotKey);
            }
            return false;
        }
        registered.push_back(*hotKey);
        return true;
    };

    if (toggleShortcut && !registerShortcut(*toggleShortcut, HotKeyID::toggle)) {
        return {false, false};
    }
    if (appendShortcut && !registerShortcut(*appendShortcut, HotKeyID::appendClipboard)) {
        hotKeys_ = registered;
        return {true, false};
    }
    hotKeys_ = registered;
    return {true, true};
}

void HotKeyController::unregisterAll() {
    for (auto hotKey : hotKeys_) {
        operations_.unregisterEventHotKey(hotKey);
    }
    hotKeys_.clear();
    keyStates_.clear();
}

bool HotKeyController::isAutoRepeat(const HotKeyEvent &event) {
    KeyState &state = keyStates_[event.hotKeyID.id];
    if (!event.isPress) {
        state.held = false;
        state.lastReleaseTime = event.time;
        return true; // a release runs nothing either
    }
    // A held key repeats as presses without releases, or (without detectable auto-repeat) as a release and a
    // press with the same time stamp. Repeats follow each other within the keyboard's repeat delay, so a press
    // long after the last one is a new press whose release went astray (to a grab that ended early).
    bool recentlyPressed =
        state.lastPressTime && static_cast<std::uint32_t>(event.time - *state.lastPressTime) < maximumRepeatInterval;
    bool repeat = (state.held && recentlyPressed) || (state.lastReleaseTime && *state.lastReleaseTime == event.time);
    state.held = true;
    state.lastPressTime = event.time;
    return repeat;
}

std::int32_t HotKeyController::handleHotKeyEvent(const std::optional<HotKeyEvent> &event) {
    if (!event) {
        return hotKeyEventNotHandled;
    }
    if (isAutoRepeat(*event)) {
        return hotKeyNoErr;
    }
    currentEventTime_ = event->time;
    if (event->hotKeyID.id == HotKeyID::appendClipboard) {
        emit appendClipboardPressed();
    } else if (event->hotKeyID.id == HotKeyID::toggle) {
        emit togglePressed();
    }
    currentEventTime_ = 0;
    return hotKeyNoErr;
}

} // namespace velto
