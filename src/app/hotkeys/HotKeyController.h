#pragma once

#include "preferences/GlobalShortcut.h"
#include "preferences/ShortcutRegistrationAvailability.h"

#include <QtCore/QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace velto {

/// A registered hot key's identifier: the signature 'VLTO' and the number of the hot key.
struct HotKeyID {
    static constexpr std::uint32_t veltoSignature = 0x564C544F;
    static constexpr std::uint32_t toggle = 1;
    static constexpr std::uint32_t appendClipboard = 2;

    std::uint32_t signature = veltoSignature;
    std::uint32_t id = 0;
    friend bool operator==(const HotKeyID &, const HotKeyID &) = default;
};

/// One press or release of a registered hot key, as the platform reports it.
struct HotKeyEvent {
    HotKeyID hotKeyID;
    bool isPress = true;
    /// The server's time stamp in milliseconds: a release and a press at the same moment are one
    /// auto-repeat of a held key on a server that reports repeats as release-press pairs.
    std::uint32_t time = 0;
};

class HotKeyController;

/// Success of a hot-key operation; any other status is a failure.
inline constexpr std::int32_t hotKeyNoErr = 0;
/// A press the handler did not take.
inline constexpr std::int32_t hotKeyEventNotHandled = -9874;

/// The four operations through which the controller reaches the system's hot-key service, so that its
/// rules run without a display. References are opaque numbers the operations hand out.
struct HotKeyOperations {
    using Reference = std::uint64_t;
    /// Installs the handler that passes the service's events to `controller`; writes its reference.
    std::function<std::int32_t(HotKeyController *controller, std::optional<Reference> &handler)> installEventHandler;
    /// Registers one key code with the hot-key modifier mask (GlobalShortcut::carbonModifiers) under an identifier.
    std::function<std::int32_t(std::uint32_t keyCode, std::uint32_t carbonModifiers, HotKeyID id,
                               std::optional<Reference> &hotKey)>
        registerEventHotKey;
    std::function<std::int32_t(Reference hotKey)> unregisterEventHotKey;
    std::function<std::int32_t(Reference handler)> removeEventHandler;
};

/// Owns the registration of the two global hot keys (show or hide, append clipboard) and announces their presses
/// on the main thread.
class HotKeyController : public QObject {
    Q_OBJECT

public:
    using ShortcutProvider = std::function<std::optional<GlobalShortcut>()>;

    /// Empty providers read the stored preferences.
    explicit HotKeyController(HotKeyOperations operations, ShortcutProvider shortcutProvider = {},
                              ShortcutProvider appendShortcutProvider = {});
    ~HotKeyController() override;

    /// (Re)registers both hot keys from the providers; answers which of the set shortcuts are usable.
    ShortcutRegistrationAvailability registerDefaults();
    /// Unregisters every hot key; the event handler stays installed.
    void unregisterAll();
    /// What the last registration answered (both usable before the first): a recorder's pause in between, which
    /// takes every hot key off for a moment, does not count.
    ShortcutRegistrationAvailability availability() const { return availability_; }

    /// The handler of the service's events: announces a press of hot key 1 or 2. A press that repeats a key
    /// still held (no release seen since its last press) announces nothing. Answers the status.
    std::int32_t handleHotKeyEvent(const std::optional<HotKeyEvent> &event);

    /// The X server time of the key event being announced (0 outside an announcement): showing a window for it
    /// asks the window manager for focus with this time.
    std::uint32_t currentEventTime() const { return currentEventTime_; }

    /// Longer than any keyboard's delay before it repeats a held key, in milliseconds.
    static constexpr std::uint32_t maximumRepeatInterval = 1500;

    const std::vector<HotKeyOperations::Reference> &hotKeys() const { return hotKeys_; }
    bool hasEventHandler() const { return eventHandler_.has_value(); }

signals:
    /// The show-or-hide shortcut was pressed.
    void togglePressed();
    /// The append-clipboard shortcut was pressed.
    void appendClipboardPressed();

private:
    bool isAutoRepeat(const HotKeyEvent &event);
    ShortcutRegistrationAvailability registerBoth();

    std::optional<HotKeyOperations::Reference> eventHandler_;
    std::vector<HotKeyOperations::Reference> hotKeys_;
    HotKeyOperations operations_;
    ShortcutProvider shortcutProvider_;
    ShortcutProvider appendShortcutProvider_;

    struct KeyState {
        bool held = false;
        std::optional<std::uint32_t> lastPressTime;
        std::optional<std::uint32_t> lastReleaseTime;
    };
    std::map<std::uint32_t, KeyState> keyStates_;
    std::uint32_t currentEventTime_ = 0;
    ShortcutRegistrationAvailability availability_;
};

} // namespace velto
