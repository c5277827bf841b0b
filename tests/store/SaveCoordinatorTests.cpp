#include "StoreTestSupport.h"
#include "store/PagesNotSavedError.h"
#include "store/SaveCoordinator.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace velto {
namespace {

using testing::Completion;
using testing::Gate;
using testing::observe;

VeltoPage pageWithText(const Uuid &id, const std::string &text) {
    VeltoPage page;
    page.id = id;
    page.createdAt = dateFromSecondsSince1970(1'700'000'000);
    page.fileSlug = "calm-cove";
    page.content = VeltoPageContent::loaded(VeltoPageFileContent{std::nullopt, text, "\n"});
    return page;
}

VeltoSaveRequest requestFor(std::uint64_t generation, const VeltoPage &page, std::uint64_t revision) {
    VeltoSaveRequest request;
    request.writerID = Uuid::random();
    request.operationID = Uuid::random();
    request.generation = generation;
    request.mutationRevision = revision;
    request.document.currentPage = page;
    request.changedPageRevisions[page.id] = revision;
    return request;
}

/// A coordinator whose writes the test finishes one by one, recording what reached the write and the store.
struct CoordinatorHarness {
    std::vector<VeltoSaveRequest> written;
    std::vector<std::shared_ptr<Gate<VeltoSaveResult>>> gates;
    std::vector<std::pair<std::uint64_t, std::optional<std::string>>> finished;
    std::shared_ptr<VeltoSaveCoordinator> coordinator;

    CoordinatorHarness() {
        coordinator = VeltoSaveCoordinator::make(
            "/pages",
            [this](const VeltoSaveRequest &request, std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
                written.push_back(request);
                auto gate = std::make_shared<Gate<VeltoSaveResult>>();
                gates.push_back(gate);
                return gate->wait();
            },
            [this](const VeltoSaveRequest &request, const std::optional<VeltoSaveResult> &,
                   const std::optional<std::string> &description) {
                finished.emplace_back(request.generation, description);
            });
    }

    // A write left waiting would keep the coordinator alive past the test.
    ~CoordinatorHarness() {
        while (!gates.empty() && gates.back()->isWaiting()) {
            succeedCurrent();
        }
    }

    void succeedCurrent(VeltoSaveResult result = {}) { gates.back()->open(std::move(result)); }
    void failCurrent(const std::string &message) {
        gates.back()->fail(std::make_exception_ptr(std::runtime_error(message)));
    }
};

TEST(SaveCoordinator, FlushOfGenerationZeroReturnsAtOnce) {
    CoordinatorHarness harness;
    auto flush = observe(harness.coordinator->waitUntilDurable(0));
    EXPECT_TRUE(flush->finished);
    EXPECT_FALSE(flush->error);
}

TEST(SaveCoordinator, RequestsArrivingDuringAWriteAreCoalescedIntoTheNewest) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    harness.coordinator->submit(requestFor(1, pageWithText(id, "one"), 1));
    harness.coordinator->submit(requestFor(2, pageWithText(id, "two"), 2));
    harness.coordinator->submit(requestFor(3, pageWithText(id, "three"), 3));
    auto flushForTwo = observe(harness.coordinator->waitUntilDurable(2));

    harness.succeedCurrent();
    EXPECT_FALSE(flushForTwo->finished);
    ASSERT_EQ(harness.written.size(), 2u);
    EXPECT_EQ(harness.written[1].generation, 3u);
    EXPECT_EQ(harness.written[1].document.currentPage.visibleText(), "three");

    harness.succeedCurrent();
    EXPECT_TRUE(flushForTwo->finished);
    EXPECT_FALSE(flushForTwo->error);
    EXPECT_EQ(harness.written.size(), 2u);
    EXPECT_FALSE(harness.coordinator->isSaving());
}

TEST(SaveCoordinator, OlderGenerationAfterANewerOneIsDropped) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    harness.coordinator->submit(requestFor(3, pageWithText(id, "three"), 3));
    harness.coordinator->submit(requestFor(2, pageWithText(id, "two"), 2));
    EXPECT_FALSE(harness.coordinator->pendingRequest().has_value());
    harness.succeedCurrent();
    EXPECT_EQ(harness.written.size(), 1u);
}

