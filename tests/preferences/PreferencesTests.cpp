#include "PreferencesTestSupport.h"

#include "platform/ApplicationStorage.h"
#include "preferences/PagesFolderBookmark.h"

#include <QtCore/QDir>

namespace velto {
namespace {

using PreferencesTest = testing::TemporaryPreferences;

class RegisteredPreferencesTest : public testing::TemporaryPreferences {
protected:
    void SetUp() override {
        TemporaryPreferences::SetUp();
        VeltoPreferences::registerDefaults();
    }
};

TEST_F(RegisteredPreferencesTest, FreshDomainHoldsEveryDefault) {
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::system);
    EXPECT_EQ(VeltoPreferences::panelSizeMode(), PanelSizeMode::presetMode(PanelSizeChoice::compact));
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(500, 325));
    EXPECT_EQ(VeltoPreferences::fontChoice(), EditorFontChoice::monospaced);
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 15);
    EXPECT_EQ(VeltoPreferences::indentation(), EditorIndentationChoice::spaces2);
    EXPECT_EQ(VeltoPreferences::autoArchiveDuration(), AutoArchiveDuration::oneWeek);
    EXPECT_EQ(VeltoPreferences::textChecking(), (EditorTextCheckingSettings{false, false}));
    EXPECT_TRUE(VeltoPreferences::formatsMarkdown());
    EXPECT_EQ(VeltoPreferences::globalShortcut(), (GlobalShortcut{49, ModifierFlags::option, "Space"}));
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(),
              (GlobalShortcut{9, ModifierFlags::option | ModifierFlags::command, "V"}));
    EXPECT_TRUE(VeltoPreferences::isUsingDefaults());
    EXPECT_EQ(changes, 0);
}

TEST_F(RegisteredPreferencesTest, RegisteredDefaultsAreNeverWrittenToTheFile) {
    defaults().synchronize();
    DefaultsDomain reopened{filePath()};
    EXPECT_FALSE(reopened.object(PreferenceKeys::formatsMarkdown).isValid());
}

TEST_F(PreferencesTest, ChoicesRoundTripThroughTheirRawTexts) {
    for (AppearanceChoice choice : allCases<AppearanceChoice>()) {
        VeltoPreferences::setAppearance(choice);
        EXPECT_EQ(VeltoPreferences::appearance(), choice);
    }
    for (EditorIndentationChoice choice : allCases<EditorIndentationChoice>()) {
        VeltoPreferences::setIndentation(choice);
        EXPECT_EQ(VeltoPreferences::indentation(), choice);
    }
    for (AutoArchiveDuration duration : allCases<AutoArchiveDuration>()) {
        VeltoPreferences::setAutoArchiveDuration(duration);
        EXPECT_EQ(VeltoPreferences::autoArchiveDuration(), duration);
    }
    VeltoPreferences::setFontChoice(EditorFontChoice::system);
    EXPECT_EQ(VeltoPreferences::fontChoice(), EditorFontChoice::system);
    EXPECT_EQ(defaults().string(PreferenceKeys::recentPagesDuration), QStringLiteral("never"));
    EXPECT_EQ(changes, 3 + 3 + 4 + 1);
}

TEST(PreferenceChoices, RawValuesAreCaseSensitive) {
    EXPECT_EQ(choiceFromRawValue<PanelSizeChoice>("expansive"), PanelSizeChoice::expansive);
    EXPECT_EQ(choiceFromRawValue<PanelSizeChoice>("Compact"), std::nullopt);
    EXPECT_EQ(choiceFromRawValue<AutoArchiveDuration>("oneMonth"), AutoArchiveDuration::oneMonth);
    EXPECT_EQ(choiceFromRawValue<EditorFontChoice>(""), std::nullopt);
}

TEST_F(PreferencesTest, UnknownTextFallsBackInEveryReader) {
    defaults().set(PreferenceKeys::appearanceChoice, "sepia");
    defaults().set(PreferenceKeys::panelSizeChoice, "huge");
    defaults().set(PreferenceKeys::editorFontChoice, "serif");
    defaults().set(PreferenceKeys::editorIndentationChoice, 4);
    defaults().set(PreferenceKeys::recentPagesDuration, "oneYear");
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::system);
    EXPECT_EQ(VeltoPreferences::panelSizeMode(), PanelSizeMode::presetMode(PanelSizeChoice::compact));
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(500, 325));
    EXPECT_EQ(VeltoPreferences::fontChoice(), EditorFontChoice::monospaced);
    EXPECT_EQ(VeltoPreferences::indentation(), EditorIndentationChoice::spaces2);
    EXPECT_EQ(VeltoPreferences::autoArchiveDuration(), AutoArchiveDuration::oneWeek);
    EXPECT_EQ(defaults().string(PreferenceKeys::appearanceChoice), QStringLiteral("sepia")) << "nothing rewritten";

    defaults().set(PreferenceKeys::panelSizeMode, "custom");
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(500, 325));
}

