#include "panel/view/PanelViewGeometry.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(PanelViewGeometry, FittingSizeShowsTheWholeTextAtThePresentWidth) {
    struct Case {
        const char *what;
        bool empty;
        double used;
        QSizeF panel;
        QSizeF viewport;
        QSizeF expected;
    };
    const Case cases[] = {
        {"an empty page, whatever the size", true, 0, QSizeF(720, 480), QSizeF(708, 468), QSizeF(500, 325)},
        {"an empty page of a small panel", true, 17, QSizeF(360, 240), QSizeF(348, 228), QSizeF(500, 325)},
        {"one line", false, 17.2, QSizeF(720, 480), QSizeF(708, 468), QSizeF(720, 17.2 + 40 + 12 + 0.8)},
        {"a long page grows taller", false, 900, QSizeF(500, 325), QSizeF(488, 313), QSizeF(500, 952)},
        {"a viewport taller than the panel adds nothing", false, 100, QSizeF(500, 300), QSizeF(488, 320),
         QSizeF(500, 140)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PanelViewGeometry::sizeThatFitsContent(c.empty, c.used, 20, c.panel, c.viewport), c.expected)
            << c.what;
    }
}

TEST(PanelViewGeometry, TextContainerIsTheWidthLessBothInsetsAndNeverNegative) {
    EXPECT_EQ(PanelViewGeometry::textContainerWidth(488, 22), 444);
    EXPECT_EQ(PanelViewGeometry::textContainerWidth(30, 22), 0);
}

} // namespace
} // namespace velto
