#include "preferences/CommandCatalog.h"

#include "preferences/Preferences.h"
#include "preferences/StoredShortcut.h"

#include <algorithm>

namespace velto {

namespace {

using Menu = VeltoCommandMenuPlacement::Menu;
using enum VeltoCommandID;
using enum VeltoCommandAvailability;

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t control = ModifierFlags::control;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

VeltoCommandShortcut commandShortcut(const char *preferenceKey, const char *settingsTitle, std::uint32_t keyCode,
                                     std::uint64_t modifiers, const char *keyLabel, int hintOrder,
                                     const char *hintTitle) {
    return {QString::fromUtf8(preferenceKey), QString::fromUtf8(settingsTitle),
            GlobalShortcut{keyCode, modifiers, QString::fromUtf8(keyLabel)},
            VeltoCommandHint{hintOrder, QString::fromUtf8(hintTitle)}};
}

VeltoCommandMenuPlacement inView(int group, int order) {
    return {Menu::view, group, order};
}

// The labels "+" and "−" (minus sign) sit on the US "=" (24) and "-" (27) keys; "⇥" is Tab (48).
std::vector<VeltoCommandDescriptor> catalogTable() {
    return {
        {newPage, "Start New Page", editableNonemptyPage,
         commandShortcut("newPage", "Start New Page", 45, command, "N", 0, "New page"), std::nullopt},
        {archivePage, "Archive Page", editableArchivablePage,
         commandShortcut("archivePage", "Archive Page", 0, shift | command, "A", 1, "Archive page"), std::nullopt},
        {browsePages, QStringLiteral("Browse Pages…"), always, std::nullopt, std::nullopt},
        {nextPage, "Next Page", always, commandShortcut("nextPage", "Next Page", 48, control, "⇥", 3, "Next page"),
         std::nullopt},
        {previousPage, "Previous Page", always,
         commandShortcut("previousPage", "Previous Page", 48, control | shift, "⇥", 2, "Previous page"), std::nullopt},
        {closePanel, "Close Window", always,
         commandShortcut("closePanel", "Close Window", 13, command, "W", 16, "Close window"),
         VeltoCommandMenuPlacement{Menu::file, 0, 0}},
        {openSettings, QStringLiteral("Settings…"), always,
         commandShortcut("openSettings", "Settings", 43, command, ",", 11, "Open settings"),
         VeltoCommandMenuPlacement{Menu::application, 0, 0}},
        {increaseTextSize, "Increase Text Size", always,
         commandShortcut("increaseTextSize", "Increase Text Size", 24, command, "+", 9, "Text size up"), inView(0, 0)},
        {decreaseTextSize, "Decrease Text Size", always,
         commandShortcut("decreaseTextSize", "Decrease Text Size", 27, command, "−", 8, "Text size down"),
         inView(0, 1)},
        {resetTextSize, "Actual Size", always,
         commandShortcut("resetTextSize", "Actual Size", 29, command, "0", 10, "Reset text size"), inView(0, 2)},
        {increasePanelSize, "Increase Panel Size", always,
         commandShortcut("increasePanelSize", "Increase Panel Size", 24, option | command, "+", 13, "Panel size up"),
         inView(1, 0)},
        {decreasePanelSize, "Decrease Panel Size", always,
         commandShortcut("decreasePanelSize", "Decrease Panel Size", 27, option | command, "−", 12, "Panel size down"),
         inView(1, 1)},
        {fitPanelToContent, "Fit Panel to Content", always,
         commandShortcut("resetPanelSize", "Fit Panel to Content", 29, option | command, "0", 17, "Fit panel"),
         inView(1, 2)},
        {toggleTaskCheckbox, "Toggle Task Checkbox", editableTaskCheckbox,
         commandShortcut("toggleTaskCheckbox", "Toggle Task Checkbox", 37, command, "L", 14, "Toggle task"),
         inView(2, 0)},
        {toggleMarkdownFormatting, "Format Markdown", always,
         commandShortcut("toggleMarkdownFormatting", "Format Markdown", 46, option | command, "M", 15,
                         "Format Markdown"),
         inView(2, 1)},
    };
}

StoredShortcutKeys overrideKeys(const VeltoCommandShortcut &commandShortcut) {
    QString prefix = QStringLiteral("appShortcut.") + commandShortcut.preferenceKey;
    return {prefix + QStringLiteral(".configured"), prefix + QStringLiteral(".keyCode"),
            prefix + QStringLiteral(".modifiers"), prefix + QStringLiteral(".keyLabel")};
}

/// The commands placed in one menu, by ascending order (stable, so equal orders keep table order).
std::vector<VeltoCommandID> commandsPlacedIn(Menu menu, std::optional<int> group) {
    std::vector<const VeltoCommandDescriptor *> placed;
    for (const VeltoCommandDescriptor &descriptor : VeltoCommandCatalog::descriptors()) {
        const auto &placement = descriptor.menuPlacement;
        if (placement && placement->menu == menu && (!group || placement->group == *group)) {
            placed.push_back(&descriptor);
        }
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto *a, const auto *b) { return a->menuPlacement->order < b->menuPlacement->order; });
    std::vector<VeltoCommandID> ids;
    for (const VeltoCommandDescriptor *descriptor : placed) {
        ids.push_back(descriptor->id);
    }
    return ids;
}

} // namespace