TEST_F(PreferencesTest, PresetContentSizes) {
    const std::pair<PanelSizeChoice, QSizeF> presets[] = {
        {PanelSizeChoice::minimal, {400, 260}},   {PanelSizeChoice::compact, {500, 325}},
        {PanelSizeChoice::regular, {610, 400}},   {PanelSizeChoice::large, {750, 490}},
        {PanelSizeChoice::expansive, {920, 600}},
    };
    for (const auto &[choice, size] : presets) {
        VeltoPreferences::setPanelSize(choice);
        EXPECT_EQ(VeltoPreferences::panelContentSize(), size) << rawValue(choice).toStdString();
    }
    EXPECT_FALSE(defaults().object(PreferenceKeys::panelSizeMode).isValid()) << "setting a preset leaves the mode";
}

TEST_F(PreferencesTest, CustomSizeIsClampedOrFallsBackToThePreset) {
    defaults().set(PreferenceKeys::panelSizeMode, "custom");
    defaults().set(PreferenceKeys::customPanelWidth, 2000.0);
    defaults().set(PreferenceKeys::customPanelHeight, 100.0);
    EXPECT_EQ(VeltoPreferences::panelSizeMode(), PanelSizeMode::custom());
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(1200, 150));

    defaults().set(PreferenceKeys::customPanelWidth, 0.0);
    VeltoPreferences::setPanelSize(PanelSizeChoice::large);
    EXPECT_EQ(VeltoPreferences::panelContentSize(), QSizeF(750, 490));
}

TEST_F(PreferencesTest, RememberedSizeIsClampedBeforeItIsWritten) {
    VeltoPreferences::rememberPanelContentSize({100, 1000});
    EXPECT_EQ(defaults().number(PreferenceKeys::customPanelWidth), 360);
    EXPECT_EQ(defaults().number(PreferenceKeys::customPanelHeight), 900);
    EXPECT_FALSE(defaults().object(PreferenceKeys::panelSizeMode).isValid());
    EXPECT_EQ(changes, 1);
}

TEST(PanelSizeStepping, StepsToTheNeighbouringPreset) {
    struct Case {
        QSizeF from;
        int step;
        std::optional<PanelSizeChoice> expected;
    };
    const Case cases[] = {
        {{500, 325}, 1, PanelSizeChoice::regular},
        {{500, 325}, -1, PanelSizeChoice::minimal},
        {{500, 325}, 7, PanelSizeChoice::regular},
        {{500, 325}, 0, std::nullopt},
        {{920, 600}, 1, std::nullopt},
        {{400, 260}, -1, std::nullopt},
        {{640, 300}, 1, PanelSizeChoice::compact},
        {{640, 300}, -1, PanelSizeChoice::regular},
        {{1200, 900}, -1, PanelSizeChoice::expansive},
        {{360, 150}, 1, PanelSizeChoice::minimal},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(panelSizeChoiceStepping(c.from, c.step), c.expected)
            << c.from.width() << "x" << c.from.height() << " by " << c.step;
    }
}

TEST(FontSizeStepping, StepsThroughTheAvailableSizes) {
    struct Case {
        double from;
        int step;
        double expected;
    };
    const Case cases[] = {
        {15, 1, 17}, {30, 1, 30}, {13, -5, 13}, {16, -1, 15}, {13, 0, 13}, {24, -2, 17}, {19, 100, 30}, {0, 1, 15},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(VeltoPreferences::fontSize(c.from, c.step), c.expected) << c.from << " by " << c.step;
    }
}

