#include "corvid/gui/boxlist.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using corvid::IntRect;

namespace {

// Pixel-by-pixel coverage count of a list over a small canvas.
std::vector<int> coverage(const std::vector<IntRect>& list, int w, int h) {
    std::vector<int> c(static_cast<size_t>(w * h), 0);
    for (const IntRect& r : list)
        for (int y = r.minY; y < r.maxY; ++y)
            for (int x = r.minX; x < r.maxX; ++x) ++c[static_cast<size_t>(y * w + x)];
    return c;
}

TEST(BoxList, ContainedRectangleLeavesListUnchanged) {
    std::vector<IntRect> list{{0, 0, 50, 50}, {60, 0, 70, 10}};
    const auto before = list;
    corvid::addDisjointRect(list, {10, 10, 20, 20});
    corvid::addDisjointRect(list, {0, 0, 50, 50}); // equal counts as contained
    EXPECT_EQ(list, before);
}

TEST(BoxList, CoveringRectangleReplacesEveryCoveredEntry) {
    std::vector<IntRect> list{{0, 0, 10, 10}, {20, 0, 30, 10}, {0, 20, 10, 30}, {90, 90, 99, 99}};
    corvid::addDisjointRect(list, {0, 0, 40, 40});
    ASSERT_EQ(list.size(), 2u);
    EXPECT_NE(std::find(list.begin(), list.end(), IntRect{90, 90, 99, 99}), list.end());
    EXPECT_NE(std::find(list.begin(), list.end(), IntRect{0, 0, 40, 40}), list.end());
}

TEST(BoxList, PartialOverlapCutsOldEntryAroundTheNewOne) {
    // New rectangle in the middle of an old one: four pieces plus the new one.
    std::vector<IntRect> list{{0, 0, 30, 30}};
    corvid::addDisjointRect(list, {10, 10, 20, 20});
    EXPECT_EQ(list.size(), 1u) << "inside an existing entry";

    list = {{10, 10, 20, 20}};
    corvid::addDisjointRect(list, {0, 15, 30, 17}); // crosses it horizontally
    EXPECT_EQ(list.size(), 3u);                     // band above, band below, new
    const auto c = coverage(list, 40, 40);
    EXPECT_EQ(*std::max_element(c.begin(), c.end()), 1);
    EXPECT_EQ(c[15 * 40 + 0], 1);
    EXPECT_EQ(c[12 * 40 + 12], 1);
    EXPECT_EQ(c[18 * 40 + 19], 1);
    EXPECT_EQ(c[12 * 40 + 21], 0);
}

TEST(BoxList, EmptyAndInvertedRectanglesAreIgnored) {
    std::vector<IntRect> list;
    corvid::addDisjointRect(list, {5, 5, 5, 9});
    corvid::addDisjointRect(list, {9, 9, 2, 2});
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(corvid::boundsOf(list), IntRect{});
}

TEST(BoxList, RandomInsertionsStayDisjointAndCoverTheUnion) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> pos(0, 60), size(0, 25);
    for (int round = 0; round < 200; ++round) {
        std::vector<IntRect> list, added;
        for (int i = 0; i < 12; ++i) {
            const int x = pos(rng), y = pos(rng);
            const IntRect r{x, y, x + size(rng), y + size(rng)};
            added.push_back(r);
            corvid::addDisjointRect(list, r);
        }
        const auto got = coverage(list, 90, 90);
        const auto want = coverage(added, 90, 90);
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_LE(got[i], 1) << "overlap at pixel " << i;
            ASSERT_EQ(got[i] != 0, want[i] != 0) << "coverage differs at pixel " << i;
        }
        std::vector<IntRect> copy = added, scratch;
        corvid::makeDisjoint(copy, scratch);
        EXPECT_EQ(coverage(copy, 90, 90), got);
        EXPECT_EQ(corvid::boundsOf(copy), corvid::boundsOf(added));
    }
}

} // namespace
