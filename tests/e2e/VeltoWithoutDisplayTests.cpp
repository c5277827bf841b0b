// Velto started where there is no graphical session (over ssh, on a server): one line says so, and the exit
// status is 1, instead of the toolkit's abort that speaks of reinstalling.
#include "DesktopSession.h"
#include "support/TemporaryFolder.h"

#include <gtest/gtest.h>

namespace velto::testing {
namespace {

using namespace std::chrono_literals;

TEST(VeltoWithoutDisplay, SaysInOneLineThatItNeedsAGraphicalSessionAndExitsWithStatusOne) {
    struct Case {
        const char *name;
        std::optional<std::string> display;
        const char *says;
    };
    const Case cases[] = {
        {"no display", std::nullopt, "no display is set"},
        {"an empty display", "", "no display is set"},
        {"a display nobody serves", ":97", "the display “:97” can’t be reached"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder home;
        Environment environment{{"PATH", "/usr/bin:/bin"},
                                {"LANG", "C.UTF-8"},
                                {"ASAN_OPTIONS", "detect_leaks=1:abort_on_error=1"},
                                {"HOME", home.path().string()},
                                {"XDG_CONFIG_HOME", (home / "config").string()},
                                {"XDG_DATA_HOME", (home / "data").string()},
                                {"XDG_RUNTIME_DIR", home.path().string()}};
        if (c.display) {
            environment["DISPLAY"] = *c.display;
        }
        const std::string outputFile = (home / "output.log").string();
        ChildProcess velto({VeltoProcess::executable().string()}, environment, outputFile);
        EXPECT_EQ(velto.waitForExit(30s), 1);
        const std::string output = readWholeFile(outputFile);
        EXPECT_EQ(output.rfind("Velto needs a graphical session: ", 0), 0u) << output;
        EXPECT_NE(output.find(c.says), std::string::npos) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << "one line: " << output;
        EXPECT_FALSE(std::filesystem::exists(home / "data" / "Velto")) << "it made its data folder";
    }
}

} // namespace
} // namespace velto::testing
