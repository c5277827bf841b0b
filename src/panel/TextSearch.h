#pragma once

#include "editor/TextRange.h"

#include <QtCore/QString>

#include <optional>
#include <string_view>
#include <vector>

namespace velto {

/// Every occurrence of `query` in `text`, ignoring letter case, in order and without overlaps; storage
/// offsets (UTF-16 units). An empty query finds nothing.
std::vector<editor::TextRange> findMatches(std::u16string_view text, const QString &query);

/// The find bar's state over one page: the matches of the present query and which one is current.
class TextSearch {
public:
    /// Searches afresh and makes current the first match at or after `from` (wrapping to the first match):
    /// typing in the find field keeps the search where the reader is.
    void search(std::u16string_view text, const QString &query, std::size_t from);

    const QString &query() const { return query_; }
    const std::vector<editor::TextRange> &matches() const { return matches_; }
    std::optional<std::size_t> currentIndex() const { return current_; }
    std::optional<editor::TextRange> currentMatch() const;

    /// Moves to the next match (the previous one when `backwards`), wrapping around; nothing without matches.
    std::optional<editor::TextRange> step(bool backwards);

    /// "3 of 12", "No matches", or nothing for an empty query.
    QString status() const;

private:
    QString query_;
    std::vector<editor::TextRange> matches_;
    std::optional<std::size_t> current_;
};

} // namespace velto
