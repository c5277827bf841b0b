#include "editor_view/spelling/SpellingContextMenu.h"

#include "editor_view/spelling/SpellChecker.h"

namespace velto::editor {

std::vector<SpellingMenuEntry> spellingMenuEntries(const std::vector<std::u16string> &suggestions) {
    using Action = SpellingMenuEntry::Action;
    std::vector<SpellingMenuEntry> entries;
    for (const std::u16string &suggestion : suggestions) {
        if (entries.size() == SpellChecker::maximumSuggestions) {
            break;
        }
        entries.push_back({Action::replace, QString::fromStdU16String(suggestion), suggestion});
    }
    if (!entries.empty()) {
        entries.push_back({Action::separator, QString(), {}});
    }
    entries.push_back({Action::ignore, QStringLiteral("Ignore Spelling"), {}});
    entries.push_back({Action::learn, QStringLiteral("Learn Spelling"), {}});
    entries.push_back({Action::separator, QString(), {}});
    return entries;
}

} // namespace velto::editor
