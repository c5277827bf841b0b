#include "panel/hints/ShortcutHints.h"

#include "ui/KeyNames.h"

#include <algorithm>

namespace velto {

bool isHintAvailable(const ShortcutHintDescriptor::Availability &availability, const VeltoCommandContext &context,
                     bool canUndo, bool canRedo) {
    using Kind = ShortcutHintDescriptor::Availability::Kind;
    switch (availability.kind) {
    case Kind::always:
        return true;
    case Kind::undo:
        return canUndo;
    case Kind::redo:
        return canRedo;
    case Kind::command:
        break;
    }
    return isAvailable(VeltoCommandCatalog::descriptor(availability.command).availability, context);
}

namespace VeltoShortcutHints {

namespace {

struct OrderedHint {
    int order;
    ShortcutHintDescriptor descriptor;
};

/// A shortcut of the editor's own, which the catalog does not hold (virtual key codes of Z, F and R).
QStringList fixedKeys(std::uint32_t keyCode, std::uint64_t modifiers, const char *label) {
    return KeyNames::keycaps(GlobalShortcut{keyCode, modifiers, QString::fromLatin1(label)});
}

} // namespace

std::vector<ShortcutHintDescriptor> descriptors() {
    using Availability = ShortcutHintDescriptor::Availability;
    using Kind = Availability::Kind;
    std::vector<OrderedHint> hints;
    for (const VeltoCommandDescriptor &command : VeltoCommandCatalog::descriptors()) {
        if (!command.shortcut || !command.shortcut->hint) {
            continue;
        }
        const VeltoCommandHint &hint = *command.shortcut->hint;
        hints.push_back(
            {hint.order, {KeyNames::keycaps(shortcut(command.id)), hint.title, Availability::of(command.id)}});
    }
    const std::uint64_t command = ModifierFlags::command;
    hints.push_back({4, {fixedKeys(6, command, "Z"), QStringLiteral("Undo"), {Kind::undo}}});
    hints.push_back({5, {fixedKeys(6, command | ModifierFlags::shift, "Z"), QStringLiteral("Redo"), {Kind::redo}}});
    hints.push_back({6, {fixedKeys(3, command, "F"), QStringLiteral("Find in page"), {Kind::always}}});
    hints.push_back({7, {fixedKeys(15, command, "R"), QStringLiteral("Reload from disk"), {Kind::always}}});
    std::stable_sort(hints.begin(), hints.end(),
                     [](const OrderedHint &a, const OrderedHint &b) { return a.order < b.order; });

    std::vector<ShortcutHintDescriptor> entries;
    entries.reserve(hints.size());
    for (OrderedHint &hint : hints) {
        entries.push_back(std::move(hint.descriptor));
    }
    return entries;
}

} // namespace VeltoShortcutHints

} // namespace velto
