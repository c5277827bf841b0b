#pragma once

#include <QtCore/QString>
#include <QtGui/QAccessibleEvent>

#include <functional>

namespace velto {

/// How urgently assistive technologies should speak an announcement: a high one interrupts what is being read.
enum class AnnouncementPriority { low = 10, medium = 50, high = 90 };

/// A sentence for assistive technologies to speak about an element, such as why a key press was refused. It
/// travels as a change of the element's description, which the element has made hold the sentence: Qt's AT-SPI
/// bridge drops alerts and has no announcements, while a screen reader speaks a changed description of the
/// focused element. A recording update handler reads its text and priority.
class AccessibilityAnnouncement : public QAccessibleEvent {
public:
    AccessibilityAnnouncement(QObject *element, QString message, AnnouncementPriority priority);

    const QString &message() const { return message_; }
    AnnouncementPriority priority() const { return priority_; }

private:
    QString message_;
    AnnouncementPriority priority_;
};

/// Sends an accessibility event (an announcement, a changed name) to assistive technologies through Qt, or to
/// the receiver installed in its place.
void postAccessibilityEvent(QAccessibleEvent &event);
/// Where the kit's accessibility events go instead of Qt's bridge: tests record them there, as offscreen Qt has
/// no bridge to switch on. An empty function restores Qt's.
void setAccessibilityEventReceiver(std::function<void(QAccessibleEvent &)> receiver);

} // namespace velto