const std::array<VeltoCommandID, 15> &allCommandIDs() {
    static const std::array<VeltoCommandID, 15> ids{
        newPage,           archivePage,       browsePages,       nextPage,           previousPage,
        closePanel,        openSettings,      increaseTextSize,  decreaseTextSize,   resetTextSize,
        increasePanelSize, decreasePanelSize, fitPanelToContent, toggleTaskCheckbox, toggleMarkdownFormatting,
    };
    return ids;
}

QString rawValue(VeltoCommandID id) {
    switch (id) {
    case newPage:
        return QStringLiteral("page.new");
    case archivePage:
        return QStringLiteral("page.archive");
    case browsePages:
        return QStringLiteral("page.browse");
    case nextPage:
        return QStringLiteral("page.next");
    case previousPage:
        return QStringLiteral("page.previous");
    case closePanel:
        return QStringLiteral("panel.close");
    case openSettings:
        return QStringLiteral("settings.open");
    case increaseTextSize:
        return QStringLiteral("editor.text-size.increase");
    case decreaseTextSize:
        return QStringLiteral("editor.text-size.decrease");
    case resetTextSize:
        return QStringLiteral("editor.text-size.reset");
    case increasePanelSize:
        return QStringLiteral("panel.size.increase");
    case decreasePanelSize:
        return QStringLiteral("panel.size.decrease");
    case fitPanelToContent:
        return QStringLiteral("panel.size.reset");
    case toggleTaskCheckbox:
        return QStringLiteral("editor.task-checkbox.toggle");
    case toggleMarkdownFormatting:
        return QStringLiteral("editor.markdown-formatting.toggle");
    }
    return {};
}

std::optional<VeltoCommandID> commandIDFromRawValue(const QString &text) {
    for (VeltoCommandID id : allCommandIDs()) {
        if (rawValue(id) == text) {
            return id;
        }
    }
    return std::nullopt;
}

std::optional<GlobalShortcut> shortcut(VeltoCommandID id) {
    const std::optional<VeltoCommandShortcut> &catalogShortcut = VeltoCommandCatalog::descriptor(id).shortcut;
    if (!catalogShortcut) {
        return std::nullopt;
    }
    StoredShortcutKeys keys = overrideKeys(*catalogShortcut);
    DefaultsDomain &defaults = VeltoPreferences::storage().defaults();
    if (!defaults.boolean(keys.configured)) {
        return catalogShortcut->defaultShortcut;
    }
    return storedShortcut(defaults, keys);
}

void setShortcut(VeltoCommandID id, const std::optional<GlobalShortcut> &shortcut) {
    const std::optional<VeltoCommandShortcut> &catalogShortcut = VeltoCommandCatalog::descriptor(id).shortcut;
    if (!catalogShortcut) {
        return;
    }
    PreferencesStore &store = VeltoPreferences::storage();
    storeShortcut(store.defaults(), overrideKeys(*catalogShortcut), shortcut);
    store.notifyChange();
}

namespace VeltoCommandCatalog {

const std::vector<VeltoCommandDescriptor> &descriptors() {
    static const std::vector<VeltoCommandDescriptor> table = catalogTable();
    return table;
}

const std::map<VeltoCommandID, VeltoCommandDescriptor> &descriptorsByID() {
    static const std::map<VeltoCommandID, VeltoCommandDescriptor> byID = [] {
        std::map<VeltoCommandID, VeltoCommandDescriptor> map;
        for (const VeltoCommandDescriptor &descriptor : descriptors()) {
            map.emplace(descriptor.id, descriptor);
        }
        return map;
    }();
    return byID;
}

const VeltoCommandDescriptor &descriptor(VeltoCommandID id) {
    return descriptorsByID().at(id);
}

std::vector<VeltoCommandID> applicationMenuCommandIDs() {
    return commandsPlacedIn(Menu::application, std::nullopt);
}

std::vector<VeltoCommandID> fileMenuCommandIDs() {
    return commandsPlacedIn(Menu::file, std::nullopt);
}

std::vector<std::vector<VeltoCommandID>> viewMenuCommandGroups() {
    std::vector<int> groups;
    for (const VeltoCommandDescriptor &descriptor : descriptors()) {
        const auto &placement = descriptor.menuPlacement;
        if (placement && placement->menu == Menu::view &&
            std::find(groups.begin(), groups.end(), placement->group) == groups.end()) {
            groups.push_back(placement->group);
        }
    }
    std::sort(groups.begin(), groups.end());
    std::vector<std::vector<VeltoCommandID>> commandGroups;
    for (int group : groups) {
        commandGroups.push_back(commandsPlacedIn(Menu::view, group));
    }
    return commandGroups;
}

std::vector<VeltoCommandID> shortcutCommandIDs() {
    std::vector<VeltoCommandID> ids;
    for (const VeltoCommandDescriptor &descriptor : descriptors()) {
        if (descriptor.shortcut) {
            ids.push_back(descriptor.id);
        }
    }
    return ids;
}

void restoreDefaultShortcuts() {
    for (VeltoCommandID id : shortcutCommandIDs()) {
        setShortcut(id, descriptor(id).shortcut->defaultShortcut);
    }
}

} // namespace VeltoCommandCatalog

} // namespace velto
