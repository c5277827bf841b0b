#include "platform/Sha256.h"

#include <gtest/gtest.h>

namespace velto {
namespace {

TEST(Sha256, MatchesKnownDigests) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256(std::string("abc"))[0], 0xba);
}

} // namespace
} // namespace velto
