#include "app/lifecycle/ApplicationBundleIdentity.h"
#include "app/lifecycle/ApplicationVersion.h"
#include "platform/ApplicationBundle.h"
#include "platform/ApplicationStorage.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using testing::TemporaryFolder;

TEST(ApplicationBundle, InfoLinesAreKeyValuePairsWithBlanksTrimmedAndTheFirstOfAKeyWins) {
    auto keys = applicationBundle::parseInfo("# comment\n"
                                             "CFBundlePackageType = APPL\r\n"
                                             "; another comment\n"
                                             "no separator here\n"
                                             "=value without key\n"
                                             "VeltoApplicationSupportDirectory=Velto Dev\n"
                                             "CFBundlePackageType=FMWK\n"
                                             "Empty=\n");
    EXPECT_EQ(keys,
              (std::map<std::string, std::string>{
                  {"CFBundlePackageType", "APPL"}, {"VeltoApplicationSupportDirectory", "Velto Dev"}, {"Empty", ""}}));
}

TEST(ApplicationBundle, TheBundleIsTheFolderAboveTheExecutablesFolderAndItsInfoIsRead) {
    EXPECT_EQ(applicationBundle::bundleFolder("/opt/Velto.app/bin/velto"), "/opt/Velto.app");
    TemporaryFolder folder;
    folder.writeFile("Velto.app/Info.ini", "CFBundleIdentifier=app.velto.Velto\n");
    auto bundle = applicationBundle::read(folder / "Velto.app");
    EXPECT_TRUE(bundle.hasInfo);
    EXPECT_EQ(bundle.value("CFBundleIdentifier"), "app.velto.Velto");
    EXPECT_EQ(bundle.value("CFBundleVersion"), std::nullopt);
    EXPECT_EQ(bundle.resourcesFolder(), folder / "Velto.app" / "Resources");
    EXPECT_FALSE(applicationBundle::read(folder / "Missing.app").hasInfo);
}

TEST(ApplicationBundleIdentity, OnlyAFolderNamedDotAppOfPackageTypeApplIsAnApplicationBundle) {
    struct Case {
        const char *folder;
        std::optional<std::string> packageType;
        bool accepted;
    };
    const Case cases[] = {
        {"/opt/Velto.app", "APPL", true},    {"/opt/Velto.APP", "APPL", false}, {"/opt/Velto.app", std::nullopt, false},
        {"/opt/Velto.app", "appl", false},   {"/opt/Velto.app", "FMWK", false}, {"/opt/Velto", "APPL", false},
        {"/work/build/test", "APPL", false},
    };
    for (const Case &test : cases) {
        EXPECT_EQ(ApplicationBundleIdentity(test.folder, test.packageType).isApplicationBundle(), test.accepted)
            << test.folder << " " << test.packageType.value_or("(none)");
    }
}

TEST(ApplicationBundleIdentity, TheTestProgramIsNotAnApplicationBundle) {
    EXPECT_FALSE(ApplicationBundleIdentity::current().isApplicationBundle());
}

TEST(ApplicationStorage, TheFolderNameIsExactlyOnePlainPathComponentElseVelto) {
    const std::pair<const char *, const char *> cases[] = {
        {"Velto", "Velto"}, {"Velto Dev", "Velto Dev"}, {"", "Velto"},     {".", "Velto"},  {"..", "Velto"},
        {"../x", "Velto"},  {"a/b", "Velto"},           {"/abs", "Velto"}, {"x/", "Velto"}, {"..x", "..x"},
    };
    for (const auto &[given, expected] : cases) {
        EXPECT_EQ(applicationStorage::applicationFolderName(given), expected) << given;
    }
    EXPECT_EQ(applicationStorage::applicationFolderName(std::string_view("a\0b", 3)), "Velto");
}

TEST(ApplicationStorage, TheDefaultPagesFolderUsesTheBundlesFolderNameUnderTheDataFolder) {
    EXPECT_EQ(applicationStorage::applicationSupportDirectoryName(), "Velto"); // the tests run from no bundle
    EXPECT_EQ(applicationStorage::defaultPagesFolder("Velto Dev").filename(), "Pages");
    EXPECT_EQ(applicationStorage::defaultPagesFolder("../escape").parent_path().filename(), "Velto");
}

TEST(ApplicationVersion, DescriptionsFollowWhichPartsArePresent) {
    struct Case {
        std::optional<std::string> marketing;
        std::optional<std::string> build;
        const char *display;
        const char *feedback;
    };
    const Case cases[] = {
        {"1.2", "57", "Version 1.2 (57)", "Velto 1.2 (57)"},
        {" 1.2\n", std::nullopt, "Version 1.2", "Velto 1.2"},
        {std::nullopt, "57", "Build 57", "Velto build 57"},
        {"   ", " \t", "Development build", "Velto development build"},
        {std::nullopt, std::nullopt, "Development build", "Velto development build"},
    };
    for (const Case &test : cases) {
        ApplicationVersion version(test.marketing, test.build);
        EXPECT_EQ(version.displayDescription(), test.display);
        EXPECT_EQ(version.feedbackDescription(), test.feedback);
    }
    TemporaryFolder folder;
    folder.writeFile("Velto.app/Info.ini", "CFBundleShortVersionString= 2.0 \nCFBundleVersion=\n");
    EXPECT_EQ(ApplicationVersion(applicationBundle::read(folder / "Velto.app")),
              ApplicationVersion(std::string("2.0"), std::nullopt));
}

} // namespace
} // namespace velto
