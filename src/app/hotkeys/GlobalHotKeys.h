#pragma once

#include "app/hotkeys/HotKeyController.h"
#include "preferences/ShortcutRegistrationAvailability.h"

#include <QtCore/QObject>

#include <cstdint>
#include <memory>
#include <optional>

class QWindow;

namespace velto {

class PortalHotKeyService;
class X11HotKeyService;

/// The session's two global shortcuts, show-or-hide and append-clipboard: grabbed from the X server, or, in a
/// Wayland session whose desktop portal offers global shortcuts, offered to the desktop and rebound through it
/// (XWayland would accept X11 grabs but fire them only while a Velto window has the focus). Made by the
/// composition; nothing reaches the session until the shell registers the shortcuts at launch.
class GlobalHotKeys : public QObject {
    Q_OBJECT

public:
    GlobalHotKeys();
    ~GlobalHotKeys() override;

    /// Connects to the session's hot-key service and registers both shortcuts; answers which are usable. A
    /// session without X11 has none, says so once on standard error and reports both usable: no alert is due.
    ShortcutRegistrationAvailability registerDefaults();
    /// What registers the shortcuts again and takes them off (the Settings window); nullptr before registering.
    HotKeyController *controller() const { return controller_.get(); }
    /// Keys typed from now on go to `window` once it has the focus instead of the window that had it, while a
    /// big page is laid out; nothing without an X server.
    void holdKeyboardUntilFocused(QWindow *window, std::uint32_t keyEventTime);
    /// Takes the shortcuts off and lets the services go.
    void release();

signals:
    /// The show-or-hide shortcut, with its key event's X server time; none through the portal, whose activation
    /// carries no time to ask for the focus with.
    void togglePressed(std::optional<std::uint32_t> keyEventTime);
    void appendClipboardPressed();

private:
    /// The portal's hot keys, when the session bus offers the desktop portal's global shortcuts.
    bool makePortalHotKeyService();

    std::shared_ptr<X11HotKeyService> x11Service_;
    std::unique_ptr<HotKeyController> controller_;
    std::unique_ptr<PortalHotKeyService> portalService_;
};

} // namespace velto
