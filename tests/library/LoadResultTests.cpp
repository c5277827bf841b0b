#include "library/folder/IOObservation.h"
#include "library/load/LoadResult.h"

#include "LibraryTestValues.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

using namespace velto::librarytesting;

TEST(LoadResult, MergingRepairs) {
    using Repair = VeltoLibraryStructureRepair;
    EXPECT_EQ(Repair::merging(std::nullopt, std::nullopt), std::nullopt);

    Repair first;
    first.createdPageID = uuid("01");
    first.externallyChangedPageIDs = {uuid("a0")};
    EXPECT_EQ(Repair::merging(first, std::nullopt), first);
    EXPECT_EQ(Repair::merging(std::nullopt, first), first);

    Repair second = Repair::promotedExistingPageRepair();
    second.createdPageID = uuid("02");
    second.externallyChangedPageIDs = {uuid("b0")};
    second.externallyRemovedPageIDs = {uuid("c0")};
    auto merged = Repair::merging(first, second);
    ASSERT_TRUE(merged);
    EXPECT_TRUE(merged->promotedExistingPage);
    EXPECT_EQ(merged->createdPageID, uuid("01"));
    EXPECT_EQ(merged->externallyChangedPageIDs, (std::set{uuid("a0"), uuid("b0")}));
    EXPECT_EQ(merged->externallyRemovedPageIDs, std::set{uuid("c0")});
}

TEST(IOObservation, OnlyTheBoundThreadCountsAndBindingsNest) {
    auto outer = std::make_shared<VeltoLibraryIOObserver>();
    auto inner = std::make_shared<VeltoLibraryIOObserver>();
    auto countOne = [] { VeltoLibraryIOObservation::count([](auto &counters) { ++counters.manifestReads; }); };
    countOne(); // nothing bound: nothing counted anywhere
    {
        VeltoLibraryIOObservation::Binding outerBinding(outer);
        countOne();
        {
            VeltoLibraryIOObservation::Binding innerBinding(inner);
            countOne();
            VeltoLibraryIOObservation::Binding none(nullptr);
            countOne();
        }
        std::thread([&] { countOne(); }).join();
        countOne();
    }
    countOne();
    EXPECT_EQ(outer->snapshot().manifestReads, 2);
    EXPECT_EQ(inner->snapshot().manifestReads, 2);
    EXPECT_EQ(VeltoLibraryIOObservation::current(), nullptr);
}

} // namespace
