#pragma once

#include "editor/text/TextRange.h"

#include <QtCore/QString>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velto {

/// Every occurrence of `query` in `text`, ignoring letter case, in order and without overlaps; storage
/// offsets (UTF-16 units). An empty query finds nothing.
std::vector<editor::TextRange> findMatches(std::u16string_view text, const QString &query);

/// The text with every character case-folded on its own (simple case folding), so that it keeps its length
/// and offsets: "Grüße" gives "grüße".
std::u16string foldedText(std::u16string_view text);

/// The find bar's state over one page: the matches of the present query and which one is current.
class TextSearch {
public:
    /// Searches afresh and makes current the first match at or after `from` (wrapping to the first match):
    /// typing in the find field keeps the search where the reader is. A `textVersion` that names the text
    /// lets later searches of the same text reuse its case-folded copy, so each keystroke in the field
    /// only scans.
    void search(std::u16string_view text, const QString &query, std::size_t from,
                std::optional<std::uint64_t> textVersion = std::nullopt);

    const QString &query() const { return query_; }
    const std::vector<editor::TextRange> &matches() const { return matches_; }
    std::optional<std::size_t> currentIndex() const { return current_; }
    std::optional<editor::TextRange> currentMatch() const;

    /// Moves to the next match (the previous one when `backwards`), wrapping around; nothing without matches.
    std::optional<editor::TextRange> step(bool backwards);

    /// "3 of 12", "No matches", or nothing for an empty query.
    QString status() const;

    /// Frees the case-folded copy of the text kept for the next search (a closed find bar searches no more);
    /// the matches stay.
    void forgetFoldedText();
    /// How many units the case-folded copy holds room for: what the search keeps besides its matches.
    std::size_t foldedCopyCapacity() const { return folded_.capacity(); }

private:
    QString query_;
    std::u16string folded_;
    std::optional<std::uint64_t> foldedVersion_;
    std::vector<editor::TextRange> matches_;
    std::optional<std::size_t> current_;
};

} // namespace velto
