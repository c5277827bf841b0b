#include "editor_view/clipboard/DroppedText.h"

#include "editor/editing/TextBoundaries.h"
#include "editor/rules/PasteRules.h"

#include <QMimeData>

namespace velto::editor {

std::u16string insertableText(const QString &text) {
    const std::u16string units(reinterpret_cast<const char16_t *>(text.utf16()), static_cast<std::size_t>(text.size()));
    return PasteRules::normalizingLineEnds(replacingLoneSurrogates(units));
}

std::optional<std::u16string> droppedText(const QMimeData &data) {
    if (!data.hasText()) {
        return std::nullopt;
    }
    return insertableText(data.text());
}

} // namespace velto::editor
