#pragma once

#include "preferences/GlobalShortcut.h"

#include <QtCore/QString>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace velto {

/// The fifteen commands; the raw value ("page.new") also identifies every menu item that runs one.
enum class VeltoCommandID {
    newPage,
    archivePage,
    browsePages,
    nextPage,
    previousPage,
    closePanel,
    openSettings,
    increaseTextSize,
    decreaseTextSize,
    resetTextSize,
    increasePanelSize,
    decreasePanelSize,
    fitPanelToContent,
    toggleTaskCheckbox,
    toggleMarkdownFormatting,
};

/// Every command, in declaration order.
const std::array<VeltoCommandID, 15> &allCommandIDs();
QString rawValue(VeltoCommandID id);
/// The command with exactly this raw value (case-sensitive); nothing for any other text.
std::optional<VeltoCommandID> commandIDFromRawValue(const QString &text);

/// The command's current shortcut: the catalog default until the user changes it, nothing when the user
/// removed it or the command never has one.
std::optional<GlobalShortcut> shortcut(VeltoCommandID id);
/// Stores the user's shortcut (nothing = removed) as a configured override and announces the change.
/// Ignored for a command that never has a shortcut.
void setShortcut(VeltoCommandID id, const std::optional<GlobalShortcut> &shortcut);

enum class VeltoCommandAvailability { always, editableNonemptyPage, editableArchivablePage, editableTaskCheckbox };

/// A row of the shortcut-hints overlay; rows are listed by ascending order.
struct VeltoCommandHint {
    int order = 0;
    QString title;
    friend bool operator==(const VeltoCommandHint &, const VeltoCommandHint &) = default;
};

struct VeltoCommandShortcut {
    /// The middle part of the override keys: "appShortcut." + preferenceKey + ".keyCode" and so on.
    QString preferenceKey;
    QString settingsTitle;
    GlobalShortcut defaultShortcut;
    std::optional<VeltoCommandHint> hint;
    friend bool operator==(const VeltoCommandShortcut &, const VeltoCommandShortcut &) = default;
};

struct VeltoCommandMenuPlacement {
    enum class Menu { application, file, view };
    Menu menu = Menu::application;
    int group = 0; // used by the View menu only, whose groups are divided by separators
    int order = 0;
    friend bool operator==(const VeltoCommandMenuPlacement &, const VeltoCommandMenuPlacement &) = default;
};

struct VeltoCommandDescriptor {
    VeltoCommandID id;
    QString title;
    VeltoCommandAvailability availability;
    std::optional<VeltoCommandShortcut> shortcut;
    std::optional<VeltoCommandMenuPlacement> menuPlacement;
};

/// The fixed table of commands that menus, the panel, the editor, Settings and keyboard-settings files read.
namespace VeltoCommandCatalog {

const std::vector<VeltoCommandDescriptor> &descriptors();
const std::map<VeltoCommandID, VeltoCommandDescriptor> &descriptorsByID();
const VeltoCommandDescriptor &descriptor(VeltoCommandID id);

std::vector<VeltoCommandID> applicationMenuCommandIDs();
std::vector<VeltoCommandID> fileMenuCommandIDs();
/// The View menu's commands, one list per separator-divided group.
std::vector<std::vector<VeltoCommandID>> viewMenuCommandGroups();
/// Every command that has a catalog shortcut, in table order (all but browsePages).
std::vector<VeltoCommandID> shortcutCommandIDs();

/// Writes every command's default shortcut as an override, one notification each unless inside a batch.
void restoreDefaultShortcuts();

} // namespace VeltoCommandCatalog

} // namespace velto
