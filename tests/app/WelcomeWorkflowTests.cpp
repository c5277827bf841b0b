// Carrying out the Welcome's answer: what is called, in which order, and what stops it.
#include "app/welcome/WelcomeWorkflow.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace velto {
namespace {

struct Recorder {
    bool stored = true;
    LaunchAtLoginStatus status = LaunchAtLoginStatus::enabled;
    bool failsToSwitch = false;
    std::vector<std::string> calls;

    WelcomeWorkflow workflow() {
        WelcomeWorkflow workflow;
        workflow.completeWelcome = [this] {
            calls.push_back("record");
            return stored;
        };
        workflow.setLaunchAtLoginEnabled = [this](bool wanted) {
            calls.push_back(wanted ? "login on" : "login off");
            if (failsToSwitch) {
                throw std::runtime_error("cannot");
            }
            return status;
        };
        workflow.showEditor = [this] { calls.push_back("show"); };
        workflow.chooseShortcut = [this] { calls.push_back("recorder"); };
        workflow.requestLaunchAtLoginApproval = [this] { calls.push_back("approval"); };
        return workflow;
    }
};

TEST(WelcomeWorkflow, AnswersAreCarriedOutInOrderAndStopWhereTheyMust) {
    using Calls = std::vector<std::string>;
    struct Case {
        WelcomeChoice choice;
        bool stored;
        LaunchAtLoginStatus status;
        WelcomeOutcome outcome;
        Calls calls;
    };
    const Case cases[] = {
        {WelcomeChoice::cancel(), true, LaunchAtLoginStatus::enabled, WelcomeOutcome::dismissed, {}},
        {WelcomeChoice::startWriting(true),
         false,
         LaunchAtLoginStatus::enabled,
         WelcomeOutcome::notRecorded,
         {"record"}},
        {WelcomeChoice::startWriting(true),
         true,
         LaunchAtLoginStatus::enabled,
         WelcomeOutcome::started,
         {"record", "login on", "show"}},
        {WelcomeChoice::startWriting(false),
         true,
         LaunchAtLoginStatus::disabled,
         WelcomeOutcome::started,
         {"record", "login off", "show"}},
        {WelcomeChoice::startWriting(true),
         true,
         LaunchAtLoginStatus::requiresApproval,
         WelcomeOutcome::started,
         {"record", "login on", "show", "approval"}},
        {WelcomeChoice::chooseShortcut(false),
         true,
         LaunchAtLoginStatus::disabled,
         WelcomeOutcome::started,
         {"record", "login off", "recorder"}},
        {WelcomeChoice::chooseShortcut(true),
         true,
         LaunchAtLoginStatus::requiresApproval,
         WelcomeOutcome::started,
         {"record", "login on", "recorder", "approval"}},
        {WelcomeChoice::chooseShortcut(true),
         false,
         LaunchAtLoginStatus::enabled,
         WelcomeOutcome::notRecorded,
         {"record"}},
    };
    for (const Case &test : cases) {
        Recorder recorder;
        recorder.stored = test.stored;
        recorder.status = test.status;
        EXPECT_EQ(recorder.workflow().handle(test.choice), test.outcome);
        EXPECT_EQ(recorder.calls, test.calls);
    }
}

TEST(WelcomeWorkflow, AFailedLoginSwitchIsThrownAfterTheAnswerWasRecordedAndBeforeThePanelShows) {
    Recorder recorder;
    recorder.failsToSwitch = true;
    EXPECT_THROW(recorder.workflow().handle(WelcomeChoice::startWriting(true)), std::runtime_error);
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"record", "login on"}));
}

} // namespace
} // namespace velto
