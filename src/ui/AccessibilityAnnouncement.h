#pragma once

#include <QtCore/QString>
#include <QtGui/QAccessibleEvent>

#include <functional>

namespace velto {

/// How urgently assistive technologies should speak an announcement: a high one interrupts what is being read.
enum class AnnouncementPriority { low = 10, medium = 50, high = 90 };

/// A sentence for assistive technologies to speak about an element, such as why a key press was refused.
/// It travels as an alert of the element, so that a bridge or a recording update handler can read its text.
class AccessibilityAnnouncement : public QAccessibleEvent {
public:
    AccessibilityAnnouncement(QObject *element, QString message, AnnouncementPriority priority);

    const QString &message() const { return message_; }
    AnnouncementPriority priority() const { return priority_; }

private:
    QString message_;
    AnnouncementPriority priority_;
};

/// Posts an announcement about `element` to assistive technologies. Main thread only.
void announceForAccessibility(QObject *element, const QString &message,
                              AnnouncementPriority priority = AnnouncementPriority::medium);

/// Sends an accessibility event (an announcement, a changed value) to assistive technologies through Qt, or to
/// the receiver installed in its place.
void postAccessibilityEvent(QAccessibleEvent &event);
/// Where the kit's accessibility events go instead of Qt's bridge: tests record them there, as offscreen Qt has
/// no bridge to switch on. An empty function restores Qt's.
void setAccessibilityEventReceiver(std::function<void(QAccessibleEvent &)> receiver);

} // namespace velto
