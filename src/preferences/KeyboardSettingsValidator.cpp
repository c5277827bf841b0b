#include "preferences/KeyboardSettingsValidator.h"

#include "preferences/CommandCatalog.h"
#include "preferences/LocalShortcutRouter.h"

namespace velto::KeyboardSettingsValidator {

namespace {

std::uint64_t maskedModifiers(const GlobalShortcut &shortcut) {
    return shortcut.modifiers & ModifierFlags::supportedMask;
}

bool has(std::uint64_t modifiers, std::uint64_t flag) {
    return (modifiers & flag) != 0;
}

/// A hot key needs Control or Option, or both Shift and Command, so it does not steal ordinary typing.
bool isUnsafeHotKey(const GlobalShortcut &shortcut) {
    std::uint64_t modifiers = maskedModifiers(shortcut);
    bool controlOrOption = has(modifiers, ModifierFlags::control) || has(modifiers, ModifierFlags::option);
    bool shiftCommand = has(modifiers, ModifierFlags::shift) && has(modifiers, ModifierFlags::command);
    return !controlOrOption && !shiftCommand;
}

/// A command shortcut needs Control, Option or Command.
bool isUnsafeCommandShortcut(const GlobalShortcut &shortcut) {
    return (maskedModifiers(shortcut) & (ModifierFlags::control | ModifierFlags::option | ModifierFlags::command)) == 0;
}

/// Special keys are bound to key codes on both sides; any other command shortcut is compared with the
/// character the hot key's key types now, since the hot key is bound to its key code.
bool collidesWithHotKey(const GlobalShortcut &command, const std::optional<GlobalShortcut> &hotKey,
                        const KeyboardLayoutTranslator &layout) {
    if (!hotKey) {
        return false;
    }
    std::uint64_t hotKeyModifiers = maskedModifiers(*hotKey);
    if (GlobalShortcut::isNamedSpecialKey(command.keyLabel)) {
        return command.keyCode == hotKey->keyCode && maskedModifiers(command) == hotKeyModifiers;
    }
    std::optional<QString> typed = layout.translate(hotKey->keyCode, hotKeyModifiers);
    if (!typed) {
        return false;
    }
    return command.conflictsLocally(GlobalShortcut{hotKey->keyCode, hotKeyModifiers, *typed});
}

struct NamedShortcut {
    QString title;
    GlobalShortcut shortcut;
};

std::vector<NamedShortcut> commandList(const KeyboardSettings &settings) {
    std::vector<NamedShortcut> commands;
    for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
        auto entry = settings.appShortcuts.find(rawValue(id));
        if (entry != settings.appShortcuts.end() && entry->second) {
            commands.push_back({VeltoCommandCatalog::descriptor(id).title, *entry->second});
        }
    }
    return commands;
}

} // namespace

std::vector<KeyboardSettingsConflict> conflicts(const KeyboardSettings &settings,
                                                const KeyboardLayoutTranslator &layout) {
    std::vector<KeyboardSettingsConflict> found;
    const std::optional<GlobalShortcut> &showOrHide = settings.globalShortcut;
    const std::optional<GlobalShortcut> &appendClipboard = settings.appendClipboardShortcut;

    if (showOrHide && isUnsafeHotKey(*showOrHide)) {
        found.push_back(KeyboardSettingsConflict::unsafeShortcut(showOrHideName));
    }
    if (appendClipboard && isUnsafeHotKey(*appendClipboard)) {
        found.push_back(KeyboardSettingsConflict::unsafeShortcut(appendClipboardName));
    }
    if (showOrHide && appendClipboard && showOrHide->keyCode == appendClipboard->keyCode &&
        maskedModifiers(*showOrHide) == maskedModifiers(*appendClipboard)) {
        found.push_back(KeyboardSettingsConflict::globalShortcuts());
    }

    std::vector<NamedShortcut> commands = commandList(settings);
    for (const NamedShortcut &command : commands) {
        if (isUnsafeCommandShortcut(command.shortcut)) {
            found.push_back(KeyboardSettingsConflict::unsafeShortcut(command.title));
        }
        if (LocalShortcutRouter::isReservedForNativeCommand(command.shortcut)) {
            found.push_back(KeyboardSettingsConflict::nativeCommand(command.title));
        }
        if (collidesWithHotKey(command.shortcut, showOrHide, layout)) {
            found.push_back(KeyboardSettingsConflict::shortcuts(showOrHideName, command.title));
        }
        if (collidesWithHotKey(command.shortcut, appendClipboard, layout)) {
            found.push_back(KeyboardSettingsConflict::shortcuts(appendClipboardName, command.title));
        }
    }

    for (std::size_t first = 0; first < commands.size(); ++first) {
        for (std::size_t second = first + 1; second < commands.size(); ++second) {
            if (commands[first].shortcut.conflictsLocally(commands[second].shortcut)) {
                found.push_back(KeyboardSettingsConflict::shortcuts(commands[first].title, commands[second].title));
            }
        }
    }
    return found;
}

} // namespace velto::KeyboardSettingsValidator
