#pragma once

#include "app/hotkeys/GlobalShortcutsPortal.h"
#include "app/hotkeys/HotKeyController.h"

#include <QtCore/QObject>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace velto {

/// The hot-key operations of a Wayland session with the desktop portal's global shortcuts: registering a hot
/// key offers its shortcut to the desktop, which binds it (often after asking the user) or keeps the keys it
/// has; a press reaches the controller as the portal's activation. Every change of the registered shortcuts in
/// one turn of the event loop becomes one new binding session, so that Settings rebinds through the portal.
class PortalHotKeyService : public QObject {
    Q_OBJECT

public:
    /// The shortcut stored for a hot key, offered to the desktop as its preferred trigger.
    using ShortcutOf = std::function<std::optional<GlobalShortcut>(HotKeyID)>;

    PortalHotKeyService(std::unique_ptr<GlobalShortcutsPortal> portal, ShortcutOf shortcutOf);
    ~PortalHotKeyService() override;

    HotKeyOperations operations();

    GlobalShortcutsPortal &portal() { return *portal_; }

signals:
    /// False when the desktop declined or could not bind the offered shortcuts.
    void bound(bool success);

private:
    void scheduleBinding();
    void bindRegisteredShortcuts();
    void deliver(const QString &portalID);

    std::unique_ptr<GlobalShortcutsPortal> portal_;
    ShortcutOf shortcutOf_;
    HotKeyController *target_ = nullptr;
    std::map<HotKeyOperations::Reference, HotKeyID> registered_;
    HotKeyOperations::Reference nextReference_ = 1;
    /// What the desktop was last offered: hot key number and trigger.
    std::optional<std::map<std::uint32_t, QString>> offered_;
    bool bindingScheduled_ = false;
    std::uint32_t nextEventTime_ = 0;
};

} // namespace velto
