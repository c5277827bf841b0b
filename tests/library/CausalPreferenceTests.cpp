#include "library/metadata/CausalPreference.h"

#include "LibraryTestValues.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace velto::librarytesting;
using VeltoPageLibrary::preferredCausalValue;

struct Entry {
    std::string name;
    velto::VeltoWriterVersion version;
};

std::string preferredName(const std::vector<Entry> &candidates) {
    auto preferred = preferredCausalValue(
        candidates, [](const Entry &e) -> const auto & { return e.version; });
    return preferred ? preferred->name : "none";
}

TEST(CausalPreference, PreferredEntryFollowsTheRules) {
    auto w1 = uuid("10");
    auto w2 = uuid("20");
    struct Case {
        const char *rule;
        std::vector<Entry> candidates;
        std::string preferred;
    };
    const std::vector<Case> cases{
        {"empty list", {}, "none"},
        {"same writer, higher sequence", {{"low", version(w1, 3)}, {"high", version(w1, 4)}}, "high"},
        {"same writer and sequence, larger operation",
         {{"small", version(w1, 3, {}, uuid("01"))}, {"large", version(w1, 3, {}, uuid("02"))}},
         "large"},
        {"concurrent writers, larger writer identifier", {{"w2", version(w2, 1)}, {"w1", version(w1, 9)}}, "w2"},
        {"a preceding entry never wins, even with the larger writer",
         {{"w2", version(w2, 1)}, {"w1 saw w2", version(w1, 1, {{w2, 1}})}},
         "w1 saw w2"},
        {"later clock time plays no part",
         {{"late", version(w1, 1, {}, uuid("01"), at(9'000))}, {"early", version(w2, 1, {}, uuid("01"), at(1))}},
         "early"},
        {"equal entries: the first wins", {{"first", version(w1, 2)}, {"second", version(w1, 2)}}, "first"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(preferredName(c.candidates), c.preferred) << c.rule;
    }
}

} // namespace
