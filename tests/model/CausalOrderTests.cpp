#include "ModelTestValues.h"

#include "model/WriterEntryKey.h"
#include "model/WriterVersion.h"

#include <gtest/gtest.h>

#include <map>
#include <unordered_set>

using namespace velto;
using namespace velto::testvalues;

namespace {

using Relation = VeltoWriterVersion::CausalRelation;

VeltoWriterVersion version(const Uuid &writer, std::uint64_t sequence, std::vector<VeltoWriterHead> heads = {},
                           const Uuid &operation = operation1) {
    VeltoWriterVersion result{writer, sequence, date("2026-03-01T09:30:00Z"), operation, std::nullopt};
    if (!heads.empty()) {
        result.observedWriterHeads = heads;
    }
    return result;
}

const char *name(Relation relation) {
    switch (relation) {
    case Relation::precedes:
        return "precedes";
    case Relation::equal:
        return "equal";
    case Relation::follows:
        return "follows";
    case Relation::concurrent:
        return "concurrent";
    }
    return "?";
}

} // namespace

TEST(CausalClock, VersionWithoutHeadsHasOnlyItsOwnEntry) {
    EXPECT_EQ(version(writerW, 3).causalClock(), (std::map<Uuid, std::uint64_t>{{writerW, 3}}));
}

TEST(CausalClock, HigherObservedHeadOfItsOwnWriterIsKept) {
    EXPECT_EQ(version(writerW, 3, {{writerW, 8}}).causalClock(), (std::map<Uuid, std::uint64_t>{{writerW, 8}}));
}

TEST(CausalClock, WriterListedTwiceKeepsTheLargerSequence) {
    EXPECT_EQ(version(writerW, 1, {{writerV, 5}, {writerV, 7}, {writerV, 6}}).causalClock(),
              (std::map<Uuid, std::uint64_t>{{writerV, 7}, {writerW, 1}}));
}

TEST(CausalRelation, Table) {
    struct Case {
        const char *scenario;
        VeltoWriterVersion a;
        VeltoWriterVersion b;
        Relation expected;
    };
    const Case cases[] = {
        {"same writer, lower sequence", version(writerW, 3), version(writerW, 4), Relation::precedes},
        {"same writer, higher sequence", version(writerW, 4), version(writerW, 3), Relation::follows},
        {"different writers without heads", version(writerW, 2), version(writerV, 1), Relation::concurrent},
        {"observed the other's head", version(writerV, 1, {{writerW, 2}}), version(writerW, 2), Relation::follows},
        {"observed by the other", version(writerW, 2), version(writerV, 1, {{writerW, 2}}), Relation::precedes},
        {"same sequence, different operations", version(writerW, 5),
         version(writerW, 5, {}, uuid("99999999-9999-4999-8999-999999999999")), Relation::equal},
        {"explicit zero against missing entry", version(writerW, 5, {{writerV, 0}}), version(writerW, 5),
         Relation::equal},
        {"both saw each other partly", version(writerW, 3, {{writerV, 1}}), version(writerV, 2, {{writerW, 2}}),
         Relation::concurrent},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.a.causalRelation(c.b), c.expected)
            << c.scenario << ": got " << name(c.a.causalRelation(c.b)) << ", expected " << name(c.expected);
    }
}

TEST(CausalRelation, RecordedTimeNeverDecides) {
    VeltoWriterVersion earlier = version(writerW, 4);
    VeltoWriterVersion later = version(writerW, 3);
    later.recordedAt = date("2030-01-01T00:00:00Z");
    EXPECT_EQ(later.causalRelation(earlier), Relation::precedes);
}

TEST(WriterEntryKey, AbsentPageDiffersFromEveryPresentPage) {
    std::unordered_set<VeltoWriterEntryKey, VeltoWriterEntryKeyHash> keys;
    keys.insert({writerW, operation1, std::nullopt});
    keys.insert({writerW, operation1, pageA});
    keys.insert({writerW, operation1, pageA});
    keys.insert({writerV, operation1, std::nullopt});
    EXPECT_EQ(keys.size(), 3u);
    EXPECT_NE((VeltoWriterEntryKey{writerW, operation1, std::nullopt}),
              (VeltoWriterEntryKey{writerW, operation1, Uuid{}}));
}
