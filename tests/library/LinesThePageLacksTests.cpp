// When a leftover file may go: only when the page's file holds every line of it, in order and as often, and a last
// line without a line break (a write's text cut off by a kill, or typed text, which usually ends so) only where a line
// of the page begins with it.
#include "library/removal/LinesThePageLacks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

struct LinesCase {
    const char *name;
    std::string text;
    std::string pageText;
    bool mayBeCutShort;
    bool lacks;
};

const LinesCase linesCases[] = {
    {"EveryLineInOrder", "Plan\nitem one\n", "Plan\nitem one\nitem two\n", true, false},
    {"LinesOfThePageBetweenThem", "Plan\nitem two\n", "Plan\nitem one\nitem two\n", true, false},
    {"EmptyLinesAndCarriageReturnsCountForNothing", "Plan\r\n\n\nitem one\r\n", "Plan\nitem one\n", false, false},
    {"ALineThePageLacks", "Plan\ntheir line\n", "Plan\nitem one\n", true, true},
    {"ASecondItemOne", "Plan\nitem one\nitem one\n", "Plan\nitem one\n", true, true},
    {"LinesInAnotherOrder", "item one\nPlan\n", "Plan\nitem one\n", true, true},
    {"TypedTextEndingWithoutABreakBesideAPageEndingWithOne", "Plan\nitem one\nCall Anna at 5pm about the lease",
     "Plan\nitem one\n", true, true},
    {"ATornPieceThatALaterLineBeginsWith", "Plan\nitem one\nCall An", "Plan\nitem one\nCall Anna at 5pm\n", true,
     false},
    {"ATornPieceThatOnlyAnEarlierLineBeginsWith", "Plan\nitem one\nPl", "Plan\nitem one\n", true, true},
    {"ATornCarriageReturn", "Plan\nitem one\r", "Plan\nitem one\n", true, false},
    {"AWholeFilesLastLineCountsAsItIs", "Plan\nitem on", "Plan\nitem one\n", false, true},
    {"AWholeFilesLastLineThePageHolds", "Plan\nitem one", "Plan\nitem one\n", false, false},
    {"NothingInAnEmptyPage", "", "", true, false},
    {"ALineBesideAnEmptyPage", "Plan\n", "", true, true},
};

void PrintTo(const LinesCase &c, std::ostream *out) {
    *out << c.name;
}

class LinesThePageLacks : public ::testing::TestWithParam<LinesCase> {};

TEST_P(LinesThePageLacks, AreLinesNotHeldInOrderAndAsOften) {
    const LinesCase &c = GetParam();
    EXPECT_EQ(VeltoPageLibrary::holdsLinesThePageLacks(c.text, c.pageText, c.mayBeCutShort), c.lacks);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinesThePageLacks, ::testing::ValuesIn(linesCases),
                         [](const ::testing::TestParamInfo<LinesCase> &info) { return info.param.name; });

// A page of 5 MiB in lines that all differ beside a copy of itself: one pass, no comparison of every line with every
// other, so it takes a moment even in a sanitizer build.
TEST(LinesThePageLacks, AFiveMebibytePageIsComparedInOneGo) {
    std::string page;
    for (int line = 0; page.size() < 5 * 1024 * 1024; ++line) {
        page += "line " + std::to_string(line) + " of a long page\n";
    }
    const std::string text = page + "a line the page lacks";

    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(VeltoPageLibrary::holdsLinesThePageLacks(page, page, true));
    EXPECT_TRUE(VeltoPageLibrary::holdsLinesThePageLacks(text, page, true));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

} // namespace