TEST_F(PreferencesTest, EditorFontSizeAcceptsOnlyAvailableSizesThatDiffer) {
    defaults().set(PreferenceKeys::editorFontSize, 16.0);
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 15);
    defaults().set(PreferenceKeys::editorFontSize, "big");
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 15);
    defaults().set(PreferenceKeys::editorFontSize, "19");
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 19) << "double reads parse text, as the platform's do";
    defaults().remove(PreferenceKeys::editorFontSize);

    EXPECT_FALSE(VeltoPreferences::setEditorFontSize(15));
    EXPECT_FALSE(VeltoPreferences::setEditorFontSize(18));
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(VeltoPreferences::setEditorFontSize(24));
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 24);
    EXPECT_EQ(changes, 1);
}

TEST_F(PreferencesTest, TextCheckingWritesBothSwitchesWithOneNotification) {
    VeltoPreferences::setTextChecking({true, true});
    EXPECT_EQ(VeltoPreferences::textChecking(), (EditorTextCheckingSettings{true, true}));
    EXPECT_EQ(changes, 1);
}

TEST_F(RegisteredPreferencesTest, RemovedShowHideShortcutIsNotTheDefault) {
    defaults().set(PreferenceKeys::globalShortcutConfigured, true);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt);
    EXPECT_FALSE(VeltoPreferences::isUsingDefaults());
}

TEST_F(PreferencesTest, ShowHideKeyCodeCountsWithoutConfiguredFlag) {
    defaults().set(PreferenceKeys::globalShortcutKeyCode, 2);
    defaults().set(PreferenceKeys::globalShortcutModifiers, 786432);
    defaults().set(PreferenceKeys::globalShortcutKeyLabel, "D");
    EXPECT_EQ(VeltoPreferences::globalShortcut(), (GlobalShortcut{2, 786432, "D"}));

    defaults().remove(PreferenceKeys::globalShortcutKeyLabel);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt) << "a key code without a label is no shortcut";
}

TEST_F(PreferencesTest, AppendClipboardKeyCodeWithoutConfiguredFlagIsIgnored) {
    defaults().set(PreferenceKeys::appendClipboardShortcutKeyCode, 2);
    defaults().set(PreferenceKeys::appendClipboardShortcutKeyLabel, "D");
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(), VeltoPreferences::defaultAppendClipboardShortcut());
    defaults().set(PreferenceKeys::appendClipboardShortcutConfigured, true);
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(), (GlobalShortcut{2, 0, "D"}));
}

TEST_F(PreferencesTest, StoredKeyCodeMustBeANumberAndModifiersNotNegative) {
    defaults().set(PreferenceKeys::globalShortcutKeyCode, "49");
    defaults().set(PreferenceKeys::globalShortcutKeyLabel, "Space");
    EXPECT_EQ(VeltoPreferences::globalShortcut(), VeltoPreferences::defaultGlobalShortcut())
        << "text is not a key-code number, so the unconfigured default applies";

    defaults().set(PreferenceKeys::globalShortcutKeyCode, 49);
    defaults().set(PreferenceKeys::globalShortcutModifiers, -1);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt);
}

TEST_F(PreferencesTest, GlobalShortcutSettersWriteAndRemoveTheirKeys) {
    GlobalShortcut shortcut{2, ModifierFlags::option | ModifierFlags::command, "D"};
    VeltoPreferences::setGlobalShortcut(shortcut);
    VeltoPreferences::setAppendClipboardShortcut(std::nullopt);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), shortcut);
    EXPECT_EQ(VeltoPreferences::appendClipboardShortcut(), std::nullopt);
    EXPECT_TRUE(defaults().boolean(PreferenceKeys::appendClipboardShortcutConfigured));
    EXPECT_FALSE(defaults().object(PreferenceKeys::appendClipboardShortcutKeyLabel).isValid());
    EXPECT_EQ(changes, 2);

    DefaultsDomain reopened{filePath()};
    EXPECT_EQ(reopened.number(PreferenceKeys::globalShortcutKeyCode), 2) << "the number survives the file";
    EXPECT_EQ(reopened.string(PreferenceKeys::globalShortcutKeyLabel), QStringLiteral("D"));
}

