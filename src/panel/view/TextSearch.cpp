#include "panel/view/TextSearch.h"

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

std::u16string foldedText(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t &unit : folded) {
        if (unit < 0x80) {
            if (unit >= u'A' && unit <= u'Z') {
                unit = static_cast<char16_t>(unit + (u'a' - u'A'));
            }
        } else if (!QChar::isSurrogate(unit)) {
            // Surrogates stay as they are; every other unit folds to one unit of the same plane.
            unit = static_cast<char16_t>(QChar::toCaseFolded(static_cast<char32_t>(unit)));
        }
    }
    return folded;
}

namespace {

std::vector<editor::TextRange> findExactly(std::u16string_view haystack, std::u16string_view needle) {
    std::vector<editor::TextRange> matches;
    if (needle.empty()) {
        return matches;
    }
    std::size_t from = 0;
    while ((from = haystack.find(needle, from)) != std::u16string_view::npos) {
        matches.push_back({from, needle.size()});
        from += needle.size();
    }
    return matches;
}

} // namespace

void TextSearch::forgetFoldedText() {
    std::u16string().swap(folded_); // assigning an empty string would keep the buffer
    foldedVersion_.reset();
}

void TextSearch::search(std::u16string_view text, const QString &query, std::size_t from,
                        std::optional<std::uint64_t> textVersion) {
    query_ = query;
    if (textVersion) {
        if (foldedVersion_ != textVersion || folded_.size() != text.size()) {
            folded_ = foldedText(text);
            foldedVersion_ = textVersion;
        }
        std::u16string needle = foldedText(std::u16string_view(reinterpret_cast<const char16_t *>(query.utf16()),
                                                               static_cast<std::size_t>(query.size())));
        matches_ = findExactly(folded_, needle);
    } else {
        matches_ = findMatches(text, query);
    }
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
