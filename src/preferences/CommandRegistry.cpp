#include "preferences/CommandRegistry.h"

namespace velto {

bool isAvailable(VeltoCommandAvailability availability, const VeltoCommandContext &context) {
    switch (availability) {
    case VeltoCommandAvailability::always:
        return true;
    case VeltoCommandAvailability::editableNonemptyPage:
        return context.canEdit && context.hasPageContent;
    case VeltoCommandAvailability::editableArchivablePage:
        return context.canEdit && (context.hasPageContent || context.hasOtherActivePages);
    case VeltoCommandAvailability::editableTaskCheckbox:
        return context.canEdit && context.hasFocusedTaskCheckbox;
    }
    return false;
}

std::optional<VeltoCommandID> commandOfMenuItem(const QObject *item) {
    if (item == nullptr || item->objectName().isEmpty()) {
        return std::nullopt;
    }
    return commandIDFromRawValue(item->objectName());
}

VeltoCommandRegistry::VeltoCommandRegistry(std::vector<VeltoCommand> commands, ContextProvider context)
    : context_(std::move(context)) {
    for (VeltoCommand &command : commands) {
        VeltoCommandID id = command.id;
        commands_.emplace(id, std::move(command));
    }
}

VeltoCommandRegistry::VeltoCommandRegistry(const std::vector<VeltoCommandID> &commandIDs, ContextProvider context,
                                           const std::function<void(VeltoCommandID)> &handler)
    : context_(std::move(context)) {
    for (VeltoCommandID id : commandIDs) {
        commands_.emplace(id, VeltoCommand{id, [handler, id] { handler(id); }});
    }
}

std::optional<VeltoCommand> VeltoCommandRegistry::command(VeltoCommandID id) const {
    auto found = commands_.find(id);
    if (found == commands_.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool VeltoCommandRegistry::isAvailable(VeltoCommandID id) const {
    if (!commands_.contains(id)) {
        return false;
    }
    return velto::isAvailable(VeltoCommandCatalog::descriptor(id).availability, context_());
}

bool VeltoCommandRegistry::perform(VeltoCommandID id) const {
    if (!isAvailable(id)) {
        return false;
    }
    commands_.at(id).handler();
    return true;
}

void VeltoCommandRegistry::performMenuCommand(const QObject *item) const {
    if (std::optional<VeltoCommandID> id = commandOfMenuItem(item)) {
        perform(*id);
    }
}

VeltoCommandMenuTarget::VeltoCommandMenuTarget(std::function<void(VeltoCommandID)> handler)
    : handler_(std::move(handler)) {}

void VeltoCommandMenuTarget::performCommand(const QObject *item) const {
    if (std::optional<VeltoCommandID> id = commandOfMenuItem(item)) {
        handler_(*id);
    }
}

} // namespace velto
