#include "app/hotkeys/GlobalHotKeys.h"

#include "app/hotkeys/GlobalShortcutsPortal.h"
#include "app/hotkeys/PortalHotKeyService.h"
#include "app/hotkeys/X11HotKeyService.h"
#include "app/lifecycle/LaunchTrace.h"
#include "preferences/Preferences.h"

#include <cstdio>

namespace velto {

namespace {

constexpr char waylandShortcutWarning[] = "Global shortcuts work only while a Velto window is active in this Wayland "
                                          "session. Use the tray icon to open Velto.";

bool isWaylandSession() {
    return qEnvironmentVariable("XDG_SESSION_TYPE") == QStringLiteral("wayland") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

GlobalHotKeys::GlobalHotKeys() = default;

GlobalHotKeys::~GlobalHotKeys() {
    release();
}

ShortcutRegistrationAvailability GlobalHotKeys::registerDefaults() {
    x11Service_ = X11HotKeyService::forApplication();
    bool throughPortal = x11Service_ && isWaylandSession() && makePortalHotKeyService();
    HotKeyOperations operations = throughPortal ? portalService_->operations()
                                  : x11Service_ ? x11Service_->operations()
                                                : X11HotKeyService::unavailable();
    controller_ = std::make_unique<HotKeyController>(std::move(operations));
    connect(controller_.get(), &HotKeyController::togglePressed, this, [this, throughPortal] {
        emit togglePressed(throughPortal ? std::nullopt : std::optional(controller_->currentEventTime()));
    });
    connect(controller_.get(), &HotKeyController::appendClipboardPressed, this, &GlobalHotKeys::appendClipboardPressed);
    ShortcutRegistrationAvailability availability = controller_->registerDefaults();
    launchTrace::milestone("hot keys registered");
    if (!x11Service_) {
        std::fprintf(stderr, "Velto: Global shortcuts are unavailable in this session.\n");
        return ShortcutRegistrationAvailability{true, true}; // said once above; no alert for a missing X server
    }
    if (isWaylandSession() && !throughPortal) {
        std::fprintf(stderr, "Velto: %s\n", waylandShortcutWarning);
    }
    return availability;
}

bool GlobalHotKeys::makePortalHotKeyService() {
    auto portal = std::make_unique<GlobalShortcutsPortal>();
    if (!portal->isAvailable()) {
        return false;
    }
    portalService_ = std::make_unique<PortalHotKeyService>(std::move(portal), [](HotKeyID id) {
        return id.id == HotKeyID::toggle ? VeltoPreferences::globalShortcut()
                                         : VeltoPreferences::appendClipboardShortcut();
    });
    connect(portalService_.get(), &PortalHotKeyService::bound, this, [](bool bound) {
        if (!bound) {
            std::fprintf(stderr, "Velto: %s\n", waylandShortcutWarning);
        }
    });
    return true;
}

void GlobalHotKeys::holdKeyboardUntilFocused(QWindow *window, std::uint32_t keyEventTime) {
    if (x11Service_) {
        x11Service_->holdKeyboardUntilFocused(window, keyEventTime);
    }
}

void GlobalHotKeys::release() {
    controller_.reset();
    portalService_.reset();
    x11Service_.reset();
}

} // namespace velto
