#include "corvid/graphics/image.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace corvid;

TEST(IntRect, IntersectUniteAndNormalize) {
    const IntRect a{0, 0, 10, 10};
    EXPECT_EQ(a.intersect({5, 5, 20, 20}), (IntRect{5, 5, 10, 10}));
    // Disjoint and touching rectangles intersect to nothing with a sane width.
    EXPECT_TRUE(a.intersect({10, 0, 20, 10}).isEmpty());
    EXPECT_EQ(a.intersect({30, 30, 40, 40}).width(), 0);
    EXPECT_EQ(a.unite({}), a);
    EXPECT_EQ(a.unite({20, 1, 21, 2}), (IntRect{0, 0, 21, 10}));
    EXPECT_EQ((IntRect{8, 9, 2, 3}).normalized(), (IntRect{2, 3, 8, 9}));
    EXPECT_TRUE((IntRect{5, 0, 5, 10}).isEmpty());
}

TEST(OwnedImage, PackedRowsAndAlignment) {
    for (int w : {1, 3, 763}) {
        OwnedImage<RGBA> img(w, 7);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(img.data()) % 128, 0u);
        EXPECT_EQ(img.asView().pitch(), w * 4);
        EXPECT_EQ(img.numPixels(), int64_t(w) * 7);
        img.setPixel(w - 1, 6, RGBA{1, 2, 3, 4});
        EXPECT_EQ(img.rowSpan(6)[w - 1], (RGBA{1, 2, 3, 4}));
        EXPECT_EQ(&img.asView().at(w - 1, 6), &img.pixelAt(w - 1, 6));
    }
    OwnedImage<L16> depth(5, 5);
    depth.size(0, 5);
    EXPECT_EQ(depth.numPixels(), 0);
    EXPECT_EQ(depth.data(), nullptr);

    OwnedImage<L8> a(4, 4);
    OwnedImage<L8> b(std::move(a));
    EXPECT_EQ(a.width(), 0);
    EXPECT_EQ(b.width(), 4);
}

TEST(ImageView, CropMovesOriginAndClip) {
    OwnedImage<L8> img(10, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x) img.setPixel(x, y, L8(uint8_t(y * 10 + x)));
    const auto view = img.asView().withClip({2, 2, 9, 9});
    const auto c = view.crop({3, 4, 7, 6});
    EXPECT_EQ(c.width(), 4);
    EXPECT_EQ(c.height(), 2);
    EXPECT_EQ(c.pitch(), 10);
    EXPECT_EQ(c.at(0, 0).l, 43);
    EXPECT_EQ(c.at(3, 1).l, 56);
    EXPECT_EQ(c.drawableArea(), (IntRect{0, 0, 4, 2}));
    // A crop reaching past the view is cut to it; the clip follows the origin.
    const auto edge = view.crop({8, 6, 20, 20});
    EXPECT_EQ(edge.width(), 2);
    EXPECT_EQ(edge.height(), 2);
    EXPECT_EQ(edge.drawableArea(), (IntRect{0, 0, 1, 2}));
}

TEST(Mipmap, LevelCounts) {
    EXPECT_EQ(Mipmap<RGBA>::levelCountFor(10, 1024, 1024), 11);
    EXPECT_EQ(Mipmap<RGBA>::levelCountFor(5, 763, 494), 6);
    EXPECT_EQ(Mipmap<RGBA>::levelCountFor(20, 763, 494), 9);
    EXPECT_EQ(Mipmap<RGBA>::levelCountFor(5, 1, 1), 1);
    EXPECT_EQ(Mipmap<RGBA>::levelCountFor(5, 0, 7), 0);
    Mipmap<L16> m(4, 763, 494);
    ASSERT_EQ(m.levelCount(), 5);
    EXPECT_EQ(m.level(4).width(), 763 >> 4);
    EXPECT_EQ(m.level(4).height(), 494 >> 4);
}
