#include "corvid/graphics/mipmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>

using namespace corvid;

namespace {

// Plain per-pixel filters written straight from the formulas, independent of the
// row kernels in the library. Channel c of a pixel: r, g, b, a or the one l.
template <typename T>
constexpr int channels = std::is_same_v<T, RGBA> ? 4 : 1;
template <typename T>
constexpr int64_t maxValue = std::is_same_v<T, RGBA> ? 255 : 65535;
int64_t get(const RGBA& p, int c) {
    return (&p.r)[c];
}
int64_t get(const L16& p, int) {
    return p.l;
}
void put(RGBA& p, int c, int64_t v) {
    (&p.r)[c] = uint8_t(v);
}
void put(L16& p, int, int64_t v) {
    p.l = uint16_t(v);
}

template <typename T>
T reference(MipFilter f, const OwnedImage<T>& s, int x, int y) {
    static const int w[4] = {1, 3, 3, 1};
    T o{};
    for (int c = 0; c < channels<T>; ++c) {
        int64_t sum = 0;
        if (f == MipFilter::cubic) {
            for (int j = 0; j < 4; ++j)
                for (int i = 0; i < 4; ++i) {
                    const int sx = std::clamp(2 * x - 1 + i, 0, s.width() - 1);
                    const int sy = std::clamp(2 * y - 1 + j, 0, s.height() - 1);
                    sum += w[i] * w[j] * get(s.pixelAt(sx, sy), c);
                }
            put(o, c, std::clamp<int64_t>((sum + 32) >> 6, 0, maxValue<T>));
            continue;
        }
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                const T& p = s.pixelAt(2 * x + dx, 2 * y + dy);
                sum += f == MipFilter::box ? get(p, c) : get(p, 3) * get(p, c);
            }
        put(o, c, f == MipFilter::box ? (sum + 2) >> 2 : std::min<int64_t>((sum + 512) >> 10, 255));
    }
    return o;
}

void randomFill(OwnedImage<RGBA>& img, std::mt19937& rng) {
    // Mixed content: mostly random, some saturated and some transparent pixels so
    // both ends of every lane's range are reached.
    for (int y = 0; y < img.height(); ++y)
        for (auto& p : img.rowSpan(y)) {
            const uint32_t v = rng();
            switch (v % 8) {
            case 0:
                p = {255, 255, 255, 255};
                break;
            case 1:
                p = {uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), 0};
                break;
            default:
                p = {uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), uint8_t(v >> 3)};
            }
        }
}

void randomFill(OwnedImage<L16>& img, std::mt19937& rng) {
    for (int y = 0; y < img.height(); ++y)
        for (auto& p : img.rowSpan(y)) {
            const uint32_t v = rng();
            p = L16(v % 5 == 0 ? uint16_t(65535) : uint16_t(v >> 7));
        }
}

// Builds level 1 from a random level 0 over a rectangle and compares every pixel
// inside the returned rectangle with the reference; pixels outside must be untouched.
template <typename T>
void checkLevel(Isa isa, MipFilter f, int w, int h, const IntRect& rect, std::mt19937& rng) {
    Mipmap<T> m(1, w, h);
    ASSERT_EQ(m.levelCount(), 2);
    randomFill(m.level(0), rng);
    auto& dst = m.level(1);
    T sentinel;
    std::memset(&sentinel, 0x5A, sizeof(T));
    dst.fill(sentinel);
    const IntRect r = m.buildNextLevel(f, 1, rect, isa);
    EXPECT_EQ(r, m.nextLevelRect(f, 1, rect));
    for (int y = 0; y < dst.height(); ++y)
        for (int x = 0; x < dst.width(); ++x) {
            const T want = r.contains(x, y) ? reference(f, m.level(0), x, y) : sentinel;
            ASSERT_EQ(dst.pixelAt(x, y), want) << isaName(isa) << " filter " << int(f) << " size "
                                               << w << "x" << h << " at " << x << "," << y;
        }
}

template <typename T>
void checkAllSizes(std::initializer_list<MipFilter> filters) {
    std::mt19937 rng(1234);
    for (Isa isa : supportedIsas()) {
        for (MipFilter f : filters) {
            // Every small width exercises each vector tail length and odd edge.
            for (int w = 2; w <= 70; ++w)
                checkLevel<T>(isa, f, w, 2 + w % 7, {0, 0, w, 2 + w % 7}, rng);
            checkLevel<T>(isa, f, 763, 494, {0, 0, 763, 494}, rng);
            // A long row crosses the cubic chunking.
            checkLevel<T>(isa, f, 1201, 5, {0, 0, 1201, 5}, rng);
            for (int i = 0; i < 60; ++i) {
                const int w = 2 + int(rng() % 300), h = 2 + int(rng() % 40);
                const int x0 = int(rng() % w), y0 = int(rng() % h);
                const IntRect r{x0, y0, x0 + 1 + int(rng() % (w - x0)),
                                y0 + 1 + int(rng() % (h - y0))};
                checkLevel<T>(isa, f, w, h, r, rng);
            }
        }
    }
}

} // namespace

