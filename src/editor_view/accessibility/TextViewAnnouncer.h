#pragma once

#include "editor/text/TextRange.h"

#include <QString>

#include <optional>
#include <string_view>

namespace velto::editor {

class TextStorage;
class VeltoTextView;

/// Tells assistive technologies what changed in the text view: each edit made through the editing
/// protocol as what it removed and inserted, any other change of the characters (a load, an undo) as a
/// new value, and every move of the caret or the selection.
class TextViewAnnouncer {
public:
    TextViewAnnouncer(VeltoTextView &view, const TextStorage &storage);

    /// An edit is about to replace the range; it is announced once it is made.
    void willReplace(TextRange range, std::u16string_view replacement);
    /// The edit announced by `willReplace` is made.
    void didReplace();
    /// The storage finished a change; one of characters that no edit announced changed the whole value.
    void charactersDidChange();
    void selectionDidChange(TextRange selected, std::size_t head);

private:
    /// A change announced to assistive technologies once it is made.
    struct PendingAnnouncement {
        int position = 0;
        QString removed;
        QString inserted;
    };

    VeltoTextView &view_;
    const TextStorage &storage_;
    std::optional<PendingAnnouncement> pending_;
};

} // namespace velto::editor
