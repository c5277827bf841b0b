#include "preferences/KeyboardInputSourceMonitor.h"

#include "platform/desktop/X11Keyboard.h"

#include <QtCore/QMetaMethod>

namespace velto {

SystemKeyboardInputSource &SystemKeyboardInputSource::shared() {
    static SystemKeyboardInputSource *source = new SystemKeyboardInputSource;
    return *source;
}

SystemKeyboardInputSource::SystemKeyboardInputSource() {
    if (X11Keyboard *keyboard = X11Keyboard::shared()) {
        connect(keyboard, &X11Keyboard::layoutChanged, this,
                &SystemKeyboardInputSource::postSelectedKeyboardInputSourceChanged);
        keyboard->startWatching();
    }
}

KeyboardInputSourceMonitor::KeyboardInputSourceMonitor(QObject *source, VeltoNotificationCenter *destination,
                                                       const QByteArray &sourceNotification)
    : destination_(destination) {
    const QMetaObject *sourceType = source->metaObject();
    int signalIndex = sourceType->indexOfSignal(QMetaObject::normalizedSignature(sourceNotification.constData()));
    int slotIndex = metaObject()->indexOfSlot("relaySourceNotification()");
    if (signalIndex < 0) {
        return;
    }
    // Queued: the relay runs from the event loop of the monitor's (main) thread, and a notification still
    // queued when the monitor is destroyed is dropped with it.
    QObject::connect(source, sourceType->method(signalIndex), this, metaObject()->method(slotIndex),
                     Qt::QueuedConnection);
}

KeyboardInputSourceMonitor::KeyboardInputSourceMonitor()
    : KeyboardInputSourceMonitor(&SystemKeyboardInputSource::shared(), &VeltoNotificationCenter::defaultCenter(),
                                 "selectedKeyboardInputSourceChanged()") {}

void KeyboardInputSourceMonitor::relaySourceNotification() {
    if (destination_ != nullptr) {
        destination_->postKeyboardInputSourceDidChange();
    }
}

} // namespace velto
