#include "support/PrivateDisplayTest.h"

namespace velto::testing {

void PrivateDisplayTest::SetUp() {
    if (std::optional<std::string> missing = firstMissingProgram(requiredPrograms())) {
        GTEST_SKIP() << *missing << " is not installed";
    }
    server = std::make_unique<PrivateXServer>(currentEnvironment());
    ASSERT_TRUE(server->isReady()) << server->failure();
    if (!windowProgram_.empty()) {
        program = startProgram(windowProgram_);
        window = focusWhenReady(*program);
        ASSERT_FALSE(window.empty()) << windowProgram_ << " did not show its window";
    }
}

std::unique_ptr<LineProcess> PrivateDisplayTest::startProgram(const std::string &path,
                                                              const std::vector<std::string> &arguments) {
    std::vector<std::string> command{path};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return std::make_unique<LineProcess>(command, server->clientEnvironment());
}

std::string PrivateDisplayTest::focusWhenReady(LineProcess &program) {
    const std::string ready = program.waitForLineStartingWith("ready ");
    if (ready.empty()) {
        return {};
    }
    const std::string window = ready.substr(6);
    return xdotool({"windowfocus", "--sync", window}) == 0 ? window : std::string();
}

int PrivateDisplayTest::xdotool(const std::vector<std::string> &arguments) {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return server->run(command).exitStatus;
}

} // namespace velto::testing
