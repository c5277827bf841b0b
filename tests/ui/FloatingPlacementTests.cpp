#include "ui/FloatingPlacement.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

const QRect visible(0, 30, 1440, 870); // a bar across the top

TEST(PanelPlacement, SurfaceEndsAtTheEditorsRightEdgeBelowItsBottom) {
    struct Case {
        const char *where;
        QRect editor;
        QSize panel;
        QPoint origin;
    };
    const Case cases[] = {
        // The surface inside the 6 px margin ends flush right and starts 8 px below the editor.
        {"mid-screen", QRect(400, 100, 500, 325), QSize(212, 40), QPoint(400 + 500 - 212 + 6, 100 + 325 + 8 - 6)},
        {"near the right edge", QRect(1000, 100, 500, 325), QSize(212, 40), QPoint(1440 - 212 - 8, 427)},
        {"near the left edge", QRect(-300, 100, 400, 325), QSize(212, 40), QPoint(8, 427)},
        {"near the bottom", QRect(400, 500, 500, 380), QSize(212, 40), QPoint(694, 900 - 40 - 8)},
        {"wider than the screen", QRect(0, 100, 500, 325), QSize(1500, 40), QPoint(1440 - 1500 - 8, 427)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FloatingPlacement::panelOrigin(c.editor, c.panel, visible), c.origin) << c.where;
    }
}

TEST(TooltipPlacement, CentredAboveTheViewAndKeptOnScreen) {
    struct Case {
        const char *where;
        QRect anchor;
        QSize size;
        QRect frame;
    };
    const Case cases[] = {
        {"room above", QRect(700, 400, 30, 30), QSize(80, 28), QRect(675, 400 - 7 - 28, 80, 28)},
        {"at the left edge", QRect(0, 400, 30, 30), QSize(80, 28), QRect(0, 365, 80, 28)},
        {"at the right edge", QRect(1420, 400, 20, 30), QSize(80, 28), QRect(1360, 365, 80, 28)},
        {"no room above goes below", QRect(700, 32, 30, 30), QSize(80, 28), QRect(675, 32 + 30 + 7, 80, 28)},
        {"a full-height view keeps inside", QRect(700, 30, 30, 870), QSize(80, 28), QRect(675, 900 - 28, 80, 28)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FloatingPlacement::tooltipFrame(c.anchor, c.size, visible), c.frame) << c.where;
    }
}

TEST(ButtonMenuPlacement, OpensBelowTheButtonNeverOverIt) {
    struct Case {
        const char *where;
        QRect button;
        QSize menu;
        QPoint origin;
    };
    const Case cases[] = {
        {"room below", QRect(700, 400, 28, 28), QSize(180, 60), QPoint(700, 428)},
        {"at the right edge", QRect(1420, 400, 20, 28), QSize(180, 60), QPoint(1440 - 180, 428)},
        {"no room below goes above", QRect(700, 860, 28, 28), QSize(180, 60), QPoint(700, 860 - 60)},
        {"short of room both ways keeps the longer side", QRect(700, 60, 28, 28), QSize(180, 1000), QPoint(700, 88)},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FloatingPlacement::buttonMenuOrigin(c.button, c.menu, visible), c.origin) << c.where;
    }
}

} // namespace
} // namespace velto