TEST(MipmapFilters, RGBAMatchesPerPixelReference) {
    checkAllSizes<RGBA>({MipFilter::box, MipFilter::cubic, MipFilter::alphaWeightedBox});
}

TEST(MipmapFilters, L16MatchesPerPixelReference) {
    checkAllSizes<L16>({MipFilter::box, MipFilter::cubic});
}

TEST(MipmapFilters, AlphaWeightedBoxOfWhiteAndTransparent) {
    Mipmap<RGBA> m(1, 4, 2);
    auto& src = m.level(0);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y)
            src.setPixel(x, y, x < 2 ? RGBA{255, 255, 255, 255} : RGBA{200, 17, 255, 0});
    m.buildNextLevel(MipFilter::alphaWeightedBox, 1, {0, 0, 4, 2});
    EXPECT_EQ(m.level(1).pixelAt(0, 0), (RGBA{254, 254, 254, 254}));
    EXPECT_EQ(m.level(1).pixelAt(1, 0), (RGBA{0, 0, 0, 0}));
}

TEST(MipmapFilters, CubicRepeatsEdges) {
    // A flat image stays flat, including the border outputs whose footprints hang
    // over the edge: repeated edges, not zeros, fill the missing taps.
    Mipmap<L16> m(2, 9, 6);
    m.level(0).fill(L16(40000));
    const IntRect r = m.buildNextLevel(MipFilter::cubic, 1, {0, 0, 9, 6});
    EXPECT_EQ(r, (IntRect{0, 0, 4, 3}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(m.level(1).pixelAt(x, y).l, 40000);

    // One bright column at the left edge: output 0 sees it with weights 1 + 3
    // (column -1 repeats column 0), output 1 not at all.
    Mipmap<RGBA> c(1, 8, 4);
    c.level(0).fill(RGBA{0, 0, 0, 0});
    for (int y = 0; y < 4; ++y) c.level(0).setPixel(0, y, RGBA{255, 128, 16, 255});
    c.buildNextLevel(MipFilter::cubic, 1, {0, 0, 8, 4});
    EXPECT_EQ(c.level(1).pixelAt(0, 1), (RGBA{128, 64, 8, 128})); // (255 x 4 x 8 + 32) >> 6
    EXPECT_EQ(c.level(1).pixelAt(1, 1), (RGBA{0, 0, 0, 0}));
}

// Flat maxima and stripes of 0 and the maximum put every sum at its largest, where a
// carry between channels sharing a word, a lost bit or a wrong saturation would show;
// a row of 300 pixels runs the widest vectors several times over and their row ends.
TEST(MipmapFilters, ExtremeValuesOnEveryInstructionSet) {
    const int w = 300, h = 9;
    const auto patterns = {0, 1, 2, 3};
    for (Isa isa : supportedIsas()) {
        for (int pattern : patterns) {
            // 0: everything at the maximum; 1: columns alternate; 2: rows alternate;
            // 3: opaque white beside transparent colour, the alpha weighting's limit.
            auto high = [&](int x, int y) {
                return pattern == 0 || (pattern == 1 && x % 2 == 0) ||
                       (pattern == 2 && y % 2 == 0) || (pattern == 3 && (x + y) % 3 != 0);
            };
            Mipmap<RGBA> c(1, w, h);
            Mipmap<L16> d(1, w, h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const bool on = high(x, y);
                    const RGBA off = pattern == 3 ? RGBA{255, 0, 255, 0} : RGBA{0, 0, 0, 0};
                    c.level(0).setPixel(x, y, on ? RGBA{255, 255, 255, 255} : off);
                    d.level(0).setPixel(x, y, L16(on ? 65535 : 0));
                }
            for (MipFilter f : {MipFilter::box, MipFilter::cubic, MipFilter::alphaWeightedBox}) {
                c.buildNextLevel(f, 1, {0, 0, w, h}, isa);
                for (int y = 0; y < h / 2; ++y)
                    for (int x = 0; x < w / 2; ++x)
                        ASSERT_EQ(c.level(1).pixelAt(x, y), reference(f, c.level(0), x, y))
                            << isaName(isa) << " pattern " << pattern << " filter " << int(f)
                            << " at " << x << "," << y;
                if (f == MipFilter::alphaWeightedBox) continue;
                d.buildNextLevel(f, 1, {0, 0, w, h}, isa);
                for (int y = 0; y < h / 2; ++y)
                    for (int x = 0; x < w / 2; ++x)
                        ASSERT_EQ(d.level(1).pixelAt(x, y), reference(f, d.level(0), x, y))
                            << isaName(isa) << " pattern " << pattern << " filter " << int(f)
                            << " at " << x << "," << y;
            }
            if (pattern == 0) {
                EXPECT_EQ(c.level(1).pixelAt(w / 4, 2), (RGBA{254, 254, 254, 254}));
                EXPECT_EQ(d.level(1).pixelAt(w / 4, 2).l, 65535);
            }
        }
    }
}

TEST(MipmapRects, RectangleRule) {
    Mipmap<RGBA> m(3, 100, 60);
    EXPECT_EQ(m.nextLevelRect(MipFilter::box, 1, {3, 5, 9, 10}), (IntRect{1, 2, 5, 5}));
    EXPECT_EQ(m.nextLevelRect(MipFilter::alphaWeightedBox, 1, {3, 5, 9, 10}),
              (IntRect{1, 2, 5, 5}));
    EXPECT_EQ(m.nextLevelRect(MipFilter::cubic, 1, {3, 5, 9, 10}), (IntRect{1, 2, 5, 6}));
    // Truncation towards zero: (0 - 1) / 2 is 0, not -1.
    EXPECT_EQ(m.nextLevelRect(MipFilter::cubic, 1, {0, 0, 1, 1}), (IntRect{0, 0, 1, 1}));
    // Clipped to the next level.
    EXPECT_EQ(m.nextLevelRect(MipFilter::cubic, 2, {-10, -10, 50, 30}), (IntRect{0, 0, 25, 15}));
    // Nothing to do for empty rectangles or levels that do not exist.
    EXPECT_TRUE(m.buildNextLevel(MipFilter::box, 1, {4, 4, 4, 9}).isEmpty());
    EXPECT_TRUE(m.buildNextLevel(MipFilter::box, 0, {0, 0, 10, 10}).isEmpty());
    EXPECT_TRUE(m.buildNextLevel(MipFilter::box, 4, {0, 0, 10, 10}).isEmpty());
    // A one-pixel-high previous level gives the whole next level.
    Mipmap<RGBA> thin;
    thin.levels.push_back(std::make_unique<OwnedImage<RGBA>>(8, 1));
    thin.levels.push_back(std::make_unique<OwnedImage<RGBA>>(4, 1));
    EXPECT_EQ(thin.nextLevelRect(MipFilter::box, 1, {6, 0, 7, 1}), (IntRect{0, 0, 4, 1}));
}

TEST(Mipmap, FromImageBuildsAllLevels) {
    std::mt19937 rng(7);
    auto img = std::make_unique<OwnedImage<RGBA>>(83, 41);
    randomFill(*img, rng);
    OwnedImage<RGBA> copy(83, 41);
    std::memcpy(copy.data(), img->data(), 83 * 41 * 4);
    const RGBA* pixels = img->data();
    Mipmap<RGBA> m(std::move(img), 10);
    ASSERT_EQ(m.levelCount(), 6);
    EXPECT_EQ(m.level(0).data(), pixels);
    // Rebuild by hand with the same schedule and compare the top level.
    Mipmap<RGBA> by(10, 83, 41);
    std::memcpy(by.level(0).data(), copy.data(), 83 * 41 * 4);
    for (int k = 1; k < 6; ++k)
        by.buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, {0, 0, 83, 41});
    for (int k = 1; k < 6; ++k)
        EXPECT_EQ(
            std::memcmp(by.level(k).data(), m.level(k).data(), size_t(m.level(k).numPixels()) * 4),
            0);
    EXPECT_EQ(m.level(1).pixelAt(3, 4), reference(MipFilter::box, copy, 3, 4));

    Mipmap<L16> one(std::make_unique<OwnedImage<L16>>(1, 1), 5);
    EXPECT_EQ(one.levelCount(), 1);
}

TEST(Mipmap, SampleBilinear) {
    Mipmap<RGBA> m(1, 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            m.level(0).setPixel(x, y, RGBA{uint8_t(10 * x), uint8_t(10 * y), 7, 255});
    m.buildNextLevel(MipFilter::box, 1, {0, 0, 4, 4});
    // A pixel centre returns the pixel.
    auto s = m.sampleBilinear(0, 2.5f, 1.5f);
    EXPECT_EQ(s[0], 20.0f);
    EXPECT_EQ(s[1], 10.0f);
    EXPECT_EQ(s[2], 7.0f);
    EXPECT_EQ(s[3], 255.0f);
    // Halfway between centres blends evenly; far outside clamps to the edge.
    EXPECT_FLOAT_EQ(m.sampleBilinear(0, 2.0f, 1.5f)[0], 15.0f);
    EXPECT_NEAR(m.sampleBilinear(0, 100.0f, -5.0f)[0], 30.0f, 0.02f); // clamp stops at size - 1.001
    EXPECT_EQ(m.sampleBilinear(0, -100.0f, -5.0f)[1], 0.0f);
    // Level index is clamped; level 1 coordinates are halved.
    EXPECT_EQ(m.sampleBilinear(7, 1.0f, 1.0f), m.sampleBilinear(1, 1.0f, 1.0f));
    EXPECT_EQ(m.sampleBilinear(1, 1.0f, 1.0f)[3], 255.0f);

    // A one-pixel level returns its pixel exactly wherever it is sampled.
    Mipmap<L16> d(0, 1, 1);
    d.level(0).setPixel(0, 0, L16(12345));
    EXPECT_EQ(d.sampleBilinear(0, 0.5f, 0.5f), 12345.0f);
    EXPECT_EQ(d.sampleBilinear(0, 30.0f, -2.0f), 12345.0f);
    EXPECT_EQ(Mipmap<L16>().sampleBilinear(0, 1.0f, 1.0f), 0.0f);
}
