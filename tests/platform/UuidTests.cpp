#include "platform/Uuid.h"

#include <gtest/gtest.h>

#include <set>

namespace velto {
namespace {

TEST(Uuid, ParsesEitherCaseAndWritesUpperAndLowerCase) {
    auto upper = Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    auto lower = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(upper);
    ASSERT_TRUE(lower);
    EXPECT_EQ(*upper, *lower);
    EXPECT_EQ(upper->uppercaseText(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(upper->lowercaseText(), "e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_EQ(upper->bytes[0], 0xE6);
    EXPECT_EQ(upper->bytes[15], 0x5F);
}

TEST(Uuid, RejectsEveryOtherForm) {
    const char *rejected[] = {
        "",
        "E621E1F8C36C495A93FC0C247A3E6E5F",       // no hyphens
        "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}", // braces
        " E621E1F8-C36C-495A-93FC-0C247A3E6E5F",  // leading space
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F ",  // trailing space
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",    // one digit short
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5FA",  // one digit long
        "E621E1F8-C36C-495A-93FC0-C247A3E6E5F",   // hyphen out of place
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",   // not hexadecimal
        "E621E1F8+C36C-495A-93FC-0C247A3E6E5F",   // other separator
        "urn:uuid:E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
    };
    for (const char *text : rejected) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

TEST(Uuid, RandomIdentifiersAreVersionFourAndDistinct) {
    std::set<Uuid> seen;
    for (int i = 0; i < 1000; ++i) {
        Uuid uuid = Uuid::random();
        EXPECT_EQ(uuid.bytes[6] >> 4, 4);
        EXPECT_EQ(uuid.bytes[8] >> 6, 2);
        EXPECT_EQ(Uuid::parse(uuid.uppercaseText()), uuid);
        EXPECT_EQ(Uuid::parse(uuid.lowercaseText()), uuid);
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

TEST(Uuid, ByteOrderMatchesUppercaseTextOrder) {
    for (int i = 0; i < 200; ++i) {
        Uuid a = Uuid::random();
        Uuid b = Uuid::random();
        EXPECT_EQ(a < b, a.uppercaseText() < b.uppercaseText());
    }
}

TEST(Uuid, EqualIdentifiersHashEqually) {
    auto a = Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    auto b = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    EXPECT_EQ(UuidHash{}(*a), UuidHash{}(*b));
}

} // namespace
} // namespace velto
