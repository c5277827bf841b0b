#include "app/hotkeys/X11HotKeyService.h"

#include "app/lifecycle/LaunchTrace.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/X11KeyGrabs.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <QtCore/QPointer>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QWindow>

#include <chrono>
#include <memory>
#include <utility>

namespace velto {

namespace {

constexpr std::int32_t hotKeyFailure = -1;
constexpr std::int32_t hotKeyInUse = -9878; // the platform's "hot key exists" status
/// How long the keyboard stays held when the window never takes the focus (longer while the event loop is busy).
constexpr int keyboardHoldLimitMilliseconds = 2000;
/// How long at most, even when the event loop never runs again: the keyboard never stays with a hung Velto.
constexpr std::chrono::seconds longestKeyboardHold{10};

std::uint64_t modifierFlags(std::uint32_t carbonModifiers) {
    std::uint64_t flags = 0;
    if ((carbonModifiers & 0x200) != 0) {
        flags |= keyCodes::shiftFlag;
    }
    if ((carbonModifiers & 0x1000) != 0) {
        flags |= keyCodes::controlFlag;
    }
    if ((carbonModifiers & 0x800) != 0) {
        flags |= keyCodes::optionFlag;
    }
    if ((carbonModifiers & 0x100) != 0) {
        flags |= keyCodes::commandFlag;
    }
    return flags;
}

} // namespace

X11HotKeyService::X11HotKeyService(std::unique_ptr<X11KeyGrabs> grabs)
    : grabs_(std::move(grabs)) {}

X11HotKeyService::~X11HotKeyService() = default;

std::shared_ptr<X11HotKeyService> X11HotKeyService::forApplication() {
    auto grabs = X11KeyGrabs::forApplication();
    if (!grabs) {
        return nullptr;
    }
    return std::make_shared<X11HotKeyService>(std::move(grabs));
}

void X11HotKeyService::deliver(std::uint8_t keyCode, std::uint16_t modifiers, bool isPress, std::uint32_t time) {
    for (const auto &[reference, registration] : registrations_) {
        if (registration.keyCode != keyCode || registration.modifiers != modifiers) {
            continue;
        }
        HotKeyEvent event{registration.id, isPress, time};
        std::weak_ptr<X11HotKeyService> service = weak_from_this();
        HotKeyController *target = handlerTarget_;
        // The filter runs inside the toolkit's event handling: the callbacks run after it, from the loop.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [service, target, event] {
                auto alive = service.lock();
                if (alive && alive->handlerTarget_ == target && target != nullptr) {
                    target->handleHotKeyEvent(event);
                }
            },
            Qt::QueuedConnection);
        return;
    }
}

HotKeyOperations X11HotKeyService::operations() {
    std::weak_ptr<X11HotKeyService> weak = weak_from_this();
    HotKeyOperations operations;
    operations.installEventHandler = [weak](HotKeyController *controller,
                                            std::optional<HotKeyOperations::Reference> &handler) {
        auto service = weak.lock();
        if (!service) {
            return hotKeyFailure;
        }
        service->handlerTarget_ = controller;
        X11HotKeyService *raw = service.get();
        QObject::disconnect(service->keyEvents_);
        service->keyEvents_ =
            QObject::connect(service->grabs_.get(), &X11KeyGrabs::keyEvent, [raw](const X11KeyGrabs::KeyEvent &event) {
                raw->deliver(event.keyCode, event.modifiers, event.isPress, event.time);
            });
        handler = 1;
        return hotKeyNoErr;
    };
    operations.registerEventHotKey = [weak](std::uint32_t keyCode, std::uint32_t carbonModifiers, HotKeyID id,
                                            std::optional<HotKeyOperations::Reference> &hotKey) {
        auto service = weak.lock();
        std::optional<std::uint32_t> x11Code = keyCodes::x11KeyCode(keyCode);
        if (!service || !x11Code || *x11Code > 255) {
            return hotKeyFailure;
        }
        auto code = static_cast<std::uint8_t>(*x11Code);
        std::uint16_t mask = service->grabs_->modifierMask(modifierFlags(carbonModifiers));
        switch (service->grabs_->grab(code, mask)) {
        case X11KeyGrabs::GrabResult::grabbed:
            break;
        case X11KeyGrabs::GrabResult::heldByAnotherClient:
            return hotKeyInUse;
        case X11KeyGrabs::GrabResult::failed:
            return hotKeyFailure;
        }
        HotKeyOperations::Reference reference = service->nextReference_++;
        service->registrations_[reference] = {code, mask, id};
        hotKey = reference;
        return hotKeyNoErr;
    };
    operations.unregisterEventHotKey = [weak](HotKeyOperations::Reference hotKey) {
        auto service = weak.lock();
        if (!service) {
            return hotKeyFailure;
        }
        auto found = service->registrations_.find(hotKey);
        if (found == service->registrations_.end()) {
            return hotKeyFailure;
        }
        service->grabs_->ungrab(found->second.keyCode, found->second.modifiers);
        service->registrations_.erase(found);
        return hotKeyNoErr;
    };
    operations.removeEventHandler = [weak](HotKeyOperations::Reference) {
        auto service = weak.lock();
        if (!service) {
            return hotKeyFailure;
        }
        service->handlerTarget_ = nullptr;
        QObject::disconnect(service->keyEvents_);
        return hotKeyNoErr;
    };
    return operations;
}

void X11HotKeyService::holdKeyboardUntilFocused(QWindow *window, std::uint32_t time) {
    if (window == nullptr || window == QGuiApplication::focusWindow() ||
        !grabs_->holdKeyboard(static_cast<std::uint32_t>(window->winId()), time, longestKeyboardHold)) {
        return;
    }
    launchTrace::milestone("keyboard held");
    std::weak_ptr<X11HotKeyService> weak = weak_from_this();
    QPointer<QWindow> held(window);
    // One context object for the connections that end the hold: deleting it disconnects them all. The first
    // of them to come lets go; a later hold is not this one's to end.
    auto *hold = new QObject(window);
    auto released = std::make_shared<bool>(false);
    const auto release = [weak, hold, released] {
        if (std::exchange(*released, true)) {
            return;
        }
        if (auto service = weak.lock()) {
            service->grabs_->releaseKeyboard();
        }
        hold->deleteLater();
    };
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, hold, [held, release](QWindow *focused) {
        if (focused == held) {
            release();
        }
    });
    QObject::connect(window, &QWindow::visibleChanged, hold, [release](bool visible) {
        if (!visible) {
            release();
        }
    });
    QObject::connect(window, &QObject::destroyed, hold, release);
    QTimer::singleShot(keyboardHoldLimitMilliseconds, hold, release);
}

HotKeyOperations X11HotKeyService::unavailable() {
    HotKeyOperations operations;
    operations.installEventHandler = [](HotKeyController *, std::optional<HotKeyOperations::Reference> &) {
        return hotKeyFailure;
    };
    operations.registerEventHotKey = [](std::uint32_t, std::uint32_t, HotKeyID,
                                        std::optional<HotKeyOperations::Reference> &) { return hotKeyFailure; };
    operations.unregisterEventHotKey = [](HotKeyOperations::Reference) { return hotKeyNoErr; };
    operations.removeEventHandler = [](HotKeyOperations::Reference) { return hotKeyNoErr; };
    return operations;
}

} // namespace velto
