#include "editor_view/QtFonts.h"
#include "editor_view/VeltoEditorPreferences.h"
#include "editor_view/ViewEnvironment.h"

#include "ViewTestApplication.h"
#include "preferences/PreferencesTestSupport.h"

#include <gtest/gtest.h>

using namespace velto;

class VeltoEditorPreferencesTests : public velto::testing::TemporaryPreferences {};

TEST_F(VeltoEditorPreferencesTests, ReadsTheStoredSizeRawAndTheFontChoice) {
    editor::VeltoEditorPreferences preferences;
    EXPECT_EQ(preferences.storedEditorFontSize(), 0);
    EXPECT_EQ(preferences.fontChoice(), editor::EditorFontChoice::monospaced);
    defaults().set(PreferenceKeys::editorFontSize, 14.0);
    VeltoPreferences::setFontChoice(EditorFontChoice::system);
    EXPECT_EQ(preferences.storedEditorFontSize(), 14);
    EXPECT_EQ(editor::editorFontSize(preferences), 15); // not an available size
    EXPECT_EQ(preferences.fontChoice(), editor::EditorFontChoice::system);
}

TEST_F(VeltoEditorPreferencesTests, ReadsTheIndentationChoice) {
    editor::VeltoEditorPreferences preferences;
    EXPECT_EQ(preferences.indentation(), editor::EditorIndentationChoice::spaces2);
    VeltoPreferences::setIndentation(EditorIndentationChoice::tab);
    EXPECT_EQ(preferences.indentation(), editor::EditorIndentationChoice::tab);
    VeltoPreferences::setIndentation(EditorIndentationChoice::spaces4);
    EXPECT_EQ(preferences.indentation(), editor::EditorIndentationChoice::spaces4);
}

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

TEST_F(VeltoEditorPreferencesTests, TheInstalledEnvironmentMeasuresWithQtAndReadsThePreferences) {
    velto::testing::viewTestApplication();
    editor::installViewEnvironment();
    VeltoPreferences::setEditorFontSize(24);
    EXPECT_EQ(editor::editorFontSize(editor::currentEditorPreferences()), 24);
    EXPECT_NE(dynamic_cast<const editor::QtFontMetricsProvider *>(&editor::currentFontMetricsProvider()), nullptr);
    editor::setEditorPreferences(nullptr);
    editor::setFontMetricsProvider(nullptr);
}
