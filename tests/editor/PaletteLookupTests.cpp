#include "editor/text/PaletteLookup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace velto::editor;

namespace {

std::vector<Attributes> linkSets(int count) {
    std::vector<Attributes> sets;
    for (int k = 0; k < count; ++k) {
        sets.push_back(Attributes{{AttributeKey::link, "https://example.com/" + std::to_string(k)}});
    }
    return sets;
}

} // namespace

// Sets added one by one through several growths of the table, then renumbered: each is found at its index,
// a set never added is not found, and neither is one the palette no longer holds.
TEST(PaletteLookupTests, FindsEverySetAtItsIndexThroughGrowthAndRenumbering) {
    const std::vector<Attributes> sets = linkSets(3000);
    const Attributes absent{{AttributeKey::link, std::string("https://example.com/absent")}};
    std::vector<Attributes> palette;
    PaletteLookup lookup;
    EXPECT_EQ(lookup.find(palette, sets[0]), 0u) << "nothing in an empty palette";
    for (const Attributes &set : sets) {
        palette.push_back(set);
        lookup.addLast(palette);
    }
    EXPECT_LE(lookup.slotCount(), 4 * palette.size()) << "four bytes a slot, at most half of them empty";
    // Renumbered as a collection leaves them: the last sets first, the first third gone.
    const struct {
        const char *state;
        std::size_t kept;
        Attributes notInPalette;
    } states[] = {{"as added", sets.size(), absent}, {"renumbered, a third dropped", sets.size() * 2 / 3, sets[0]}};
    for (const auto &state : states) {
        if (state.kept < palette.size()) {
            palette.assign(sets.rbegin(), sets.rbegin() + static_cast<std::ptrdiff_t>(state.kept));
            lookup.rebuild(palette);
        }
        for (std::uint32_t index = 0; index < palette.size(); ++index) {
            ASSERT_EQ(lookup.find(palette, palette[index]), index) << state.state;
        }
        EXPECT_EQ(lookup.find(palette, state.notInPalette), palette.size()) << state.state;
    }
}
