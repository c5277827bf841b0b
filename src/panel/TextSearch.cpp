#include "panel/TextSearch.h"

namespace velto {

std::vector<editor::TextRange> findMatches(std::u16string_view text, const QString &query) {
    std::vector<editor::TextRange> matches;
    if (query.isEmpty()) {
        return matches;
    }
    // The page is viewed in place, not copied: a 5 MB page is searched on every keystroke of the field.
    QStringView haystack(text.data(), static_cast<qsizetype>(text.size()));
    qsizetype from = 0;
    while (true) {
        qsizetype found = haystack.indexOf(query, from, Qt::CaseInsensitive);
        if (found < 0) {
            break;
        }
        matches.push_back({static_cast<std::size_t>(found), static_cast<std::size_t>(query.size())});
        from = found + query.size();
    }
    return matches;
}

void TextSearch::search(std::u16string_view text, const QString &query, std::size_t from) {
    query_ = query;
    matches_ = findMatches(text, query);
    current_.reset();
    if (matches_.empty()) {
        return;
    }
    current_ = 0;
    for (std::size_t index = 0; index < matches_.size(); ++index) {
        if (matches_[index].location >= from) {
            current_ = index;
            break;
        }
    }
}

std::optional<editor::TextRange> TextSearch::currentMatch() const {
    if (!current_) {
        return std::nullopt;
    }
    return matches_[*current_];
}

std::optional<editor::TextRange> TextSearch::step(bool backwards) {
    if (matches_.empty()) {
        return std::nullopt;
    }
    std::size_t count = matches_.size();
    if (!current_) {
        current_ = backwards ? count - 1 : 0;
    } else {
        current_ = backwards ? (*current_ + count - 1) % count : (*current_ + 1) % count;
    }
    return matches_[*current_];
}

QString TextSearch::status() const {
    if (query_.isEmpty()) {
        return {};
    }
    if (matches_.empty()) {
        return QStringLiteral("No matches");
    }
    return QStringLiteral("%1 of %2").arg(*current_ + 1).arg(matches_.size());
}

} // namespace velto
