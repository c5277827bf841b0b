#include "panel/window/AccessibleRoles.h"

#include "panel/browse/VeltoContentUnavailableView.h"
#include "panel/feedback/PanelFeedbackController.h"
#include "panel/window/PanelResizeHandle.h"

#include <QtGui/QAccessible>
#include <QtWidgets/QAccessibleWidget>

namespace velto {

namespace {

QAccessibleInterface *accessibleWithRole(const QString &className, QObject *object) {
    if (!object->isWidgetType()) {
        return nullptr;
    }
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String(PanelFeedbackView::staticMetaObject.className())) {
        return new QAccessibleWidget(widget, QAccessible::AlertMessage);
    }
    if (className == QLatin1String(VeltoContentUnavailableView::staticMetaObject.className())) {
        return new QAccessibleWidget(widget, QAccessible::Grouping);
    }
    if (className == QLatin1String(PanelResizeHandle::staticMetaObject.className())) {
        return new QAccessibleWidget(widget, QAccessible::Grip);
    }
    return nullptr;
}

} // namespace

void installAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(accessibleWithRole);
        return true;
    }();
    (void)installed;
}

} // namespace velto
