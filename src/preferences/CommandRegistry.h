#pragma once

#include "preferences/CommandCatalog.h"

#include <QtCore/QObject>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace velto {

/// The state of the panel against which a command's availability is judged.
struct VeltoCommandContext {
    bool canEdit = false;
    bool hasPageContent = false;
    bool hasOtherActivePages = false;
    bool hasFocusedTaskCheckbox = false;
    friend bool operator==(const VeltoCommandContext &, const VeltoCommandContext &) = default;
};

struct VeltoCommand {
    VeltoCommandID id;
    std::function<void()> handler;
};

/// Whether a command of the given availability can run in this context.
bool isAvailable(VeltoCommandAvailability availability, const VeltoCommandContext &context);

/// The command a menu item runs, read from its identifier: the item's objectName, which is the command's
/// raw value ("page.new"). Nothing for an item without one or with any other text.
std::optional<VeltoCommandID> commandOfMenuItem(const QObject *item);

/// The commands the panel serves, with its present state; menus, the panel view and the text view ask it
/// whether a command is available and have it perform commands. Main thread only.
class VeltoCommandRegistry {
public:
    using ContextProvider = std::function<VeltoCommandContext()>;

    /// The list names each command at most once.
    VeltoCommandRegistry(std::vector<VeltoCommand> commands, ContextProvider context);
    /// Registers every listed command with a handler that calls handler(id).
    VeltoCommandRegistry(const std::vector<VeltoCommandID> &commandIDs, ContextProvider context,
                         const std::function<void(VeltoCommandID)> &handler);

    std::optional<VeltoCommand> command(VeltoCommandID id) const;
    /// False for an unregistered command; otherwise asks for the context once and applies the catalog rule.
    bool isAvailable(VeltoCommandID id) const;
    /// Runs the handler of a registered, available command; false when it did not run.
    bool perform(VeltoCommandID id) const;
    /// The action of a menu item: performs the item's command, if it names one.
    void performMenuCommand(const QObject *item) const;

private:
    std::map<VeltoCommandID, VeltoCommand> commands_;
    ContextProvider context_;
};

/// The main menu's target: hands the command of every menu item to one handler, which decides whether it runs.
class VeltoCommandMenuTarget {
public:
    explicit VeltoCommandMenuTarget(std::function<void(VeltoCommandID)> handler);

    void performCommand(const QObject *item) const;

private:
    std::function<void(VeltoCommandID)> handler_;
};

} // namespace velto
