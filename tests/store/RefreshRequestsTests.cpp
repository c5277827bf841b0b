#include "store/RefreshRequests.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

using Paths = std::optional<std::set<std::string>>;

TEST(RefreshRequests, RequestsWhileARefreshRunsBecomeOneFollowUpPassAndAWholeLoadAbsorbsPaths) {
    VeltoRefreshRequests requests;
    EXPECT_TRUE(requests.add(std::set<std::string>{"one.md"})) << "the first request starts a refresh";
    EXPECT_EQ(requests.take(), (Paths{{"one.md"}}));

    EXPECT_FALSE(requests.add(std::set<std::string>{"two.md"})) << "one refresh at a time";
    EXPECT_FALSE(requests.add(std::set<std::string>{"three.md"}));
    EXPECT_TRUE(requests.needsFollowUp());
    EXPECT_EQ(requests.take(), (Paths{{"three.md", "two.md"}}));
    EXPECT_FALSE(requests.needsFollowUp());

    requests.add(std::set<std::string>{"four.md"});
    requests.add(std::nullopt);
    EXPECT_EQ(requests.take(), Paths{}) << "the whole library";
    EXPECT_EQ(requests.take(), (Paths{std::set<std::string>{}})) << "nothing gathered since";
}

TEST(RefreshRequests, RequestGivenBackOutlivesItsRefreshButNotTheLibrarySession) {
    VeltoRefreshRequests requests;
    requests.add(std::nullopt);
    Paths taken = requests.take();
    requests.giveBack(taken);
    requests.finish();
    EXPECT_FALSE(requests.isRunning());
    EXPECT_TRUE(requests.add(std::set<std::string>{"new.md"}));
    EXPECT_EQ(requests.take(), Paths{}) << "the whole load given back still stands";

    requests.add(std::set<std::string>{"old folder.md"});
    requests.clear();
    EXPECT_FALSE(requests.needsFollowUp());
    EXPECT_EQ(requests.take(), (Paths{std::set<std::string>{}}));
}

} // namespace
} // namespace velto
