#include "editor_view/layout/ParagraphHeights.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velto::editor;

TEST(ParagraphHeights, EveryHeightOnTheGridReadsBackExactlyThroughParagraphsAddedAndRemoved) {
    // Heights as the layout cache keeps them, on the grid of 1/64 of a pixel, from none to far beyond 32 bits.
    const std::vector<double> heights{
        0, 1.0 / 64, 17.5, 23.984375, 4096.015625, 67108863.984375, 67108864, 1e9 + 0.5, 3e12 + 1.0 / 64,
    };
    ParagraphHeights kept;
    kept.assign(heights.size());
    for (std::size_t paragraph = 0; paragraph < heights.size(); ++paragraph) {
        kept.set(paragraph, heights[paragraph]);
    }
    std::vector<double> expected = heights;
    const auto expectHeights = [&](const char *state) {
        ASSERT_EQ(kept.size(), expected.size()) << state;
        for (std::size_t paragraph = 0; paragraph < expected.size(); ++paragraph) {
            EXPECT_EQ(kept[paragraph], expected[paragraph]) << state << ", paragraph " << paragraph;
        }
    };
    expectHeights("as set");
    const struct {
        const char *name;
        bool inserting;
        std::size_t at, count;
    } splices[] = {
        {"paragraphs added before the tall ones", true, 2, 3},
        {"a tall paragraph removed", false, 9, 1},
        {"paragraphs added at the end", true, 8, 2},
        {"the first paragraphs removed", false, 0, 4},
    };
    for (const auto &splice : splices) {
        const auto at = expected.begin() + static_cast<std::ptrdiff_t>(splice.at);
        if (splice.inserting) {
            kept.insert(splice.at, splice.count);
            expected.insert(at, splice.count, 0.0);
        } else {
            kept.erase(splice.at, splice.count);
            expected.erase(at, at + static_cast<std::ptrdiff_t>(splice.count));
        }
        expectHeights(splice.name);
    }
    // A tall height made short again, and a short one made tall.
    ASSERT_GT(expected[7], 1e8);
    kept.set(7, 12.25);
    expected[7] = 12.25;
    kept.set(0, 5e10);
    expected[0] = 5e10;
    expectHeights("heights changed across the bound");
}
