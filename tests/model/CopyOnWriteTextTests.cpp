#include "model/CopyOnWriteText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
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

        const char *heldAlone = original.text().data();
        change.apply(original);
        EXPECT_EQ(original, change.expected) << change.name;
        if (change.inPlace) {
            EXPECT_EQ(original.text().data(), heldAlone) << change.name << ": a text held alone was copied";
        }
    }
    // The end of a file text is read where it lies and never changed there: the file text is the page's
    // baseline, which must stay what is on disk.
    for (const Change &change : changes) {
        auto fileText = std::make_shared<const std::string>("---\nid: 1\n---\npage text");
        CopyOnWriteText body = CopyOnWriteText::endOf(fileText, 14);
        CopyOnWriteText copy = body;
        ASSERT_EQ(body, "page text") << change.name;
        ASSERT_EQ(body.text().data(), fileText->data() + 14) << change.name << ": the end was copied";
        change.apply(body);
        EXPECT_EQ(body, change.expected) << change.name;
        EXPECT_EQ(copy, "page text") << change.name;
        EXPECT_EQ(*fileText, "---\nid: 1\n---\npage text") << change.name;
        EXPECT_EQ(body.fileText(), nullptr) << change.name;
    }
    CopyOnWriteText empty;
    CopyOnWriteText emptyCopy = empty;
    empty.edit() += "typed";
    EXPECT_EQ(empty, "typed");
    EXPECT_EQ(emptyCopy, "");
}

// A version names one text: copies share it until one of them changes, every change and every text given gets
// one no text had, so an equal version never hides a changed text.
TEST(CopyOnWriteTextVersion, ChangesWithTheTextAndOnlyWithIt) {
    struct Change {
        const char *name;
        std::function<void(CopyOnWriteText &)> apply;
    };
    const Change changes[] = {
        {"changed in place", [](CopyOnWriteText &text) { text.edit()[0] = 'P'; }},
        {"edited without a change", [](CopyOnWriteText &text) { text.edit(); }},
        {"given an equal text", [](CopyOnWriteText &text) { text = std::string("page text"); }},
        {"given the text another copy was given",
         [](CopyOnWriteText &text) { text = CopyOnWriteText(std::string("page text")); }},
    };
    for (const Change &change : changes) {
        CopyOnWriteText original = std::string("page text");
        const std::uint64_t first = original.version();
        CopyOnWriteText copy = original;
        EXPECT_EQ(copy.version(), first) << change.name;
        change.apply(copy);
        EXPECT_NE(copy.version(), first) << change.name;
        EXPECT_EQ(original.version(), first) << change.name << ": the other copy keeps its text";
        const std::uint64_t copysVersion = copy.version();
        change.apply(original);
        EXPECT_NE(original.version(), first) << change.name << ": changed alone";
        EXPECT_NE(original.version(), copysVersion) << change.name;
    }
    CopyOnWriteText empty;
    CopyOnWriteText moved = std::string("page text");
    const CopyOnWriteText taken = std::move(moved);
    EXPECT_EQ(moved.version(), empty.version()) // NOLINT(bugprone-use-after-move): what a move leaves
        << "what is left after a move holds no text";
    EXPECT_NE(taken.version(), empty.version());
}

} // namespace