TEST(SaveCoordinator, FlushesOfOneGenerationResumeInTheOrderTheyWereParked) {
    CoordinatorHarness harness;
    std::vector<int> order;
    auto first = [&]() -> QCoro::Task<void> {
        co_await harness.coordinator->waitUntilDurable(1);
        order.push_back(1);
    };
    auto second = [&]() -> QCoro::Task<void> {
        co_await harness.coordinator->waitUntilDurable(1);
        order.push_back(2);
    };
    harness.coordinator->submit(requestFor(1, pageWithText(Uuid::random(), "x"), 1));
    auto a = observe(first());
    auto b = observe(second());
    harness.succeedCurrent();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

// A save that wrote every page but one made only the others durable: its flushes fail with an error that names the
// page left out, and the next request keeps that page's change alone.
TEST(SaveCoordinator, ASaveThatLeftAPageOutFailsItsFlushesAndOnlyThatPageStaysToBeSaved) {
    CoordinatorHarness harness;
    VeltoPage written = pageWithText(Uuid::random(), "written");
    VeltoPage leftOut = pageWithText(Uuid::random(), "left out");
    VeltoSaveRequest request = requestFor(1, written, 1);
    request.document.pages.push_back(leftOut);
    request.changedPageRevisions[leftOut.id] = 1;
    harness.coordinator->submit(request);
    auto flush = observe(harness.coordinator->waitUntilDurable(1));

    const std::string tooLarge = "This page is too large to save: its file “left-out.md” would be too large.";
    VeltoSaveResult result;
    result.persistedPageBaselines[written.id] = VeltoPageBaseline::fromPage(written);
    result.pagesNotSaved.push_back({leftOut.id, "left-out.md", tooLarge, VeltoPageNotSavedKind::tooLarge});
    harness.succeedCurrent(result);

    ASSERT_TRUE(flush->finished);
    EXPECT_EQ(flush->errorText(), tooLarge);
    EXPECT_EQ(harness.coordinator->durableGeneration(), 0u);
    try {
        std::rethrow_exception(harness.coordinator->failureOf(1));
    } catch (const VeltoPagesNotSavedError &error) {
        EXPECT_EQ(error.pages(), result.pagesNotSaved);
    } catch (...) {
        ADD_FAILURE() << "the flush failed with another error";
    }

    request.generation = 2;
    harness.coordinator->submit(request);
    ASSERT_EQ(harness.written.size(), 2u);
    EXPECT_EQ(harness.written[1].changedPageRevisions, (VeltoSaveRequest::Revisions{{leftOut.id, 1}}));
    harness.succeedCurrent();
    EXPECT_EQ(harness.coordinator->durableGeneration(), 2u);
}

TEST(SaveCoordinator, FailedSaveWithNothingPendingFailsItsFlushesButNotLaterOnes) {
    CoordinatorHarness harness;
    harness.coordinator->submit(requestFor(4, pageWithText(Uuid::random(), "x"), 4));
    auto flushForThree = observe(harness.coordinator->waitUntilDurable(3));
    auto flushForFour = observe(harness.coordinator->waitUntilDurable(4));
    auto flushForFive = observe(harness.coordinator->waitUntilDurable(5));

    harness.failCurrent("The disk is full.");

    EXPECT_EQ(flushForThree->errorText(), "The disk is full.");
    EXPECT_EQ(flushForFour->errorText(), "The disk is full.");
    EXPECT_FALSE(flushForFive->finished);
    ASSERT_EQ(harness.finished.size(), 1u);
    EXPECT_EQ(harness.finished[0].second, "The disk is full.");
    EXPECT_EQ(harness.coordinator->durableGeneration(), 0u);

    harness.coordinator->submit(requestFor(5, pageWithText(Uuid::random(), "y"), 5));
    harness.succeedCurrent();
    EXPECT_TRUE(flushForFive->finished);
}

TEST(SaveCoordinator, AWriteThatFailsBeforeItsFlushParksStillFailsThatFlush) {
    // A folder that is gone fails the write at once; the pool may finish it before the flush is asked.
    int writes = 0;
    auto coordinator = VeltoSaveCoordinator::make(
        "/pages",
        [&writes](const VeltoSaveRequest &, std::filesystem::path) -> QCoro::Task<VeltoSaveResult> {
            ++writes;
            throw std::runtime_error("The folder is gone.");
            co_return VeltoSaveResult{};
        },
        [](const VeltoSaveRequest &, const std::optional<VeltoSaveResult> &, const std::optional<std::string> &) {});
    coordinator->submit(requestFor(1, pageWithText(Uuid::random(), "x"), 1));
    ASSERT_EQ(writes, 1);
    EXPECT_FALSE(coordinator->isSaving());

    auto flushForOne = observe(coordinator->waitUntilDurable(1));
    EXPECT_EQ(flushForOne->errorText(), "The folder is gone.");
    auto flushForTwo = observe(coordinator->waitUntilDurable(2));
    EXPECT_FALSE(flushForTwo->finished) << "a later generation waits for its own write";
    coordinator->submit(requestFor(2, pageWithText(Uuid::random(), "y"), 2));
    EXPECT_EQ(flushForTwo->errorText(), "The folder is gone.");
}

TEST(SaveCoordinator, FailedSaveWithANewerRequestPendingLetsTheNewerOneAnswer) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    harness.coordinator->submit(requestFor(4, pageWithText(id, "four"), 4));
    harness.coordinator->submit(requestFor(5, pageWithText(id, "five"), 5));
    auto flushForFour = observe(harness.coordinator->waitUntilDurable(4));
    auto flushForFive = observe(harness.coordinator->waitUntilDurable(5));

    harness.failCurrent("The disk is full.");
    EXPECT_FALSE(flushForFour->finished);
    EXPECT_FALSE(flushForFive->finished);

    harness.succeedCurrent();
    EXPECT_TRUE(flushForFour->finished);
    EXPECT_FALSE(flushForFour->error);
    EXPECT_TRUE(flushForFive->finished);
}

