#include "editor/markdown/LineCutPoints.h"

#include <gtest/gtest.h>

using namespace velto::editor;

namespace {

std::u16string wordsOf(std::size_t units) {
    std::u16string text;
    while (text.size() < units) {
        text += u"word ";
    }
    return text;
}

} // namespace

TEST(LineCutPointsTests, PointsAreCandidatesNoMatchCrossesAboutASpacingApart) {
    const std::u16string text = wordsOf(4 * LineCutPoints::spacing);
    const TextRange line{0, text.size()};
    // A match that runs over the place where the second point would fall pushes it past its end.
    const TextRange match{LineCutPoints::spacing - 3, 100};
    const std::vector<std::size_t> points = LineCutPoints::of(text, {line}, {match});
    ASSERT_GE(points.size(), 3u);
    for (std::size_t k = 0; k < points.size(); ++k) {
        EXPECT_TRUE(LineCutPoints::isCandidate(text, points[k])) << points[k];
        EXPECT_FALSE(match.location < points[k] && points[k] < match.end()) << points[k];
        if (k > 0) {
            EXPECT_GE(points[k] - points[k - 1], LineCutPoints::spacing);
        }
    }
    EXPECT_GE(points[1], match.end());
}

TEST(LineCutPointsTests, EditsMoveLaterPointsAndDropThoseTheyTouch) {
    struct Case {
        CharacterEdit edit;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {{25, 0, 5}, {10, 20, 35, 45}}, // points after an edit move with the text
        {{30, 2, 0}, {10, 20, 38}},     // a point the edit removed is gone
        {{19, 0, 1}, {10, 21, 31, 41}}, // before a point's blank: the point keeps its units
        {{20, 0, 1}, {10, 31, 41}},     // between its blank and its letter
        {{21, 0, 3}, {10, 33, 43}},     // right after its letter
        {{0, 0, 1000}, {1010, 1020, 1030, 1040}},
    };
    for (const Case &c : cases) {
        LineCutPoints points;
        points.replace(TextRange{0, 100}, {10, 20, 30, 40});
        points.moveThrough({c.edit});
        EXPECT_EQ(points.points(), c.expected) << c.edit.location << " " << c.edit.oldLength << " " << c.edit.newLength;
    }
}
