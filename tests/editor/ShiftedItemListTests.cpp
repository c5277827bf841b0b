#include "editor/text/ShiftedItemList.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

using namespace velto::editor;

namespace {

struct Marker {
    std::size_t start = 0;
    std::size_t end = 0;
    bool operator==(const Marker &) const = default;
};

std::size_t startOf(const Marker &marker) {
    return marker.start;
}

void shift(Marker &marker, std::ptrdiff_t delta) {
    marker.start = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(marker.start) + delta);
    marker.end = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(marker.end) + delta);
}

/// A marker kept in 32 bits, its positions wrapping around as they are shifted.
struct CompactMarker {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};

CompactMarker toStored(const Marker &marker) {
    return CompactMarker{static_cast<std::uint32_t>(marker.start), static_cast<std::uint32_t>(marker.end)};
}

Marker toItem(const CompactMarker &marker) {
    return Marker{marker.start, marker.end};
}

Marker toItem(const Marker &marker) {
    return marker;
}

std::uint32_t startOf(const CompactMarker &marker) {
    return marker.start;
}

void shift(CompactMarker &marker, std::ptrdiff_t delta) {
    marker.start = static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(marker.start) + delta);
    marker.end = static_cast<std::uint32_t>(static_cast<std::ptrdiff_t>(marker.end) + delta);
}

template <typename List> void expectAgreesWithPlainVector();

} // namespace

// Thousands of items through random splices and shifts, near one another and far apart, so that blocks
// are cut, emptied and joined: every reading agrees with a plain vector that is shifted item by item.
TEST(ShiftedItemListTests, SplicesAndShiftsAgreeWithAPlainVector) {
    expectAgreesWithPlainVector<ShiftedItemList<Marker>>();
}

// The same with the items kept in 32 bits: the blocks' shifts grow past the positions stored in them, which
// then wrap around below zero.
TEST(ShiftedItemListTests, CompactItemsAgreeWithAPlainVector) {
    expectAgreesWithPlainVector<ShiftedItemList<Marker, CompactMarker>>();
}

// Text inserted before a block moves its shift far on; an item then put before the block's first one is
// stored below zero, and must still read back at its place and be found there.
TEST(ShiftedItemListTests, CompactItemStoredBelowZeroReadsBack) {
    std::vector<Marker> model;
    for (std::size_t k = 0; k < 192; ++k) {
        model.push_back(Marker{k * 10, k * 10 + 3});
    }
    ShiftedItemList<Marker, CompactMarker> list(model);
    list.shiftFrom(128, 1'000'000); // the third block of 64 takes the shift
    list.splice(64, 64, {});        // the second goes: the third now follows the first
    list.splice(64, 0, {Marker{700, 702}});
    EXPECT_EQ(list.at(64), (Marker{700, 702}));
    EXPECT_EQ(list.startAt(64), 700u);
    EXPECT_EQ(list.at(65), (Marker{1'001'280, 1'001'283}));
    EXPECT_EQ(list.firstStartingAtOrAfter(700), 64u);
    EXPECT_EQ(list.firstStartingAtOrAfter(701), 65u);
    list.shiftFrom(64, -50);
    EXPECT_EQ(list.at(64), (Marker{650, 652}));
    EXPECT_EQ(list.firstStartingAtOrAfter(640), 64u);
    EXPECT_EQ(list.items().back(), (Marker{1'001'860, 1'001'863}));
}

// A list built a part at a time (parts of uneven sizes, some as items and some as stored forms, one after the list
// was shifted) reads and changes as one built whole from the same items.
TEST(ShiftedItemListTests, AListAppendedInPartsIsTheListBuiltWhole) {
    std::vector<Marker> model;
    for (std::size_t k = 0; k < 1000; ++k) {
        model.push_back(Marker{k * 10, k * 10 + 3});
    }
    ShiftedItemList<Marker, CompactMarker> appended;
    std::size_t next = 0;
    bool asStored = false;
    for (const std::size_t part : {0, 1, 63, 64, 65, 200, 7}) {
        if (asStored) {
            for (std::size_t k = next; k < next + part; ++k) {
                appended.appendStored(toStored(model[k]));
            }
        } else {
            appended.append(std::vector<Marker>(model.begin() + static_cast<std::ptrdiff_t>(next),
                                                model.begin() + static_cast<std::ptrdiff_t>(next + part)));
        }
        next += part;
        asStored = !asStored;
    }
    appended.shiftFrom(300, 5);
    for (std::size_t k = 300; k < next; ++k) {
        shift(model[k], 5);
    }
    for (std::size_t k = next; k < model.size(); ++k) {
        appended.appendStored(toStored(model[k])); // true positions, into a block that carries the shift
    }
    ShiftedItemList<Marker, CompactMarker> whole(model);
    ASSERT_EQ(appended.size(), model.size());
    EXPECT_EQ(appended.items(), model);
    for (std::size_t k = 0; k < model.size(); k += 37) {
        EXPECT_EQ(appended.at(k), model[k]);
        EXPECT_EQ(appended.firstStartingAtOrAfter(model[k].start), k);
        EXPECT_EQ(appended.firstStartingAtOrAfter(model[k].start + 1), k + 1);
    }
    for (ShiftedItemList<Marker, CompactMarker> *list : {&appended, &whole}) {
        list->splice(500, 130, {Marker{4991, 4992}});
        list->shiftFrom(501, -3);
    }
    EXPECT_EQ(appended.items(), whole.items());
}

