#include "app/lifecycle/ApplicationTerminationCoordinator.h"
#include "support/async/ManualScheduler.h"

#include <gtest/gtest.h>

#include <coroutine>
#include <stdexcept>
#include <vector>

namespace velto {
namespace {

using namespace std::chrono_literals;
using testing::ManualScheduler;

/// A save the test finishes by hand, successfully or with an error. The awaiter shares the gate's state: the
/// coroutine machinery may await a copy of it.
class SaveGate {
public:
    struct State {
        bool done = false;
        std::optional<std::string> error;
        std::coroutine_handle<> waiter;
    };
    struct Awaiter {
        std::shared_ptr<State> state;
        bool await_ready() const { return state->done; }
        void await_suspend(std::coroutine_handle<> waiter) { state->waiter = waiter; }
        void await_resume() const {
            if (state->error) {
                throw std::runtime_error(*state->error);
            }
        }
    };

    QCoro::Task<void> wait() {
        Awaiter awaiter{state_}; // named: GCC destroys a temporary awaiter twice
        co_await awaiter;
    }
    void succeed() { finish(std::nullopt); }
    void fail(std::string message) { finish(std::move(message)); }

private:
    void finish(std::optional<std::string> error) {
        state_->error = std::move(error);
        state_->done = true;
        if (state_->waiter) {
            std::exchange(state_->waiter, {}).resume();
        }
    }
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

class TerminationCoordinator : public ::testing::Test {
protected:
    void SetUp() override {
        coordinator = std::make_unique<ApplicationTerminationCoordinator>(
            2000ms, [this](bool allowing) { replies.push_back(allowing); },
            [this](const TerminationSaveFailure &failure) {
                failures.push_back(failure);
                if (duringAlert) {
                    duringAlert();
                }
                return decision;
            },
            [this] { ++terminationRequests; }, &scheduler);
    }

    ApplicationTerminationCoordinator::Flush gated(SaveGate &gate) {
        return [&gate] { return gate.wait(); };
    }
    static ApplicationTerminationCoordinator::Flush nothingToSave() {
        return []() -> QCoro::Task<void> { co_return; };
    }

    ManualScheduler scheduler;
    std::unique_ptr<ApplicationTerminationCoordinator> coordinator;
    std::vector<bool> replies;
    std::vector<TerminationSaveFailure> failures;
    TerminationSaveDecision decision = TerminationSaveDecision::cancel;
    std::function<void()> duringAlert;
    int terminationRequests = 0;
};

TEST_F(TerminationCoordinator, NothingToSaveRepliesAtOnceAndLeavesNoTimeOutBehind) {
    coordinator->begin(nothingToSave());
    EXPECT_EQ(replies, std::vector<bool>{true});
    EXPECT_FALSE(coordinator->activeAttempt().has_value());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(5000ms);
    EXPECT_TRUE(failures.empty());
}

TEST_F(TerminationCoordinator, ASecondQuitWhileOneRunsStartsNoSecondAttempt) {
    SaveGate gate;
    coordinator->begin(gated(gate));
    coordinator->begin(nothingToSave());
    EXPECT_TRUE(replies.empty());
    EXPECT_EQ(coordinator->nextAttempt(), 1u);
    gate.succeed();
    EXPECT_EQ(replies, std::vector<bool>{true});
}

TEST_F(TerminationCoordinator, AFailingSaveAsksAndEachDecisionRepliesAsItSays) {
    struct Case {
        TerminationSaveDecision decision;
        std::vector<bool> replies;
        int requests;
    };
    const Case cases[] = {
        {TerminationSaveDecision::cancel, {false}, 0},
        {TerminationSaveDecision::retry, {false}, 1},
        {TerminationSaveDecision::quitWithoutSaving, {true}, 0},
    };
    for (const Case &test : cases) {
        SetUp();
        replies.clear();
        failures.clear();
        terminationRequests = 0;
        decision = test.decision;
        SaveGate gate;
        coordinator->begin(gated(gate));
        gate.fail("The disk is full.");
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0], TerminationSaveFailure::failed("The disk is full."));
        EXPECT_EQ(replies, test.replies);
        scheduler.advance(0ms); // a retry asks for a new quit from the next turn of the loop
        EXPECT_EQ(terminationRequests, test.requests);
        scheduler.advance(5000ms);
        EXPECT_EQ(failures.size(), 1u) << "the time-out of a finished attempt must not fire";
    }
}

TEST_F(TerminationCoordinator, ASlowSaveTimesOutAfterTwoSecondsAndItsLateResultIsIgnoredAfterCancel) {
    SaveGate gate;
    coordinator->begin(gated(gate));
    scheduler.advance(1999ms);
    EXPECT_TRUE(failures.empty());
    scheduler.advance(1ms);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].kind, TerminationSaveFailure::Kind::timedOut);
    EXPECT_EQ(replies, std::vector<bool>{false});
    gate.succeed();
    EXPECT_EQ(replies, std::vector<bool>{false}) << "one reply per attempt";

    SaveGate second;
    coordinator->begin(gated(second)); // a later quit starts a fresh attempt
    EXPECT_EQ(coordinator->activeAttempt(), 2u);
    second.succeed();
    EXPECT_EQ(replies, (std::vector<bool>{false, true}));
}

