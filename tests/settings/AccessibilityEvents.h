#pragma once

#include "ui/AccessibilityAnnouncement.h"

#include <QtGui/QAccessible>

#include <optional>
#include <vector>

namespace velto::testing {

/// Records what would reach assistive technologies while it lives: the kit hands its accessibility events to
/// the installed receiver instead of Qt's bridge.
class AccessibilityEvents {
public:
    struct Event {
        QAccessible::Event type;
        QObject *object;
        QString text; // an announcement's message, a value change's value, or the changed name or description
        std::optional<AnnouncementPriority> priority;
    };

    AccessibilityEvents() {
        recorded().clear();
        setAccessibilityEventReceiver([](QAccessibleEvent &event) { record(&event); });
    }
    ~AccessibilityEvents() { setAccessibilityEventReceiver({}); }
    AccessibilityEvents(const AccessibilityEvents &) = delete;
    AccessibilityEvents &operator=(const AccessibilityEvents &) = delete;

    const std::vector<Event> &events() const { return recorded(); }
    void clear() { recorded().clear(); }
    /// What assistive technologies were told of `object` by events of one type (a name or description as it was
    /// then), in order.
    std::vector<QString> told(const QObject *object, QAccessible::Event type) const {
        std::vector<QString> texts;
        for (const Event &event : recorded()) {
            if (event.type == type && event.object == object) {
                texts.push_back(event.text);
            }
        }
        return texts;
    }
    /// The messages of the announcements made about `object`, in order.
    std::vector<QString> announcements(const QObject *object) const {
        std::vector<QString> messages;
        for (const Event &event : recorded()) {
            if (event.priority && event.object == object) {
                messages.push_back(event.text);
            }
        }
        return messages;
    }

private:
    static std::vector<Event> &recorded() {
        static std::vector<Event> events;
        return events;
    }
    static void record(QAccessibleEvent *event) {
        Event entry{event->type(), event->object(), {}, std::nullopt};
        if (const auto *announcement = dynamic_cast<AccessibilityAnnouncement *>(event)) {
            entry.text = announcement->message();
            entry.priority = announcement->priority();
        } else if (event->type() == QAccessible::ValueChanged) {
            entry.text = static_cast<QAccessibleValueChangeEvent *>(event)->value().toString();
        } else if (event->type() == QAccessible::NameChanged) {
            entry.text = event->accessibleInterface()->text(QAccessible::Name);
        } else if (event->type() == QAccessible::DescriptionChanged) {
            entry.text = event->accessibleInterface()->text(QAccessible::Description);
        }
        recorded().push_back(entry);
    }
};

} // namespace velto::testing
