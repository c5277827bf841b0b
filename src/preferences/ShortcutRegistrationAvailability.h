#pragma once

namespace velto {

/// After an attempt to register both global hot keys: whether each is usable (registered, or not set).
struct ShortcutRegistrationAvailability {
    bool toggle = true;
    bool appendClipboard = true;

    bool allAvailable() const { return toggle && appendClipboard; }
    friend bool operator==(const ShortcutRegistrationAvailability &,
                           const ShortcutRegistrationAvailability &) = default;
};

} // namespace velto
