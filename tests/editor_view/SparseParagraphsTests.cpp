#include "editor_view/layout/SparseParagraphs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace velto::editor;

namespace {

/// Paragraphs 2, 5, 6 and 9 keep a value that names the paragraph it was made for.
SparseParagraphs<std::string> fourKept() {
    SparseParagraphs<std::string> kept;
    for (const std::size_t paragraph : {9, 2, 6, 5}) {
        kept[paragraph] = "made for " + std::to_string(paragraph);
    }
    return kept;
}

} // namespace

TEST(SparseParagraphs, ValuesFollowTheirParagraphsThroughASplice) {
    const struct {
        const char *name;
        std::size_t first, removed, inserted;
        std::vector<std::size_t> paragraphs; // after the splice, in order
        std::vector<std::string> values;     // of those paragraphs
    } cases[] = {
        {"a paragraph typed into", 5, 1, 1, {2, 6, 9}, {"made for 2", "made for 6", "made for 9"}},
        {"a paragraph split in two", 5, 1, 2, {2, 7, 10}, {"made for 2", "made for 6", "made for 9"}},
        {"two paragraphs joined", 5, 2, 1, {2, 8}, {"made for 2", "made for 9"}},
        {"paragraphs added before all",
         0,
         0,
         3,
         {5, 8, 9, 12},
         {"made for 2", "made for 5", "made for 6", "made for 9"}},
        {"paragraphs without values removed",
         3,
         2,
         0,
         {2, 3, 4, 7},
         {"made for 2", "made for 5", "made for 6", "made for 9"}},
        {"the last paragraph removed", 9, 1, 0, {2, 5, 6}, {"made for 2", "made for 5", "made for 6"}},
        {"paragraphs added after all",
         10,
         0,
         4,
         {2, 5, 6, 9},
         {"made for 2", "made for 5", "made for 6", "made for 9"}},
    };
    for (const auto &c : cases) {
        SparseParagraphs<std::string> kept = fourKept();
        kept.splice(c.first, c.removed, c.inserted);
        EXPECT_EQ(kept.paragraphs(), c.paragraphs) << c.name;
        std::vector<std::string> values;
        for (const std::size_t paragraph : kept.paragraphs()) {
            values.push_back(*kept.find(paragraph));
        }
        EXPECT_EQ(values, c.values) << c.name;
        EXPECT_EQ(kept.find(c.first + c.inserted + 100), nullptr) << c.name;
    }
}

TEST(SparseParagraphs, TakingAValueLeavesTheParagraphWithout) {
    SparseParagraphs<std::string> kept = fourKept();
    EXPECT_EQ(kept.take(6), "made for 6");
    EXPECT_EQ(kept.find(6), nullptr);
    EXPECT_EQ(kept.take(6), "");
    EXPECT_EQ(kept.paragraphs(), (std::vector<std::size_t>{2, 5, 9}));
}
