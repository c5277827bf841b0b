#include "StoreTestSupport.h"
#include "store/LibraryPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace velto {
namespace {

using testing::observe;

/// A result that counts its copies: a load's result holds the whole library, which the pool hands over by
/// moving it, never by copying it.
struct CountedResult {
    static inline std::atomic<int> copies{0};
    std::string text;

    explicit CountedResult(std::string value)
        : text(std::move(value)) {}
    CountedResult(const CountedResult &other)
        : text(other.text) {
        copies += 1;
    }
    CountedResult(CountedResult &&) noexcept = default;
    CountedResult &operator=(const CountedResult &) = delete;
    CountedResult &operator=(CountedResult &&) noexcept = default;
};

TEST(LibraryPool, HandsTheResultOverWithoutCopyingIt) {
    CountedResult::copies = 0;
    auto completion = observe(runOnLibraryPool([] { return CountedResult("the library"); }));
    ASSERT_TRUE(testing::processEventsUntil([&] { return completion->finished; }, std::chrono::seconds(10)));
    ASSERT_FALSE(completion->error) << completion->errorText();
    EXPECT_EQ(completion->value->text, "the library");
    EXPECT_EQ(CountedResult::copies, 0);
}

TEST(LibraryPool, RethrowsWhatTheWorkThrewOnTheAwaitingThread) {
    auto completion = observe(runOnLibraryPool([]() -> int { throw std::runtime_error("denied"); }));
    ASSERT_TRUE(testing::processEventsUntil([&] { return completion->finished; }, std::chrono::seconds(10)));
    EXPECT_EQ(completion->errorText(), "denied");
}

} // namespace
} // namespace velto
