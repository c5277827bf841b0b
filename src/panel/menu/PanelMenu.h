#pragma once

#include <QtCore/QString>
#include <qcoro/qcorotask.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace velto {

struct PanelMenu;

/// One entry of a menu that the panel builds, described without widgets so that tests read it as data.
struct PanelMenuItem {
    enum class Kind { action, separator };
    Kind kind = Kind::action;
    /// What the item reads; a part after a tab is drawn right-aligned (a shortcut).
    QString text;
    /// How many characters at the end of `text` are drawn in the small menu font (a page item's recency).
    int smallTextLength = 0;
    bool enabled = true;
    bool checkable = false;
    bool checked = false;
    /// A page item's page identifier (upper-case UUID text).
    QString data;
    QString toolTip;
    /// A command item's command ("page.new"), read back by the command registry.
    QString identifier;
    /// What choosing the item does; none for information lines and submenu items.
    std::function<void()> trigger;
    std::shared_ptr<PanelMenu> submenu;

    static PanelMenuItem separator() {
        PanelMenuItem item;
        item.kind = Kind::separator;
        return item;
    }
};

/// A menu: its items, and what fills it later.
struct PanelMenu {
    /// Items that replace others once they are known: a page item's title and tooltip after its archived
    /// preview loaded, keyed by page identifier.
    using ItemRefresh = std::function<QCoro::Task<std::map<QString, PanelMenuItem>>()>;

    QString title;
    std::vector<PanelMenuItem> items;
    /// Set on a submenu filled only when it first opens: its items then replace the placeholder items.
    std::function<PanelMenu()> fillOnOpen;
    /// Set when some items are to be refreshed after an asynchronous load.
    ItemRefresh refreshItems;
};

} // namespace velto