namespace {

template <typename List> void expectAgreesWithPlainVector() {
    std::mt19937 random(5);
    std::vector<Marker> model;
    for (std::size_t k = 0; k < 6000; ++k) {
        model.push_back(Marker{k * 10, k * 10 + 3});
    }
    List list(model);
    for (int step = 0; step < 3000; ++step) {
        const std::size_t index = random() % (model.size() + 1);
        // Deletions alone leave blocks small, to be joined; insertions keep the list long.
        const bool deleting = model.size() > 2000 && random() % 3 == 0;
        const std::size_t reach = deleting ? 40 : (random() % 10 == 0 ? 400 : 4);
        const std::size_t count = std::min<std::size_t>(random() % reach, model.size() - index);
        // Fresh items fit between the item before and the ones after, which then move by `delta`.
        const std::size_t from = index == 0 ? 0 : model[index - 1].end;
        std::vector<Marker> fresh;
        const std::size_t added = deleting ? 0 : random() % (random() % 10 == 0 ? 600 : 3);
        for (std::size_t k = 0; k < added; ++k) {
            fresh.push_back(Marker{from + 1 + k * 4, from + 3 + k * 4});
        }
        const std::size_t freshEnd = fresh.empty() ? from : fresh.back().end;
        const std::size_t nextStart = index + count < model.size() ? model[index + count].start : freshEnd;
        const std::ptrdiff_t delta = nextStart > freshEnd ? static_cast<std::ptrdiff_t>(1 + random() % 5)
                                                          : static_cast<std::ptrdiff_t>(freshEnd - nextStart + 1);
        list.splice(index, count, fresh);
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(index),
                    model.begin() + static_cast<std::ptrdiff_t>(index + count));
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(index), fresh.begin(), fresh.end());
        list.shiftFrom(index + fresh.size(), delta);
        for (std::size_t k = index + fresh.size(); k < model.size(); ++k) {
            shift(model[k], delta);
        }
        ASSERT_EQ(list.size(), model.size()) << "step " << step;
        if (!model.empty()) {
            const std::size_t probe = random() % model.size();
            ASSERT_EQ(list.at(probe), model[probe]) << "step " << step;
            ASSERT_EQ(list.startAt(probe), model[probe].start);
            auto stored = list.stored(probe);
            shift(stored, list.storedShift(probe));
            ASSERT_EQ(toItem(stored), model[probe]);
            const std::size_t position = model[probe].start + random() % 3;
            const auto expected = std::partition_point(model.begin(), model.end(),
                                                       [position](const Marker &m) { return m.start < position; });
            ASSERT_EQ(list.firstStartingAtOrAfter(position), static_cast<std::size_t>(expected - model.begin()));
            Marker replaced = model[probe];
            replaced.end += 1;
            list.replace(probe, replaced);
            model[probe] = replaced;
        }
        if (step % 100 == 0) {
            ASSERT_EQ(list.items(), model) << "step " << step;
        }
    }
    EXPECT_EQ(list.items(), model);
}

} // namespace

// A walk over the starts from any item to any other gives what asking for each does: from the middle of a
// block, over blocks cut and joined by splices and moved by shifts, past the end, and over nothing.
TEST(ShiftedItemListTests, AWalkOverTheStartsGivesEachItemsStart) {
    std::vector<Marker> markers;
    for (std::size_t k = 0; k < 1000; ++k) {
        markers.push_back(Marker{k * 10, k * 10 + 5});
    }
    ShiftedItemList<Marker, CompactMarker> list(markers);
    std::vector<Marker> fresh;
    for (std::size_t k = 0; k < 300; ++k) {
        fresh.push_back(Marker{2001 + k, 2001 + k});
    }
    list.splice(200, 10, fresh);
    list.shiftFrom(500, 7000);
    list.splice(700, 150, {});
    list.shiftFrom(30, 3);
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const std::size_t first = random() % (list.size() + 2);
        const std::size_t end = first + random() % 400;
        std::vector<std::pair<std::size_t, std::size_t>> walked;
        list.forEachStart(first, end,
                          [&walked](std::size_t index, std::size_t start) { walked.emplace_back(index, start); });
        std::vector<std::pair<std::size_t, std::size_t>> asked;
        for (std::size_t index = first; index < std::min(end, list.size()); ++index) {
            asked.emplace_back(index, list.startAt(index));
        }
        ASSERT_EQ(walked, asked) << "from " << first << " to " << end;
    }
}
