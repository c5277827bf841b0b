#include "model/CopyOnWriteText.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using velto::CopyOnWriteText;

namespace {

// Each way of changing one copy leaves every other copy's text as it was, and a copy that holds its text
// alone is changed where it lies, without a copy of the text.
TEST(CopyOnWriteText, ChangingACopyLeavesTheOthersAndCopiesOnlyAShared) {
    struct Change {
        const char *name;
        std::function<void(CopyOnWriteText &)> apply;
        const char *expected;
        bool inPlace;
    };
    const Change changes[] = {
        {"appended in place", [](CopyOnWriteText &text) { text.edit() += "!"; }, "page text!", true},
        {"erased in place", [](CopyOnWriteText &text) { text.edit().erase(0, 5); }, "text", true},
        {"replaced whole", [](CopyOnWriteText &text) { text = std::string("another"); }, "another", false},
    };
    for (const Change &change : changes) {
        CopyOnWriteText original = std::string("page text");
        CopyOnWriteText copy = original;
        ASSERT_TRUE(copy.sharesTextWith(original)) << change.name;
        change.apply(copy);
        EXPECT_EQ(original, "page text") << change.name;
        EXPECT_EQ(copy, change.expected) << change.name;
        EXPECT_FALSE(copy.sharesTextWith(original)) << change.name;

        const std::string *heldAlone = &original.text();
        change.apply(original);
        EXPECT_EQ(original, change.expected) << change.name;
        if (change.inPlace) {
            EXPECT_EQ(&original.text(), heldAlone) << change.name << ": a text held alone was copied";
        }
    }
    CopyOnWriteText empty;
    CopyOnWriteText emptyCopy = empty;
    empty.edit() += "typed";
    EXPECT_EQ(empty, "typed");
    EXPECT_EQ(emptyCopy, "");
}

} // namespace
