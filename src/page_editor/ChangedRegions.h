#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace velto::editor {

/// Where a text that another writer changed differs from the text shown, line by line, so that a place in the
/// shown text is found again in the changed one: text before a change keeps its offset, text after it moves by
/// the length the change added or took away, and a place inside a changed region goes to that region's end.
///
/// "one\ntwo\nthree" changed to "one\n2\nthree": offset 9 ("h" of "three") becomes 7, offset 5 (inside "two")
/// becomes 5 (after "2").
class ChangedRegions {
public:
    ChangedRegions(std::u16string_view before, std::u16string_view after);

    /// Where `position` of the text before stands in the text after.
    std::size_t map(std::size_t position) const;

private:
    /// Units [beforeFrom, beforeTo) of the text before became [afterFrom, afterTo) of the text after.
    struct Region {
        std::size_t beforeFrom = 0;
        std::size_t beforeTo = 0;
        std::size_t afterFrom = 0;
        std::size_t afterTo = 0;
    };
    bool findByLines(std::u16string_view before, std::u16string_view after);
    /// One region between the common start and end of both texts: what a page too changed to compare line by
    /// line gets.
    void findAsOneRegion(std::u16string_view before, std::u16string_view after);

    std::vector<Region> regions_;
};

} // namespace velto::editor
