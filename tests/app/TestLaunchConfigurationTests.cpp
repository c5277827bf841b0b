#include "app/lifecycle/ApplicationTestLaunchConfiguration.h"
#include "preferences/Preferences.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace velto {
namespace {

using testing::TemporaryFolder;
using Configuration = ApplicationTestLaunchConfiguration;

const std::map<std::string, std::string> smokeEnvironment{{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", "/tmp/pages"},
                                                          {"VELTO_SMOKE_TEST_FIXTURE", "/tmp/manifest.json"}};

TEST(ApplicationTestLaunchConfiguration, OnlyTheWholeArgumentEnablesTheSmokeTestAndOnlyThenIsTheEnvironmentRead) {
    struct Case {
        std::vector<std::string> arguments;
        bool enabled;
    };
    const Case cases[] = {
        {{"velto", "--packaged-launch-smoke"}, true},
        {{"--packaged-launch-smoke", "velto"}, true},
        {{"velto", "--packaged-launch-smoke=1"}, false},
        {{"velto", "--packaged-launch-smok"}, false},
        {{"velto"}, false},
    };
    for (const Case &test : cases) {
        Configuration configuration(test.arguments, smokeEnvironment);
        EXPECT_EQ(configuration.isEnabled, test.enabled) << test.arguments.back();
        EXPECT_EQ(configuration.documentURL.has_value(), test.enabled);
        EXPECT_EQ(configuration.fixtureURL.has_value(), test.enabled);
        EXPECT_FALSE(configuration.resetsPreferences || configuration.opensEditor || configuration.showsWelcome);
    }
    Configuration withoutVariables({"velto", "--packaged-launch-smoke"}, {});
    EXPECT_TRUE(withoutVariables.isEnabled);
    EXPECT_FALSE(withoutVariables.documentURL || withoutVariables.fixtureURL);
    EXPECT_EQ(Configuration({"velto", "--packaged-launch-smoke"}, smokeEnvironment),
              Configuration({"velto", "--packaged-launch-smoke"}, smokeEnvironment));
}

class SmokePreparation : public ::testing::Test {
protected:
    void TearDown() override { VeltoPreferences::useStorage(nullptr); }
    TemporaryFolder folder;
};

TEST_F(SmokePreparation, CreatesTheStorageFolderWithItsParentsAndCopiesTheFixtureOnlyWhenNoManifestExists) {
    folder.writeFile("fixture.json", "{\"fixture\":true}");
    Configuration configuration({"velto", "--packaged-launch-smoke"},
                                {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "a/b/Pages").string()},
                                 {"VELTO_SMOKE_TEST_FIXTURE", (folder / "fixture.json").string()}});
    configuration.prepare(std::string("app.velto.Velto"));
    EXPECT_EQ(folder.readFile("a/b/Pages/.velto/manifest.json"), "{\"fixture\":true}");

    folder.writeFile("a/b/Pages/.velto/manifest.json", "{\"written\":\"by Velto\"}");
    Configuration again({"velto", "--packaged-launch-smoke"},
                        {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "a/b/Pages").string()},
                         {"VELTO_SMOKE_TEST_FIXTURE", (folder / "fixture.json").string()}});
    again.prepare(std::nullopt);
    EXPECT_EQ(folder.readFile("a/b/Pages/.velto/manifest.json"), "{\"written\":\"by Velto\"}");
}

TEST_F(SmokePreparation, AMissingFixtureOrAnUncreatableFolderThrows) {
    Configuration missingFixture({"velto", "--packaged-launch-smoke"},
                                 {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "Pages").string()},
                                  {"VELTO_SMOKE_TEST_FIXTURE", (folder / "absent.json").string()}});
    EXPECT_THROW(missingFixture.prepare(std::nullopt), std::filesystem::filesystem_error);

    folder.writeFile("file", "not a folder");
    Configuration blocked({"velto", "--packaged-launch-smoke"},
                          {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "file/Pages").string()}});
    EXPECT_THROW(blocked.prepare(std::nullopt), std::filesystem::filesystem_error);
}

TEST_F(SmokePreparation, WithoutAStorageFolderItUsesATemporaryOneAndNeverTheUsersPreferencesOrPages) {
    std::filesystem::path dataHome = std::getenv("XDG_DATA_HOME") != nullptr ? std::getenv("XDG_DATA_HOME") : "";
    std::filesystem::path configHome = std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : "";
    Configuration configuration({"velto", "--packaged-launch-smoke"}, {});
    configuration.prepare(std::string("app.velto.Velto"));
    ASSERT_TRUE(configuration.documentURL.has_value());
    EXPECT_TRUE(std::filesystem::is_directory(*configuration.documentURL / ".velto"));
    EXPECT_EQ(configuration.documentURL->string().find(dataHome.string() + "/Velto"), std::string::npos);

    VeltoPreferences::setAppearance(AppearanceChoice::dark);
    VeltoPreferences::storage().defaults().synchronize();
    EXPECT_EQ(VeltoPreferences::appearance(), AppearanceChoice::dark);
    EXPECT_TRUE(std::filesystem::exists(configuration.privatePreferencesFile));
    EXPECT_FALSE(std::filesystem::exists(configHome / "Velto"));
    std::filesystem::remove_all(configuration.documentURL->parent_path());
}

TEST_F(SmokePreparation, AnOrdinaryLaunchPreparesNothing) {
    Configuration configuration({"velto"}, {{"VELTO_SMOKE_TEST_STORAGE_DIRECTORY", (folder / "Pages").string()}});
    configuration.prepare(std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(folder / "Pages"));
    EXPECT_TRUE(configuration.privatePreferencesFile.empty());
}

} // namespace
} // namespace velto
