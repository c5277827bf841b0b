#include "page_editor/EditorSettingsFeed.h"

#include "preferences/PreferencesTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace velto;

namespace {

class EditorSettingsFeedTests : public velto::testing::TemporaryPreferences {
protected:
    void SetUp() override {
        TemporaryPreferences::SetUp();
        VeltoPreferences::registerDefaults(); // as at launch: Markdown formatting on
    }
};

TEST_F(EditorSettingsFeedTests, ReadsTheStoredSizeRawAndTheFontChoice) {
    EXPECT_EQ(editor::editorSettingsFromPreferences().storedFontSize, 0);
    EXPECT_EQ(editor::editorSettingsFromPreferences().fontChoice, editor::EditorFontChoice::monospaced);
    defaults().set(PreferenceKeys::editorFontSize, 14.0);
    VeltoPreferences::setFontChoice(EditorFontChoice::system);
    const editor::EditorSettings settings = editor::editorSettingsFromPreferences();
    EXPECT_EQ(settings.storedFontSize, 14);
    EXPECT_EQ(editor::editorFontSize(settings), 15); // not an available size
    EXPECT_EQ(settings.fontChoice, editor::EditorFontChoice::system);
}

TEST_F(EditorSettingsFeedTests, ReadsTheIndentationChoice) {
    EXPECT_EQ(editor::editorSettingsFromPreferences().indentation, editor::EditorIndentationChoice::spaces2);
    VeltoPreferences::setIndentation(EditorIndentationChoice::tab);
    EXPECT_EQ(editor::editorSettingsFromPreferences().indentation, editor::EditorIndentationChoice::tab);
    VeltoPreferences::setIndentation(EditorIndentationChoice::spaces4);
    EXPECT_EQ(editor::editorSettingsFromPreferences().indentation, editor::EditorIndentationChoice::spaces4);
}

// Each change of a preference the editor reads reaches it as one new value, held by the feed before anyone
// hears of it (whoever asks the feed on hearing must get it); other preferences announce nothing.
TEST_F(EditorSettingsFeedTests, APreferenceChangeReachesTheEditorAsANewValueInstalledBeforeItIsAnnounced) {
    struct Change {
        const char *name;
        std::function<void()> write;
        std::function<bool(const editor::EditorSettings &)> shows;
    };
    const std::vector<Change> changes{
        {"font size", [] { VeltoPreferences::setEditorFontSize(24); },
         [](const editor::EditorSettings &s) { return editor::editorFontSize(s) == 24; }},
        {"font", [] { VeltoPreferences::setFontChoice(EditorFontChoice::system); },
         [](const editor::EditorSettings &s) { return s.fontChoice == editor::EditorFontChoice::system; }},
        {"indentation", [] { VeltoPreferences::setIndentation(EditorIndentationChoice::tab); },
         [](const editor::EditorSettings &s) { return s.indentation == editor::EditorIndentationChoice::tab; }},
        {"formatting", [] { VeltoPreferences::setFormatsMarkdown(false); },
         [](const editor::EditorSettings &s) { return !s.formatsMarkdown; }},
        {"spelling",
         [] {
             VeltoPreferences::setTextChecking({true, true});
         },
         [](const editor::EditorSettings &s) { return s.checksSpelling && s.correctsSpellingAutomatically; }},
        {"appearance", [] { VeltoPreferences::setAppearance(AppearanceChoice::dark); },
         [](const editor::EditorSettings &s) { return s.appearance == editor::AppearanceChoice::dark; }},
    };
    editor::EditorSettingsFeed feed;
    EXPECT_EQ(feed.current(), editor::editorSettingsFromPreferences()) << "read from the start";
    std::vector<editor::EditorSettings> announced;
    std::vector<editor::EditorSettings> installedWhenAnnounced;
    QObject::connect(&feed, &editor::EditorSettingsFeed::editorSettingsChanged,
                     [&](const editor::EditorSettings &settings) {
                         announced.push_back(settings);
                         installedWhenAnnounced.push_back(feed.current());
                     });
    for (const Change &change : changes) {
        SCOPED_TRACE(change.name);
        const std::size_t before = announced.size();
        change.write();
        ASSERT_EQ(announced.size(), before + 1);
        EXPECT_TRUE(change.shows(announced.back()));
        EXPECT_EQ(installedWhenAnnounced.back(), announced.back());
        EXPECT_EQ(feed.current(), announced.back());
    }
    VeltoPreferences::setPanelSize(PanelSizeChoice::large);
    VeltoPreferences::setEditorFontSize(24); // unchanged: not written, not announced
    EXPECT_EQ(announced.size(), changes.size()) << "nothing the editor reads changed";
}

} // namespace
