#include "editor_view/layout/QtFonts.h"
#include "editor_view/layout/ViewEnvironment.h"

#include "ViewTestApplication.h"

#include <gtest/gtest.h>

using namespace velto;

TEST(QtFontsTests, PointsArePixelsAndMetricsGrowWithTheSize) {
    velto::testing::viewTestApplication();
    editor::FontDescriptor small{editor::FontFamilyRole::monospacedSystem, 15, editor::FontWeight::semibold};
    QFont font = editor::qtFont(small);
    EXPECT_EQ(font.pixelSize(), 15);
    EXPECT_EQ(font.weight(), QFont::DemiBold);
    editor::FontDescriptor bold = small;
    bold.bold = true;
    bold.italic = true;
    EXPECT_EQ(editor::qtFont(bold).weight(), QFont::Bold);
    EXPECT_TRUE(editor::qtFont(bold).italic());

    editor::QtFontMetricsProvider provider;
    editor::FontMetrics smallMetrics = provider.metrics(small);
    editor::FontDescriptor large = small;
    large.pointSize = 30;
    editor::FontMetrics largeMetrics = provider.metrics(large);
    EXPECT_GT(smallMetrics.ascender, 0);
    EXPECT_LT(smallMetrics.descender, 0);
    EXPECT_GT(largeMetrics.ascender, smallMetrics.ascender);
    EXPECT_EQ(provider.metrics(small), smallMetrics);
}

TEST(ViewEnvironmentTests, TheInstalledEnvironmentMeasuresWithQt) {
    velto::testing::viewTestApplication();
    editor::installViewEnvironment();
    EXPECT_NE(dynamic_cast<const editor::QtFontMetricsProvider *>(&editor::currentFontMetricsProvider()), nullptr);
    editor::setFontMetricsProvider(nullptr);
}
