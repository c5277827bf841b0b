#include "app/hotkeys/PortalHotKeyService.h"

#include <QtCore/QPointer>
#include <QtCore/QTimer>

namespace velto {

namespace {

constexpr std::int32_t hotKeyFailure = -1;

QString portalID(std::uint32_t hotKey) {
    return hotKey == HotKeyID::toggle ? QStringLiteral("toggle") : QStringLiteral("append-clipboard");
}

QString portalDescription(std::uint32_t hotKey) {
    return hotKey == HotKeyID::toggle ? QStringLiteral("Show or hide Velto") : QStringLiteral("Append clipboard text");
}

} // namespace

PortalHotKeyService::PortalHotKeyService(std::unique_ptr<GlobalShortcutsPortal> portal, ShortcutOf shortcutOf)
    : portal_(std::move(portal))
    , shortcutOf_(std::move(shortcutOf)) {
    connect(portal_.get(), &GlobalShortcutsPortal::activated, this, &PortalHotKeyService::deliver);
    connect(portal_.get(), &GlobalShortcutsPortal::bound, this, &PortalHotKeyService::bound);
}

PortalHotKeyService::~PortalHotKeyService() {
    // The portal goes with the members, after this body: what it announces meanwhile reaches no half-gone service.
    portal_->disconnect(this);
}

HotKeyOperations PortalHotKeyService::operations() {
    QPointer<PortalHotKeyService> service(this);
    HotKeyOperations operations;
    operations.installEventHandler = [service](HotKeyController *controller,
                                               std::optional<HotKeyOperations::Reference> &handler) {
        if (!service) {
            return hotKeyFailure;
        }
        service->target_ = controller;
        handler = 1;
        return hotKeyNoErr;
    };
    operations.registerEventHotKey = [service](std::uint32_t, std::uint32_t, HotKeyID id,
                                               std::optional<HotKeyOperations::Reference> &hotKey) {
        if (!service) {
            return hotKeyFailure;
        }
        HotKeyOperations::Reference reference = service->nextReference_++;
        service->registered_[reference] = id;
        hotKey = reference;
        service->scheduleBinding();
        return hotKeyNoErr;
    };
    operations.unregisterEventHotKey = [service](HotKeyOperations::Reference hotKey) {
        if (!service || service->registered_.erase(hotKey) == 0) {
            return hotKeyFailure;
        }
        service->scheduleBinding();
        return hotKeyNoErr;
    };
    operations.removeEventHandler = [service](HotKeyOperations::Reference) {
        if (service) {
            service->target_ = nullptr;
        }
        return hotKeyNoErr;
    };
    return operations;
}

void PortalHotKeyService::scheduleBinding() {
    if (bindingScheduled_) {
        return;
    }
    bindingScheduled_ = true;
    // Registering anew unregisters both hot keys and registers them again: one binding for all of it.
    QTimer::singleShot(0, this, [this] {
        bindingScheduled_ = false;
        bindRegisteredShortcuts();
    });
}

void PortalHotKeyService::bindRegisteredShortcuts() {
    std::vector<GlobalShortcutsPortal::Binding> bindings;
    std::map<std::uint32_t, QString> offering;
    for (const auto &[reference, id] : registered_) {
        std::optional<GlobalShortcut> shortcut = shortcutOf_(id);
        if (!shortcut) {
            continue;
        }
        bindings.push_back({portalID(id.id), portalDescription(id.id), *shortcut});
        offering[id.id] = GlobalShortcutsPortal::preferredTrigger(*shortcut).value_or(QString());
    }
    // Nothing registered (a recorder listens): the desktop keeps its bindings, and presses go nowhere meanwhile.
    // The same shortcuts again: no new session, so the desktop does not ask again.
    if (bindings.empty() || offering == offered_) {
        return;
    }
    offered_ = offering;
    portal_->bind(std::move(bindings));
}

void PortalHotKeyService::deliver(const QString &id) {
    if (target_ == nullptr) {
        return;
    }
    for (const auto &[reference, hotKey] : registered_) {
        if (portalID(hotKey.id) != id) {
            continue;
        }
        // The portal reports whole presses: a press and its release, far enough from the last press that the
        // controller never takes it for a repeat of a held key.
        nextEventTime_ += 2 * HotKeyController::maximumRepeatInterval;
        target_->handleHotKeyEvent(HotKeyEvent{hotKey, true, nextEventTime_});
        target_->handleHotKeyEvent(HotKeyEvent{hotKey, false, nextEventTime_ + 1});
        return;
    }
}

} // namespace velto
