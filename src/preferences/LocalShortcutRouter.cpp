// Routing key events inside the panel, and the two GlobalShortcut members that serve it: matching an event
// and the key equivalent a menu item shows.
#include "preferences/LocalShortcutRouter.h"

#include "preferences/KeyLabelText.h"
#include "preferences/Preferences.h"

#include <QtCore/QHash>
#include <QtCore/QStringList>

#include <mutex>

namespace velto {

namespace {

using Kind = LocalShortcutAction::Kind;

constexpr std::uint64_t shift = ModifierFlags::shift;
constexpr std::uint64_t option = ModifierFlags::option;
constexpr std::uint64_t command = ModifierFlags::command;

std::uint64_t maskedModifiers(std::uint64_t flags) {
    return flags & ModifierFlags::supportedMask;
}

std::optional<LocalShortcutAction> editingAction(const LocalKeyEvent &event) {
    if (!event.charactersIgnoringModifiers) {
        return std::nullopt;
    }
    struct EditingShortcut {
        std::uint64_t modifiers;
        const char *characters;
        Kind kind;
    };
    static constexpr EditingShortcut table[] = {
        {command, "a", Kind::selectAll},
        {command, "c", Kind::copy},
        {command, "x", Kind::cut},
        {command, "v", Kind::paste},
        {command, "z", Kind::undo},
        {shift | command, "z", Kind::redo},
        {option | shift | command, "v", Kind::pasteAndMatchStyle},
    };
    std::uint64_t modifiers = maskedModifiers(event.modifierFlags);
    QString characters = event.charactersIgnoringModifiers->toLower();
    for (const EditingShortcut &row : table) {
        if (row.modifiers == modifiers && characters == QLatin1String(row.characters)) {
            return LocalShortcutAction::editing(row.kind);
        }
    }
    return std::nullopt;
}

// Glyph labels and the character a menu item uses as the key's equivalent (private-use codes for keys
// without a character of their own).
const QHash<QString, QString> &specialKeyEquivalents() {
    static const QHash<QString, QString> equivalents{
        {QStringLiteral("SPACE"), QStringLiteral(" ")}, {QStringLiteral("↩"), QStringLiteral("\r")},
        {QStringLiteral("⇥"), QStringLiteral("\t")},    {QStringLiteral("⌫"), QStringLiteral("\b")},
        {QStringLiteral("⌦"), QString(QChar(0xF728))},  {QStringLiteral("⎋"), QStringLiteral("\x1b")},
        {QStringLiteral("←"), QString(QChar(0xF702))},  {QStringLiteral("→"), QString(QChar(0xF703))},
        {QStringLiteral("↑"), QString(QChar(0xF700))},  {QStringLiteral("↓"), QString(QChar(0xF701))},
        {QStringLiteral("↖"), QString(QChar(0xF729))},  {QStringLiteral("↘"), QString(QChar(0xF72B))},
        {QStringLiteral("⇞"), QString(QChar(0xF72C))},  {QStringLiteral("⇟"), QString(QChar(0xF72D))},
    };
    return equivalents;
}

} // namespace

bool GlobalShortcut::matchesLocal(const LocalKeyEvent &event) const {
    std::uint64_t eventModifiers = maskedModifiers(event.modifierFlags);
    std::uint64_t shortcutModifiers = maskedModifiers(modifiers);
    const QString plus = QStringLiteral("+");

    // The "+" of most layouts is a shifted key, so Command-"+" is also typed as Shift-Command-"=".
    bool plusRule = keyLabel == plus && eventModifiers == (shortcutModifiers | ModifierFlags::shift);
    bool modifiersQualify = eventModifiers == shortcutModifiers || plusRule;
    // Every key typed in the panel is held against every command's shortcut: most differ in their modifiers,
    // which a comparison of two numbers tells, before any label is made.
    if (!modifiersQualify) {
        return false;
    }

    QStringList candidates;
    if (event.charactersIgnoringModifiers) {
        candidates << normalizedKeyLabel(*event.charactersIgnoringModifiers);
    }
    if (event.characters) {
        candidates << normalizedKeyLabel(*event.characters);
    }
    QString label = normalizedKeyLabel(keyLabel);
    bool labelMatches = false;
    for (const QString &candidate : candidates) {
        labelMatches = labelMatches || localKeyLabelsEqual(candidate, label);
    }
    if (!labelMatches && label == plus) {
        labelMatches = candidates.contains(QStringLiteral("="));
    }

    if (isNamedSpecialKey(keyLabel)) {
        return event.keyCode == keyCode || labelMatches;
    }
    return isValidLocalKeyLabel(keyLabel) && labelMatches;
}

QString GlobalShortcut::localMenuKeyEquivalent() const {
    QString label = normalizedKeyLabel(keyLabel);
    auto special = specialKeyEquivalents().find(label);
    if (special != specialKeyEquivalents().end()) {
        return special.value();
    }
    std::optional<int> functionKey = functionKeyNumber(label);
    if (functionKey && *functionKey >= 1 && *functionKey <= 35) {
        return QString(QChar(0xF703 + *functionKey));
    }
    if (characterCount(label) == 1) {
        QString lower = label.toLower();
        return characterCount(lower) == 1 ? lower : label;
    }
    return {};
}

namespace LocalShortcutRouter {

CommandShortcuts currentCommandShortcuts() {
    // Every key pressed in the panel asks for the shortcuts more than once, and reading them from the
    // preferences took a good part of typing a character; they are read again only after the
    // preferences changed. The version is taken before reading, so a write meanwhile reads them again.
    static std::mutex mutex;
    static std::optional<std::uint64_t> readAtVersion;
    static CommandShortcuts commands;
    const DefaultsDomain &defaults = VeltoPreferences::storage().defaults();
    std::lock_guard lock{mutex};
    const std::uint64_t version = defaults.version();
    if (readAtVersion != version) {
        commands.clear();
        for (VeltoCommandID id : VeltoCommandCatalog::shortcutCommandIDs()) {
            commands.emplace_back(id, shortcut(id));
        }
        readAtVersion = version;
    }
    return commands;
}

std::optional<LocalShortcutAction> action(const LocalKeyEvent &event, const CommandShortcuts &commands) {
    if (std::optional<LocalShortcutAction> editing = editingAction(event)) {
        return editing;
    }
    for (const auto &[id, commandShortcut] : commands) {
        if (commandShortcut && commandShortcut->matchesLocal(event)) {
            return LocalShortcutAction::command(id);
        }
    }
    return std::nullopt;
}

std::optional<LocalShortcutAction> action(const LocalKeyEvent &event) {
    return action(event, currentCommandShortcuts());
}

bool isReservedForNativeCommand(const GlobalShortcut &shortcut) {
    struct ReservedRow {
        std::uint64_t modifiers;
        QStringList labels;
    };
    static const ReservedRow rows[] = {
        {command, {"A", "C", "X", "V", "Z", "F", "G", "E", "B", "I", "Q"}},
        {shift | command, {"Z", "G", "`"}},
        {option | shift | command, {"V"}},
    };
    std::uint64_t modifiers = maskedModifiers(shortcut.modifiers);
    QString label = GlobalShortcut::normalizedKeyLabel(shortcut.keyLabel);
    for (const ReservedRow &row : rows) {
        if (row.modifiers == modifiers && row.labels.contains(label)) {
            return true;
        }
    }
    // Command-R reloads the page from disk (the File menu's "Reload from Disk").
    const GlobalShortcut reload{15, command, QStringLiteral("R")};
    return shortcut.conflictsLocally(reload);
}

} // namespace LocalShortcutRouter

} // namespace velto
