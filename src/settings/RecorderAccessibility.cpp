#include "settings/RecorderAccessibility.h"

#include "settings/RecorderKeyWidget.h"

#include <QtGui/QAccessible>

namespace velto {

namespace {

QAccessibleInterface *recorderFactory(const QString &, QObject *object) {
    if (auto *recorder = qobject_cast<RecorderKeyWidget *>(object)) {
        return new RecorderAccessibility(recorder);
    }
    return nullptr;
}

} // namespace

RecorderAccessibility::RecorderAccessibility(RecorderKeyWidget *recorder)
    : QAccessibleWidget(recorder, QAccessible::Button) {}

RecorderKeyWidget *RecorderAccessibility::recorder() const {
    return static_cast<RecorderKeyWidget *>(widget());
}

QString RecorderAccessibility::text(QAccessible::Text type) const {
    switch (type) {
    case QAccessible::Name:
        return recorder()->spokenName();
    case QAccessible::Value:
        return recorder()->accessibilityValue();
    case QAccessible::Description:
    case QAccessible::Help: // some readers ask for the help of the moment as help
        return recorder()->accessibleHelp();
    default:
        return QAccessibleWidget::text(type);
    }
}

QStringList RecorderAccessibility::actionNames() const {
    return {QAccessibleActionInterface::pressAction()};
}

void RecorderAccessibility::doAction(const QString &actionName) {
    if (actionName == QAccessibleActionInterface::pressAction()) {
        recorder()->accessibilityPerformPress();
    }
}

void installRecorderAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(recorderFactory);
        return true;
    }();
    (void)installed;
}

} // namespace velto