TEST_F(RegisteredPreferencesTest, EachDeparturePreventsUsingDefaults) {
    const std::function<void()> departures[] = {
        [] { VeltoPreferences::setAppearance(AppearanceChoice::dark); },
        [this] { defaults().set(PreferenceKeys::panelSizeMode, "custom"); },
        [] { VeltoPreferences::setPanelSize(PanelSizeChoice::large); },
        [] { VeltoPreferences::setFontChoice(EditorFontChoice::system); },
        [] { VeltoPreferences::setEditorFontSize(17); },
        [] { VeltoPreferences::setIndentation(EditorIndentationChoice::tab); },
        [] {
            VeltoPreferences::setTextChecking({false, true});
        },
        [] { VeltoPreferences::setFormatsMarkdown(false); },
        [] { VeltoPreferences::setAutoArchiveDuration(AutoArchiveDuration::never); },
        [] {
            VeltoPreferences::setGlobalShortcut(GlobalShortcut{49, ModifierFlags::control, "Space"});
        },
        [] {
            VeltoPreferences::setAppendClipboardShortcut(GlobalShortcut{9, ModifierFlags::option, "V"});
        },
    };
    for (std::size_t index = 0; index < std::size(departures); ++index) {
        VeltoPreferences::restoreEditorAndAppearanceDefaults();
        VeltoPreferences::setGlobalShortcut(VeltoPreferences::defaultGlobalShortcut());
        VeltoPreferences::setAppendClipboardShortcut(VeltoPreferences::defaultAppendClipboardShortcut());
        ASSERT_TRUE(VeltoPreferences::isUsingDefaults()) << index;
        departures[index]();
        EXPECT_FALSE(VeltoPreferences::isUsingDefaults()) << index;
    }
}

TEST_F(RegisteredPreferencesTest, RestoringDefaultsFromCustomSizePostsBothNotifications) {
    defaults().set(PreferenceKeys::panelSizeMode, "custom");
    VeltoPreferences::rememberPanelContentSize({700, 500});
    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    VeltoPreferences::setGlobalShortcut(std::nullopt);
    changes = 0;

    int changesWhenModeChanged = -1;
    QObject::connect(&center, &VeltoNotificationCenter::veltoPanelSizeModeDidChange,
                     [&] { changesWhenModeChanged = changes; });
    VeltoPreferences::restoreEditorAndAppearanceDefaults();

    EXPECT_EQ(defaults().string(PreferenceKeys::panelSizeMode), QStringLiteral("preset"));
    EXPECT_FALSE(defaults().object(PreferenceKeys::customPanelWidth).isValid());
    EXPECT_FALSE(defaults().object(PreferenceKeys::customPanelHeight).isValid());
    EXPECT_EQ(panelSizeModeChanges, 1);
    EXPECT_EQ(changesWhenModeChanged, 0) << "the panel-size-mode notification goes out inside the batch";
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::system);
    EXPECT_EQ(VeltoPreferences::editorFontSize(), 15);
    EXPECT_EQ(VeltoPreferences::globalShortcut(), std::nullopt) << "global shortcuts are not restored here";
}

TEST_F(PreferencesTest, PagesFolderDefaultsWithoutTouchingTheDomain) {
    EXPECT_EQ(VeltoPreferences::resolvePagesFolderURL(), applicationStorage::defaultPagesFolder());
    EXPECT_FALSE(defaults().object(PreferenceKeys::pagesFolderBookmark).isValid());
    EXPECT_EQ(changes, 0);
}

TEST_F(PreferencesTest, ChosenPagesFolderResolvesToItsPath) {
    std::filesystem::path pages = std::filesystem::path(folder.path().toStdString()) / "My Pages";
    std::filesystem::create_directory(pages);
    VeltoPreferences::setPagesFolder(pagesFolderBookmarkData(pages), VeltoFolderOwnershipMode::wholeFolder);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(defaults().string(PreferenceKeys::pagesFolderOwnershipMode), QStringLiteral("wholeFolder"));

    DefaultsDomain reopened{filePath()};
    EXPECT_EQ(reopened.data(PreferenceKeys::pagesFolderBookmark), pagesFolderBookmarkData(pages));
    EXPECT_EQ(VeltoPreferences::resolvePagesFolderURL(), pages);
    EXPECT_EQ(changes, 1) << "a path bookmark is never stale, so nothing is rewritten";
}

TEST_F(PreferencesTest, MissingPagesFolderIsReportedNotRecreated) {
    std::filesystem::path pages = std::filesystem::path(folder.path().toStdString()) / "Unmounted" / "Pages";
    VeltoPreferences::setPagesFolder(pagesFolderBookmarkData(pages), VeltoFolderOwnershipMode::managedFolder);
    EXPECT_THROW(VeltoPreferences::resolvePagesFolderURL(), PagesFolderBookmarkError);
    EXPECT_FALSE(std::filesystem::exists(pages));
}

