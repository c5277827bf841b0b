#include "editor/rules/LinkPasteBehavior.h"

#include <gtest/gtest.h>

using namespace velto::editor;

TEST(LinkPasteBehaviorTests, AcceptsWebAndMailAddressesInAnyCase) {
    EXPECT_EQ(LinkPasteBehavior::linkableURL(u"https://example.com/a?b=c#d"), "https://example.com/a?b=c#d");
    EXPECT_EQ(LinkPasteBehavior::linkableURL(u"HTTP://EXAMPLE.COM"), "HTTP://EXAMPLE.COM");
    EXPECT_EQ(LinkPasteBehavior::linkableURL(u"mailto:someone@example.com"), "mailto:someone@example.com");
}

TEST(LinkPasteBehaviorTests, RejectsOtherSchemesSurroundingBlanksAndPlainWords) {
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u"ftp://example.com"));
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u"https://example.com "));
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u"\nhttps://example.com"));
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u"no-scheme"));
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u""));
    EXPECT_FALSE(LinkPasteBehavior::linkableURL(u"1http://x"));
}

TEST(LinkPasteBehaviorTests, CharactersAUrlCannotHoldArePercentEncoded) {
    EXPECT_EQ(LinkPasteBehavior::linkableURL(u"https://example.com/a b/caf\u00e9"),
              "https://example.com/a%20b/caf%C3%A9");
}
