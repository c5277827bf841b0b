#include "editor_view/OneOrMany.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace velto::editor;

namespace {

std::vector<int> valuesOf(const OneOrMany<std::unique_ptr<int>> &list) {
    std::vector<int> values;
    for (const std::unique_ptr<int> &item : list) {
        values.push_back(*item);
    }
    return values;
}

} // namespace

TEST(OneOrMany, HoldsItsItemsInOrderAndASingleOneWithinItself) {
    for (int count = 0; count <= 4; ++count) {
        OneOrMany<std::unique_ptr<int>> list;
        std::vector<int> expected;
        for (int k = 0; k < count; ++k) {
            list.push_back(std::make_unique<int>(k * 10));
            expected.push_back(k * 10);
        }
        ASSERT_EQ(list.size(), expected.size()) << count;
        EXPECT_EQ(valuesOf(list), expected) << count;
        if (count == 1) {
            const auto *inside = reinterpret_cast<const char *>(&list);
            const auto *item = reinterpret_cast<const char *>(list.begin());
            EXPECT_TRUE(item >= inside && item < inside + sizeof list) << "a single item needs no heap block";
        }
        OneOrMany<std::unique_ptr<int>> moved = std::move(list);
        EXPECT_EQ(valuesOf(moved), expected) << count;
        EXPECT_TRUE(list.empty()) << "a list moved from is empty: " << count; // NOLINT(bugprone-use-after-move)
        moved.clear();
        EXPECT_TRUE(moved.empty()) << count;
        moved.push_back(std::make_unique<int>(7));
        EXPECT_EQ(valuesOf(moved), std::vector<int>{7}) << count;
    }
}
