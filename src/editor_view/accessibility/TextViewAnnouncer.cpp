#include "editor_view/accessibility/TextViewAnnouncer.h"

#include "editor/text/TextStorage.h"
#include "editor_view/accessibility/TextViewAccessibility.h"
#include "editor_view/layout/QtText.h"

#include <utility>

namespace velto::editor {

TextViewAnnouncer::TextViewAnnouncer(VeltoTextView &view, const TextStorage &storage)
    : view_(view)
    , storage_(storage) {}

void TextViewAnnouncer::willReplace(TextRange range, std::u16string_view replacement) {
    pending_ = PendingAnnouncement{static_cast<int>(range.location), qtString(storage_.substring(range)),
                                   qtString(replacement)};
}

void TextViewAnnouncer::didReplace() {
    if (pending_) {
        const PendingAnnouncement change = *std::exchange(pending_, std::nullopt);
        announceTextChange(&view_, change.position, change.removed, change.inserted);
    }
}

void TextViewAnnouncer::charactersDidChange() {
    if (!pending_) {
        // A change outside the editing protocol (a load, an undo): the whole value changed.
        announceValueChange(&view_);
    }
}

void TextViewAnnouncer::selectionDidChange(TextRange selected, std::size_t head) {
    if (selected.length > 0) {
        announceSelectionChange(&view_, static_cast<int>(selected.location), static_cast<int>(selected.end()));
    } else {
        announceCaretMove(&view_, static_cast<int>(head));
    }
}

} // namespace velto::editor
