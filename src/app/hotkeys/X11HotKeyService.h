#pragma once

#include "app/hotkeys/HotKeyController.h"

#include <QtCore/QObject>

#include <memory>

class QWindow;

namespace velto {

class X11KeyGrabs;

/// The production hot-key operations on Linux: X11 key grabs on the application's own connection. A press
/// reaches the controller through the main event loop, after the event filter has returned.
class X11HotKeyService : public std::enable_shared_from_this<X11HotKeyService> {
public:
    /// The service on the application's X connection; nothing when the application does not run on X11.
    static std::shared_ptr<X11HotKeyService> forApplication();
    explicit X11HotKeyService(std::unique_ptr<X11KeyGrabs> grabs);
    ~X11HotKeyService();

    HotKeyOperations operations();

    /// Keeps every key typed from now on for `window` until it takes the focus (or hides, or after about two
    /// seconds), so that keys typed right after the hot key that shows it, before it could take the focus,
    /// reach it in order instead of the window that had the focus.
    void holdKeyboardUntilFocused(QWindow *window, std::uint32_t time);

    /// Operations that refuse every registration: where no X11 is available.
    static HotKeyOperations unavailable();

private:
    struct Registration {
        std::uint8_t keyCode;
        std::uint16_t modifiers;
        HotKeyID id;
    };
    void deliver(std::uint8_t keyCode, std::uint16_t modifiers, bool isPress, std::uint32_t time);

    std::unique_ptr<X11KeyGrabs> grabs_;
    HotKeyController *handlerTarget_ = nullptr;
    QMetaObject::Connection keyEvents_;
    HotKeyOperations::Reference nextReference_ = 1;
    std::map<HotKeyOperations::Reference, Registration> registrations_;
};

} // namespace velto