TEST_F(TerminationCoordinator, AFailureAlertStillOpenAtTheTimeOutIsTheOnlyAlert) {
    SaveGate gate;
    duringAlert = [this] {
        if (failures.size() == 1) {
            scheduler.advance(3000ms); // the user reads the alert
        }
    };
    coordinator->begin(gated(gate));
    gate.fail("Input/output error");
    ASSERT_EQ(failures.size(), 1u) << "a second alert was stacked over the first";
    EXPECT_EQ(failures[0], TerminationSaveFailure::failed("Input/output error"));
    EXPECT_EQ(replies, std::vector<bool>{false});
}

TEST_F(TerminationCoordinator, ASaveThatCompletesWhileTheAlertIsOpenQuitsAndTheAnswerIsDropped) {
    SaveGate gate;
    duringAlert = [&gate] { gate.succeed(); };
    decision = TerminationSaveDecision::retry;
    coordinator->begin(gated(gate));
    scheduler.advance(2000ms);
    EXPECT_EQ(replies, std::vector<bool>{true});
    scheduler.advance(0ms);
    EXPECT_EQ(terminationRequests, 1) << "a retry answered after the save still asks for a new quit";
}

TEST_F(TerminationCoordinator, ASaveThatFailsWhileTheTimeOutIsAskedAboutAsksNothingMore) {
    SaveGate gate;
    duringAlert = [&gate] { gate.fail("Input/output error"); };
    coordinator->begin(gated(gate));
    scheduler.advance(2000ms);
    ASSERT_EQ(failures.size(), 1u) << "a second alert was stacked over the first";
    EXPECT_EQ(failures[0].kind, TerminationSaveFailure::Kind::timedOut);
    EXPECT_EQ(replies, std::vector<bool>{false});
}

TEST_F(TerminationCoordinator, AQuitNobodyCanAnswerNeverAsksAndRemembersTheUnconfirmedFailure) {
    SaveGate failing;
    coordinator->begin(gated(failing), false);
    failing.fail("The folder is gone.");
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(replies, std::vector<bool>{true});
    EXPECT_EQ(coordinator->lastUnconfirmedFailure(), TerminationSaveFailure::failed("The folder is gone."));

    SetUp();
    replies.clear();
    SaveGate slow;
    coordinator->begin(gated(slow));
    coordinator->begin(nothingToSave(), false); // a signal during a quit the user may still answer
    scheduler.advance(2000ms);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(replies, std::vector<bool>{true});
    EXPECT_EQ(coordinator->lastUnconfirmedFailure()->kind, TerminationSaveFailure::Kind::timedOut);
    slow.succeed();
    EXPECT_EQ(replies, std::vector<bool>{true});
}

// A logout while the quit alert is open: the signal's quit closes the alert, and whatever answer that gives, or
// the user gave at the same moment, Velto quits as a quit regardless would, once and without asking again.
TEST_F(TerminationCoordinator, AQuitNobodyCanAnswerDuringTheAlertQuitsWhateverTheAlertAnswered) {
    for (TerminationSaveDecision answer : {TerminationSaveDecision::cancel, TerminationSaveDecision::retry,
                                           TerminationSaveDecision::quitWithoutSaving}) {
        SetUp();
        replies.clear();
        failures.clear();
        terminationRequests = 0;
        decision = answer;
        duringAlert = [this] { coordinator->begin(nothingToSave(), false); };
        SaveGate gate;
        coordinator->begin(gated(gate));
        gate.fail("Read-only file system");
        EXPECT_EQ(failures.size(), 1u);
        EXPECT_EQ(replies, std::vector<bool>{true}) << static_cast<int>(answer);
        EXPECT_EQ(coordinator->lastUnconfirmedFailure(), TerminationSaveFailure::failed("Read-only file system"));
        scheduler.advance(5000ms);
        EXPECT_EQ(terminationRequests, 0) << "a retry answered by the closing alert started another quit";
        EXPECT_EQ(failures.size(), 1u);
    }
}

TEST(FinalSaveLogLine, NamesTheErrorsDescription) {
    EXPECT_EQ(finalSaveFailureLogLine("The disk is full."),
              "Velto could not complete its final save: The disk is full.");
}

} // namespace
} // namespace velto
