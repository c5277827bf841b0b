#include "ui/AccessibilityAnnouncement.h"

#include <QtGui/QAccessible>

namespace velto {

AccessibilityAnnouncement::AccessibilityAnnouncement(QObject *element, QString message, AnnouncementPriority priority)
    : QAccessibleEvent(element, QAccessible::DescriptionChanged)
    , message_(std::move(message))
    , priority_(priority) {}

namespace {

std::function<void(QAccessibleEvent &)> &eventReceiver() {
    static std::function<void(QAccessibleEvent &)> receiver;
    return receiver;
}

} // namespace

void postAccessibilityEvent(QAccessibleEvent &event) {
    if (eventReceiver()) {
        eventReceiver()(event);
    } else {
        QAccessible::updateAccessibility(&event);
    }
}

void setAccessibilityEventReceiver(std::function<void(QAccessibleEvent &)> receiver) {
    eventReceiver() = std::move(receiver);
}

} // namespace velto
