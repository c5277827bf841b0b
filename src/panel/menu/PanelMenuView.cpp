#include "panel/menu/PanelMenuView.h"

#include "panel/menu/PageMenuItemStyle.h"
#include "ui/WindowAppearance.h"

#include <QtCore/QPointer>
#include <QtGui/QActionGroup>
#include <QtGui/QTextDocument>
#include <QtWidgets/QMenu>

namespace velto::PanelMenuView {
namespace {

QCoro::Task<void> refreshWhenLoaded(QPointer<QMenu> target, PanelMenu::ItemRefresh refresh) {
    std::map<QString, PanelMenuItem> refreshed = co_await refresh();
    if (target.isNull()) {
        co_return; // the menu closed before the load ended
    }
    for (QAction *action : target->actions()) {
        auto found = refreshed.find(action->data().toString());
        if (found != refreshed.end() && !action->isSeparator()) {
            configure(action, found->second);
        }
    }
}

/// The menu's checkable items share one exclusive group: the style then marks the chosen one with a round
/// mark, which reads as "this one of these" and not as a task checkbox.
QActionGroup *exclusiveGroup(QMenu *target) {
    auto *group = target->findChild<QActionGroup *>(QString(), Qt::FindDirectChildrenOnly);
    if (group == nullptr) {
        group = new QActionGroup(target);
        group->setExclusive(true);
    }
    return group;
}

void addItem(QMenu *target, const PanelMenuItem &item) {
    if (item.kind == PanelMenuItem::Kind::separator) {
        target->addSeparator();
        return;
    }
    QAction *action = nullptr;
    if (item.submenu) {
        QMenu *submenu = make(*item.submenu, target);
        action = submenu->menuAction();
        target->addAction(action);
    } else {
        action = target->addAction(QString());
    }
    configure(action, item);
    if (item.checkable) {
        exclusiveGroup(target)->addAction(action);
    }
    if (item.trigger) {
        QObject::connect(action, &QAction::triggered, action, [trigger = item.trigger] { trigger(); });
    }
}

} // namespace

void configure(QAction *action, const PanelMenuItem &item) {
    // An ampersand in a page's title is a character, not the mark of a mnemonic.
    action->setText(QString(item.text).replace(QLatin1Char('&'), QStringLiteral("&&")));
    PageMenuItemStyle::setSmallTextLength(action, item.smallTextLength);
    action->setEnabled(item.enabled);
    action->setCheckable(item.checkable);
    action->setChecked(item.checked);
    action->setData(item.data.isEmpty() ? QVariant() : QVariant(item.data));
    action->setToolTip(plainTextToolTip(item.toolTip)); // empty: the action's text
    action->setObjectName(item.identifier);
}

QString plainTextToolTip(const QString &text) {
    // A tooltip that looks like markup is shown as markup: a page that starts with "<b>" or "<!--" would lose
    // its text. Such a text goes escaped, its blanks and line breaks kept.
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void fill(QMenu *target, const PanelMenu &menu) {
    for (QAction *action : target->actions()) {
        target->removeAction(action);
        if (action->parent() == target) {
            action->deleteLater();
        }
    }
    for (const PanelMenuItem &item : menu.items) {
        addItem(target, item);
    }
    if (menu.refreshItems) {
        refreshWhenLoaded(QPointer<QMenu>(target), menu.refreshItems);
    }
}

QMenu *make(const PanelMenu &menu, QWidget *parent) {
    auto *target = new QMenu(menu.title, parent);
    target->setStyle(PageMenuItemStyle::shared());
    target->setToolTipsVisible(true);
    followAppearance(target);
    fill(target, menu);
    if (menu.fillOnOpen) {
        auto pending = std::make_shared<std::function<PanelMenu()>>(menu.fillOnOpen);
        QObject::connect(target, &QMenu::aboutToShow, target, [target, pending] {
            if (*pending) {
                std::function<PanelMenu()> fillOnce = std::move(*pending);
                *pending = nullptr;
                fill(target, fillOnce());
            }
        });
    }
    return target;
}

} // namespace velto::PanelMenuView
