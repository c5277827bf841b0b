// scripts/install.sh on the staged application folder, into a home whose path holds a space.
#include "AppTestSupport.h"
#include "platform/ApplicationBundle.h"
#include "support/ChildProcess.h"
#include "support/TemporaryFolder.h"

#include <QtGui/QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace velto {
namespace {

class Install : public ::testing::Test {
protected:
    testing::ToolResult install(const std::filesystem::path &bundle) {
        testing::Environment environment{
            {"PATH", std::getenv("PATH")}, {"HOME", home.string()}, {"XDG_DATA_HOME", data.string()}};
        return testing::runTool(
            {"bash", std::string(VELTO_SOURCE_DIR) + "/scripts/install.sh", "--bundle", bundle.string()}, environment,
            std::chrono::seconds(60));
    }
    std::filesystem::path installed() const { return home / ".local/lib/Velto.app"; }

    /// The staged application folder with a small stand-in for the executable: the sanitizer build's is large.
    std::filesystem::path stagedBundle() {
        const std::filesystem::path staged = root / "build/Velto.app";
        if (!std::filesystem::exists(staged)) {
            std::filesystem::create_directories(staged / "bin");
            std::filesystem::copy(std::filesystem::path(VELTO_BUNDLE_DIR) / "Info.ini", staged / "Info.ini");
            std::filesystem::copy(std::filesystem::path(VELTO_BUNDLE_DIR) / "Resources", staged / "Resources",
                                  std::filesystem::copy_options::recursive);
            root.writeFile("build/Velto.app/bin/velto", "#!/bin/sh\n");
            std::filesystem::permissions(staged / "bin/velto", std::filesystem::perms::owner_all);
        }
        return staged;
    }

    testing::TemporaryFolder root;
    std::filesystem::path home = root / "my home";
    std::filesystem::path data = root / "my home/.local/share";
};

TEST_F(Install, TheApplicationFolderTheCommandTheDesktopEntryAndTheIconsGoUnderTheHome) {
    ASSERT_EQ(install(stagedBundle()).exitStatus, 0);

    EXPECT_EQ(::access((installed() / "bin/velto").c_str(), X_OK), 0);
    EXPECT_EQ(applicationBundle::read(installed()).value("CFBundlePackageType"), "APPL");
    EXPECT_EQ(std::filesystem::canonical(home / ".local/bin/velto"),
              std::filesystem::canonical(installed() / "bin/velto"));

    std::string entry = testing::readWholeFile((data / "applications/app.velto.Velto.desktop").string());
    for (const std::string line : {"[Desktop Entry]\n", "\nType=Application\n", "\nName=Velto\n",
                                   "\nCategories=Utility;TextEditor;\n", "\nIcon=app.velto.Velto\n"}) {
        EXPECT_NE(entry.find(line), std::string::npos) << line;
    }
    // The path holds a space, so the Exec key quotes it.
    EXPECT_NE(entry.find("\nExec=\"" + installed().string() + "/bin/velto\"\n"), std::string::npos) << entry;

    const std::filesystem::path hicolor = data / "icons/hicolor";
    for (const char *name : {"app.velto.Velto", "app.velto.Velto-dark"}) {
        EXPECT_TRUE(std::filesystem::exists(hicolor / "scalable/apps" / (std::string(name) + ".svg")));
        for (int size : {16, 32, 256}) {
            std::string file = std::to_string(size) + "x" + std::to_string(size) + "/apps/" + name + ".png";
            QImage icon(QString::fromStdString((hicolor / file).string()));
            EXPECT_EQ(icon.size(), QSize(size, size)) << file;
        }
    }
}

TEST_F(Install, AnotherInstallReplacesTheFolderWholeAndAFolderThatIsNoApplicationIsRefused) {
    ASSERT_EQ(install(stagedBundle()).exitStatus, 0);
    root.writeFile("my home/.local/lib/Velto.app/Resources/stale.js", "old");
    ASSERT_EQ(install(stagedBundle()).exitStatus, 0);
    EXPECT_FALSE(std::filesystem::exists(installed() / "Resources/stale.js"));
    EXPECT_TRUE(std::filesystem::exists(installed() / "bin/velto"));

    root.writeFile("Elsewhere/readme.txt", "not an application");
    EXPECT_NE(install(root / "Elsewhere").exitStatus, 0);
    EXPECT_TRUE(std::filesystem::exists(installed() / "bin/velto")); // the installed one stays
}

} // namespace
} // namespace velto
