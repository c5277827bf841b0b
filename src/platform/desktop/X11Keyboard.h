#pragma once

#include "platform/desktop/XkbKeymap.h"

#include <QtCore/QObject>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

struct xcb_connection_t;
class QSocketNotifier;

namespace velto {

/// The X server's keyboard as the user has it now: its keymap and the layout currently selected, read
/// through the XKB extension on a connection of our own (the preferences layer runs without a GUI).
/// Changes of the selected layout or of the keymap are announced from XKB events.
class X11Keyboard : public QObject {
    Q_OBJECT

public:
    /// The process's keyboard, connected on first use; nothing when there is no X display (or no XKB).
    static X11Keyboard *shared();

    /// A keyboard on its own connection to the named display (":1"); nothing when it cannot be reached.
    static std::unique_ptr<X11Keyboard> connect(const char *displayName);

    ~X11Keyboard() override;
    X11Keyboard(const X11Keyboard &) = delete;
    X11Keyboard &operator=(const X11Keyboard &) = delete;

    /// What the key types in the layout selected at this moment, with Shift held or not; see XkbKeymap.
    std::optional<std::string> typedText(std::uint32_t x11KeyCode, bool shift);

    /// Starts reading the keyboard's events on the calling thread's event loop, so that `layoutChanged` is
    /// announced; a later call changes nothing.
    void startWatching();

signals:
    /// The selected layout or the keymap changed.
    void layoutChanged();

private:
    X11Keyboard(xcb_connection_t *connection, std::int32_t deviceId, std::uint8_t xkbEventBase);

    /// Reads every queued event; true when one of them changed the layout or the keymap.
    bool drainEvents();
    void handleSocketActivity();
    std::optional<std::uint32_t> selectedLayoutIndexFromServer();

    std::mutex mutex_;
    xcb_connection_t *connection_;
    std::int32_t deviceId_;
    std::uint8_t xkbEventBase_;
    std::shared_ptr<const XkbKeymap> keymap_;
    /// The selected layout as the server last told it, kept up to date from its state events: asked for every
    /// typed key, a round trip to the server cost each key a wait for its answer.
    std::optional<std::uint32_t> layoutIndex_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace velto
