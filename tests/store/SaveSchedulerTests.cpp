#include "StoreTestSupport.h"
#include "store/SaveScheduler.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace velto {
namespace {

using testing::Gate;
using testing::observe;

/// A scheduler over a one-page document whose text the test edits; the test finishes each write by hand and
/// sees where each write went and which outcomes reached the store.
struct SchedulerHarness {
    Uuid pageID = Uuid::random();
    std::string text;
    std::vector<std::pair<std::filesystem::path, VeltoSaveRequest>> written;
    std::vector<std::shared_ptr<Gate<VeltoSaveResult>>> gates;
    std::vector<std::uint64_t> finished;
    std::unique_ptr<VeltoSaveScheduler> scheduler;

    SchedulerHarness() {
        scheduler = std::make_unique<VeltoSaveScheduler>(
            "/pages",
            [this](const VeltoSaveRequest &request, std::filesystem::path folder) -> QCoro::Task<VeltoSaveResult> {
                written.emplace_back(folder, request);
                gates.push_back(std::make_shared<Gate<VeltoSaveResult>>());
                return gates.back()->wait();
            },
            [this](std::uint64_t generation) {
                VeltoSaveRequest request;
                request.generation = generation;
                request.mutationRevision = generation;
                request.document.currentPage.id = pageID;
                request.document.currentPage.content =
                    VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, text, "\n"});
                request.changedPageRevisions[pageID] = generation;
                return request;
            },
            [this](const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &,
                   const std::optional<std::string> &) { finished.push_back(request.generation); });
    }

    // A write left waiting would keep its coordinator alive past the test.
    ~SchedulerHarness() {
        for (const auto &gate : gates) {
            if (gate->isWaiting()) {
                gate->open({});
            }
        }
    }

    void edit(const std::string &newText) {
        text = newText;
        scheduler->documentDidChange();
    }
    std::string writtenText(std::size_t index) const {
        return written.at(index).second.document.currentPage.visibleText();
    }
    void succeed(std::size_t index) {
        VeltoSaveResult result;
        result.persistedPageBaselines[pageID] = VeltoPageBaseline{};
        gates.at(index)->open(std::move(result));
    }
    void fail(std::size_t index) {
        gates.at(index)->fail(std::make_exception_ptr(std::runtime_error("The disk is full.")));
    }
};

TEST(SaveScheduler, FlushWaitsForTheGenerationScheduledWhenItWasCalledAndNoLonger) {
    SchedulerHarness harness;
    harness.edit("one");
    harness.scheduler->schedule();
    auto flushOfOne = observe(harness.scheduler->flush());
    harness.edit("one two");
    harness.scheduler->schedule();
    auto flushOfTwo = observe(harness.scheduler->flush());
    ASSERT_EQ(harness.written.size(), 1u) << "no save is scheduled for a document a schedule already covers";

    harness.succeed(0);
    EXPECT_TRUE(flushOfOne->finished);
    EXPECT_FALSE(flushOfTwo->finished) << "the second flush waits for the edit made before it";
    ASSERT_EQ(harness.written.size(), 2u);
    EXPECT_EQ(harness.writtenText(1), "one two");

    harness.succeed(1);
    EXPECT_TRUE(flushOfTwo->finished);
    EXPECT_FALSE(flushOfTwo->error);
    EXPECT_EQ(harness.finished, (std::vector<std::uint64_t>{1, 2}));
}

TEST(SaveScheduler, FlushSchedulesTheDocumentWhenNoSaveCoversIt) {
    struct Case {
        const char *name;
        std::function<void(SchedulerHarness &)> before;
    };
    const Case cases[] = {
        {"nothing scheduled yet", [](SchedulerHarness &harness) { harness.edit("typed"); }},
        {"changed after the latest schedule",
         [](SchedulerHarness &harness) {
             harness.edit("first");
             harness.scheduler->schedule();
             harness.succeed(0);
             harness.edit("typed");
         }},
        {"the latest scheduled save failed",
         [](SchedulerHarness &harness) {
             harness.edit("typed");
             harness.scheduler->schedule();
             harness.fail(0);
         }},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        SchedulerHarness harness;
        testCase.before(harness);
        std::size_t writtenBefore = harness.written.size();
        auto flush = observe(harness.scheduler->flush());
        ASSERT_EQ(harness.written.size(), writtenBefore + 1);
        EXPECT_EQ(harness.writtenText(writtenBefore), "typed");
        EXPECT_EQ(harness.scheduler->latestScheduledGeneration(), harness.scheduler->nextGeneration());
        EXPECT_FALSE(flush->finished);
        harness.succeed(writtenBefore);
        EXPECT_TRUE(flush->finished);
        EXPECT_FALSE(flush->error);
        EXPECT_FALSE(harness.scheduler->hasOutstandingSave(true));
    }
}

TEST(SaveScheduler, FailedSaveFailsItsFlushAndStaysOwedWhileItsChangesArePending) {
    SchedulerHarness harness;
    harness.edit("typed");
    harness.scheduler->schedule();
    EXPECT_TRUE(harness.scheduler->hasOutstandingSave(false)) << "a scheduled save is owed until it finishes";
    auto flush = observe(harness.scheduler->flush());

    harness.fail(0);
    EXPECT_EQ(flush->errorText(), "The disk is full.");
    EXPECT_EQ(harness.scheduler->latestFailedGeneration(), 1u);
    EXPECT_EQ(harness.scheduler->latestCompletedGeneration(), 1u);
    EXPECT_TRUE(harness.scheduler->hasOutstandingSave(true));
    EXPECT_FALSE(harness.scheduler->hasOutstandingSave(false));
    EXPECT_EQ(harness.scheduler->pageSaveCount(harness.pageID), 0u);

    harness.edit("typed again");
    EXPECT_TRUE(harness.scheduler->hasOutstandingSave(false)) << "a change not yet scheduled is owed";
}

TEST(SaveScheduler, ANewSessionSavesInItsFolderAndDropsTheOldSessionsOutcomes) {
    SchedulerHarness harness;
    harness.edit("old library");
    harness.scheduler->schedule();
    harness.succeed(0);
    harness.edit("old library, typed on");
    harness.scheduler->schedule();
    EXPECT_EQ(harness.scheduler->pageSaveCount(harness.pageID), 1u);

    harness.scheduler->beginSession("/other");
    EXPECT_FALSE(harness.scheduler->latestScheduledGeneration().has_value());
    EXPECT_EQ(harness.scheduler->pageSaveCount(harness.pageID), 0u);
    harness.succeed(1);
    EXPECT_EQ(harness.finished, std::vector<std::uint64_t>{1}) << "the old session's late outcome is dropped";

    harness.edit("new library");
    auto flush = observe(harness.scheduler->flush());
    ASSERT_EQ(harness.written.size(), 3u);
    EXPECT_EQ(harness.written[2].first, "/other");
    EXPECT_EQ(harness.written[2].second.generation, 3u) << "generations keep growing across sessions";
    harness.succeed(2);
    EXPECT_TRUE(flush->finished);
    EXPECT_EQ(harness.finished, (std::vector<std::uint64_t>{1, 3}));
}

TEST(SaveScheduler, OutcomeOfASaveThatOutlivesItsSchedulerIsDropped) {
    SchedulerHarness harness;
    harness.edit("typed");
    harness.scheduler->schedule();
    harness.scheduler.reset();
    harness.succeed(0);
    EXPECT_TRUE(harness.finished.empty());
}

} // namespace
} // namespace velto
