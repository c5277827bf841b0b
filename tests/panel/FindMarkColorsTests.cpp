// The find bar's marks lie over the text: the text under every mark, the current one's too, stays readable.
#include "editor/text/VeltoTheme.h"
#include "panel/view/FindBar.h"
#include "ui/VeltoColor.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

QColor qtColor(const editor::Color &color) {
    return QColor::fromRgbF(static_cast<float>(color.light.red), static_cast<float>(color.light.green),
                            static_cast<float>(color.light.blue));
}

TEST(FindMarkColors, TextUnderEveryMarkKeepsFourAndAHalfToOneInBothAppearancesAndWithMoreContrast) {
    struct Case {
        const char *name;
        editor::AppearanceChoice editor;
        DrawingAppearance drawing;
        bool increaseContrast;
    };
    const Case cases[] = {
        {"light", editor::AppearanceChoice::light, DrawingAppearance::light, false},
        {"light, more contrast", editor::AppearanceChoice::light, DrawingAppearance::light, true},
        {"dark", editor::AppearanceChoice::dark, DrawingAppearance::dark, false},
        {"dark, more contrast", editor::AppearanceChoice::dark, DrawingAppearance::dark, true},
    };
    for (const Case &example : cases) {
        SCOPED_TRACE(example.name);
        editor::VeltoTheme theme =
            editor::VeltoTheme::resolve(example.editor, editor::Appearance::aqua, example.increaseContrast);
        const QColor background = qtColor(theme.editorBackgroundColor);
        const QColor text = qtColor(theme.textColor);
        const FindMarkColors marks = findMarkColors(example.drawing);
        EXPECT_GE(contrastRatio(paintedOver(marks.match, text), paintedOver(marks.match, background)), 4.5);
        // The current match is the selection, filled with the found colour, and outlined.
        EXPECT_EQ(marks.foundSelection.alpha(), 255);
        EXPECT_GE(contrastRatio(text, marks.foundSelection), 4.5);
        EXPECT_GE(contrastRatio(marks.foundSelection, background), 1.3) << "it stands out from the page";
        EXPECT_EQ(marks.currentOutline.alpha(), 255);
        EXPECT_GE(contrastRatio(marks.currentOutline, background), 1.5);
    }
}

} // namespace
} // namespace velto
