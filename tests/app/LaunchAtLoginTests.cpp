// Launching at login through the desktop's autostart folder, in a temporary configuration folder.
#include "app/lifecycle/LaunchAtLogin.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace velto {
namespace {

using launchAtLogin::autostartEntryFile;
using launchAtLogin::status;

class LaunchAtLoginTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
        executable = folder.writeFile("bin dir/velto", "#!/bin/sh\n");
    }

    void writeEntry(const std::string &keys) {
        std::filesystem::create_directories(folder / "config/autostart");
        std::ofstream(folder / "config/autostart/app.velto.Velto.desktop") << "[Desktop Entry]\nType=Application\n"
                                                                           << keys;
    }

    testing::TemporaryFolder folder;
    std::filesystem::path executable;
};

TEST_F(LaunchAtLoginTest, TheEntryDecidesTheStatus) {
    ASSERT_EQ(autostartEntryFile(), folder / "config/autostart/app.velto.Velto.desktop");
    EXPECT_EQ(status(autostartEntryFile(), executable), LaunchAtLoginStatus::disabled); // no entry

    const std::string exec = "Exec=" + launchAtLogin::execValue(executable) + "\n";
    struct Case {
        std::string keys;
        LaunchAtLoginStatus expected;
    };
    const Case cases[] = {
        {exec, LaunchAtLoginStatus::enabled},
        {exec + "Hidden=true\n", LaunchAtLoginStatus::disabled},
        {exec + "X-GNOME-Autostart-enabled=false\n", LaunchAtLoginStatus::disabled},
        {exec + "X-GNOME-Autostart-enabled=true\n", LaunchAtLoginStatus::enabled},
        {"Exec=/gone/velto\n", LaunchAtLoginStatus::disabled},
        {"Exec=" + (folder / "bin").string() + "\n", LaunchAtLoginStatus::disabled}, // unquoted: stops at the space
        {"Name=Velto\n", LaunchAtLoginStatus::disabled},
    };
    for (const Case &test : cases) {
        writeEntry(test.keys);
        EXPECT_EQ(status(autostartEntryFile(), executable), test.expected) << test.keys;
    }

    std::filesystem::remove_all(folder / "config");
    std::ofstream(folder / "config") << "a file where the configuration folder belongs";
    EXPECT_EQ(status(autostartEntryFile(), executable), LaunchAtLoginStatus::unavailable);
    EXPECT_EQ(status(std::nullopt, executable), LaunchAtLoginStatus::unavailable);
}

TEST_F(LaunchAtLoginTest, TheConfigurationFolderFollowsTheEnvironmentAndWithoutOneLaunchingAtLoginIsUnavailable) {
    setenv("HOME", (folder / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", "relative/config", 1); // not absolute: XDG ignores it
    EXPECT_EQ(autostartEntryFile(), folder / "home/.config/autostart/app.velto.Velto.desktop");

    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(autostartEntryFile(), std::nullopt);
    LaunchAtLoginService service = launchAtLogin::live();
    EXPECT_EQ(service.currentStatus(), LaunchAtLoginStatus::unavailable);
    EXPECT_THROW(service.registerService(), std::runtime_error);
    EXPECT_THROW(launchAtLogin::applyWantedState(service, true), std::runtime_error);
}

TEST_F(LaunchAtLoginTest, ExecValuesQuoteReservedCharactersAndReadBack) {
    EXPECT_EQ(launchAtLogin::execValue("/usr/bin/velto"), "/usr/bin/velto");
    EXPECT_EQ(launchAtLogin::execValue("/home/a b/velto"), "\"/home/a b/velto\"");
    for (const std::filesystem::path path :
         {"/usr/bin/velto", "/home/a b/velto", "/odd/\"quote\" $HOME `x`/velto", "/back\\slash dir/velto"}) {
        EXPECT_EQ(launchAtLogin::execProgram(launchAtLogin::execValue(path)), path) << path;
    }
    EXPECT_EQ(launchAtLogin::execProgram("/usr/bin/velto --flag"), std::filesystem::path("/usr/bin/velto"));
    EXPECT_EQ(launchAtLogin::execProgram("\"/unterminated"), std::nullopt);
}

TEST_F(LaunchAtLoginTest, TurningItOnWritesTheEntryAndOffRemovesIt) {
    writeEntry("Exec=/gone/velto\n"); // a moved program: turning it on writes the entry again
    launchAtLogin::registerEntry(*autostartEntryFile(), executable);
    EXPECT_EQ(status(autostartEntryFile(), executable), LaunchAtLoginStatus::enabled);
    launchAtLogin::unregisterEntry(*autostartEntryFile());
    EXPECT_FALSE(std::filesystem::exists(*autostartEntryFile()));
    launchAtLogin::unregisterEntry(*autostartEntryFile()); // already gone
    EXPECT_EQ(status(autostartEntryFile(), executable), LaunchAtLoginStatus::disabled);
}

TEST_F(LaunchAtLoginTest, TheWantedStateRegistersOrUnregistersOnlyWhenItDiffers) {
    struct Case {
        LaunchAtLoginStatus current;
        bool wanted;
        std::string call;
    };
    const Case cases[] = {
        {LaunchAtLoginStatus::unavailable, true, "register"},
        {LaunchAtLoginStatus::disabled, true, "register"},
        {LaunchAtLoginStatus::enabled, true, ""},
        {LaunchAtLoginStatus::requiresApproval, true, ""},
        {LaunchAtLoginStatus::requiresApproval, false, "unregister"},
        {LaunchAtLoginStatus::enabled, false, "unregister"},
        {LaunchAtLoginStatus::disabled, false, ""},
    };
    for (const Case &test : cases) {
        std::string called;
        int reads = 0;
        LaunchAtLoginService service;
        service.currentStatus = [&] { return ++reads == 1 ? test.current : LaunchAtLoginStatus::requiresApproval; };
        service.registerService = [&] { called = "register"; };
        service.unregisterService = [&] { called = "unregister"; };
        EXPECT_EQ(launchAtLogin::applyWantedState(service, test.wanted), LaunchAtLoginStatus::requiresApproval);
        EXPECT_EQ(called, test.call);
    }
    LaunchAtLoginService failing;
    failing.currentStatus = [] { return LaunchAtLoginStatus::disabled; };
    failing.registerService = [] { throw std::runtime_error("no"); };
    EXPECT_THROW(launchAtLogin::applyWantedState(failing, true), std::runtime_error);
}

} // namespace
} // namespace velto