TEST_F(PreferencesTest, AForgottenPagesFolderResolvesToTheDefaultAgain) {
    std::filesystem::path pages = std::filesystem::path(folder.path().toStdString()) / "Unmounted" / "Pages";
    VeltoPreferences::setPagesFolder(pagesFolderBookmarkData(pages), VeltoFolderOwnershipMode::managedFolder);
    VeltoPreferences::forgetPagesFolder();
    EXPECT_EQ(VeltoPreferences::resolvePagesFolderURL(), applicationStorage::defaultPagesFolder());
    EXPECT_FALSE(defaults().object(PreferenceKeys::pagesFolderOwnershipMode).isValid());
    EXPECT_EQ(changes, 2);
    DefaultsDomain reopened{filePath()};
    EXPECT_FALSE(reopened.data(PreferenceKeys::pagesFolderBookmark).has_value());
}

TEST(PagesFolderBookmark, EmptyOrRelativeBookmarksDoNotResolve) {
    EXPECT_THROW(resolvedPagesFolderBookmark(QByteArray()), PagesFolderBookmarkError);
    EXPECT_THROW(resolvedPagesFolderBookmark(QByteArray("Pages")), PagesFolderBookmarkError);
    EXPECT_THROW(resolvedPagesFolderBookmark(QByteArray("../tmp")), PagesFolderBookmarkError);
    EXPECT_THROW(pagesFolderBookmarkData("relative/Pages"), PagesFolderBookmarkError);
    EXPECT_THROW(pagesFolderBookmarkData({}), PagesFolderBookmarkError);
}

TEST(DefaultsDomainTypes, NumbersBooleansTextAndDataStayApartInTheFile) {
    QTemporaryDir folder;
    QString path = folder.filePath("Velto.json");
    {
        DefaultsDomain domain{path};
        domain.set("number", 42);
        domain.set("text", "42");
        domain.set("flag", true);
        domain.set("bytes", QByteArray("\x00\xff/", 3));
        domain.synchronize();
        ASSERT_EQ(domain.status(), QSettings::NoError);
    }
    DefaultsDomain domain{path};
    EXPECT_EQ(domain.number("number"), 42);
    EXPECT_EQ(domain.string("number"), std::nullopt);
    EXPECT_EQ(domain.number("text"), std::nullopt);
    EXPECT_EQ(domain.string("text"), QStringLiteral("42"));
    EXPECT_EQ(domain.integer("text"), 42) << "integer reads parse text like the platform does";
    EXPECT_EQ(domain.number("flag"), std::nullopt);
    EXPECT_TRUE(domain.boolean("flag"));
    EXPECT_EQ(domain.data("bytes"), QByteArray("\x00\xff/", 3));
    EXPECT_EQ(domain.string("bytes"), std::nullopt);
}

TEST(DefaultsDomainTypes, DamagedFileReadsAsEmptyAndIsKept) {
    QTemporaryDir folder;
    QString path = folder.filePath("Velto.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    DefaultsDomain domain{path};
    domain.registerDefaults({{"formatsMarkdown", true}});
    EXPECT_FALSE(domain.object("appearanceChoice").isValid());
    EXPECT_TRUE(domain.boolean("formatsMarkdown"));

    QFile copy(path + ".damaged");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << "the damaged file is kept before anything overwrites it";
    EXPECT_EQ(copy.readAll(), QByteArray("{ not json"));
}

TEST(ApplicationStorage, DefaultPagesFolderFollowsXdgDataHome) {
    EXPECT_EQ(applicationStorage::userDataDirectory("/data", "/home/ann"), std::filesystem::path("/data"));
    EXPECT_EQ(applicationStorage::userDataDirectory("", "/home/ann"), std::filesystem::path("/home/ann/.local/share"));
    EXPECT_EQ(applicationStorage::userDataDirectory("relative", "/home/ann"),
              std::filesystem::path("/home/ann/.local/share"));
    EXPECT_EQ(applicationStorage::userDataDirectory("", ""), std::filesystem::path());
    EXPECT_EQ(applicationStorage::applicationFolderName(), "Velto");
    EXPECT_EQ(applicationStorage::applicationFolderName("Velto Beta"), "Velto Beta");
    std::filesystem::path pages = applicationStorage::defaultPagesFolder();
    EXPECT_EQ(pages.filename(), "Pages");
    EXPECT_EQ(pages.parent_path().filename(), "Velto");
}

} // namespace
} // namespace velto