TEST(SaveCoordinator, PendingRequestCarriesTheMergeOfTheFinishedSave) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    VeltoPage saved = pageWithText(id, "alpha\nbeta\ngamma\n");
    harness.coordinator->submit(requestFor(1, saved, 1));
    // Edited meanwhile on the last line; the write found another writer's change on the first line.
    harness.coordinator->submit(requestFor(2, pageWithText(id, "alpha\nbeta\nGAMMA\n"), 2));

    VeltoSaveResult result;
    result.mergedPages[id] = pageWithText(id, "ALPHA\nbeta\ngamma\n");
    result.persistedPageBaselines[id] = VeltoPageBaseline::fromPage(result.mergedPages[id]);
    harness.succeedCurrent(result);

    ASSERT_EQ(harness.written.size(), 2u);
    const VeltoSaveRequest &next = harness.written[1];
    EXPECT_EQ(next.document.currentPage.visibleText(), "ALPHA\nbeta\nGAMMA\n");
    EXPECT_EQ(next.expectedPageBaselines.at(id), result.persistedPageBaselines[id]);
}

TEST(SaveCoordinator, PendingRequestWhoseMarksAreAllDurableIsStillWritten) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    harness.coordinator->submit(requestFor(1, pageWithText(id, "same"), 7));
    harness.coordinator->submit(requestFor(2, pageWithText(id, "same"), 7));
    harness.succeedCurrent();
    ASSERT_EQ(harness.written.size(), 2u);
    EXPECT_TRUE(harness.written[1].changedPageRevisions.empty());
    EXPECT_TRUE(harness.written[1].expectedPageBaselines.empty());
}

TEST(SaveCoordinator, OutcomesReachTheStoreInTheOrderOfTheSaves) {
    CoordinatorHarness harness;
    Uuid id = Uuid::random();
    harness.coordinator->submit(requestFor(1, pageWithText(id, "a"), 1));
    harness.coordinator->submit(requestFor(2, pageWithText(id, "b"), 2));
    harness.failCurrent("first failed");
    harness.succeedCurrent();
    ASSERT_EQ(harness.finished.size(), 2u);
    EXPECT_EQ(harness.finished[0].first, 1u);
    EXPECT_EQ(harness.finished[0].second.value_or("(none)"), "first failed");
    EXPECT_EQ(harness.finished[1].first, 2u);
    EXPECT_FALSE(harness.finished[1].second.has_value());
}

} // namespace
} // namespace velto
