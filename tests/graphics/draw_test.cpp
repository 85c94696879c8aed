#include "corvid/graphics/draw.h"
#include "corvid/graphics/drawex.h"
#include "corvid/graphics/image.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

using namespace corvid;

namespace {

void randomFill(OwnedImage<RGBA>& img, std::mt19937& rng) {
    for (int y = 0; y < img.height(); ++y)
        for (auto& p : img.rowSpan(y)) {
            const uint32_t v = rng();
            p = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        }
}

void randomFill(OwnedImage<L16>& img, std::mt19937& rng) {
    for (int y = 0; y < img.height(); ++y)
        for (auto& p : img.rowSpan(y)) p = L16(uint16_t(rng()));
}

template <typename T>
OwnedImage<T> copyOf(const OwnedImage<T>& src) {
    OwnedImage<T> c(src.width(), src.height());
    std::memcpy(c.data(), src.data(), size_t(src.numPixels()) * sizeof(T));
    return c;
}

template <typename T>
bool same(const OwnedImage<T>& a, const OwnedImage<T>& b) {
    return std::memcmp(a.data(), b.data(), size_t(a.numPixels()) * sizeof(T)) == 0;
}

RGBA refBlend(RGBA d, RGBA c, uint32_t w) {
    auto ch = [&](uint8_t cc, uint8_t dd) { return uint8_t((cc * w + dd * (255 - w)) / 255); };
    return {ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), ch(c.a, d.a)};
}

L16 refBlend16(L16 d, uint32_t v, uint64_t w) {
    return L16(uint16_t((v * w + (65535 - w) * d.l) / 65535));
}

// Per-pixel disc written from the formula, visiting every pixel of the image.
template <typename T, typename Value>
void refDisc(OwnedImage<T>& img, const IntRect& allowed, float x, float y, float r1, float r2,
             Value c, float op) {
    for (int j = 0; j < img.height(); ++j)
        for (int i = 0; i < img.width(); ++i) {
            if (!allowed.contains(i, j)) continue;
            const float d2 = (x - float(i)) * (x - float(i)) + (y - float(j)) * (y - float(j));
            float s;
            if (d2 < r1 * r1) {
                s = 1.0f;
            } else if (d2 < r2 * r2) {
                s = 1.0f - (d2 - r1 * r1) / (r2 * r2 - r1 * r1);
            } else {
                continue;
            }
            if constexpr (std::is_same_v<T, RGBA>) {
                img.pixelAt(i, j) =
                    refBlend(img.pixelAt(i, j), c, uint32_t(s * 255.0f * op + 0.5f));
            } else {
                img.pixelAt(i, j) =
                    refBlend16(img.pixelAt(i, j), c.l, uint32_t(s * 65535.0f * op + 0.5f));
            }
        }
}

} // namespace

TEST(FillRect, ClipsToViewAndClipRectInEitherCornerOrder) {
    OwnedImage<RGBA> img(12, 9);
    img.fill({1, 2, 3, 4});
    const OwnedImage<RGBA> before = copyOf(img);
    const RGBA red{255, 0, 0, 255};
    fillRect(img.asView(), red, {20, 3, 30, 5});
    fillRect(img.asView(), red, {-8, -8, 0, 20});
    EXPECT_TRUE(same(img, before));

    OwnedImage<RGBA> a = copyOf(img), b = copyOf(img);
    fillRect(a.asView().withClip({2, 0, 12, 7}), red, {-3, 4, 5, 100});
    fillRect(b.asView().withClip({2, 0, 12, 7}), red, {5, 100, -3, 4});
    EXPECT_TRUE(same(a, b));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(a.pixelAt(x, y),
                      (x >= 2 && x < 5 && y >= 4 && y < 7) ? red : before.pixelAt(x, y));

    // Through a crop: rectangle coordinates are relative to the crop's origin.
    OwnedImage<L16> d(10, 10);
    d.fill(L16(7));
    fillRect(d.asView().crop({4, 4, 8, 8}), L16(9), {-2, -2, 2, 1});
    EXPECT_EQ(d.pixelAt(5, 4).l, 9);
    EXPECT_EQ(d.pixelAt(6, 4).l, 7);
    EXPECT_EQ(d.pixelAt(3, 4).l, 7);
    EXPECT_EQ(d.pixelAt(4, 5).l, 7);
}

// Every instruction set's row kernel against the formula, with rows long enough for
// whole vectors of the widest and a tail.
class FillRectBlendedPaths : public testing::TestWithParam<Isa> {};

TEST_P(FillRectBlendedPaths, RGBAMatchesFormulaForEveryWeight) {
    std::mt19937 rng(3);
    OwnedImage<RGBA> img(37, 5);
    for (int step = 1; step < 255; ++step) {
        randomFill(img, rng);
        const OwnedImage<RGBA> before = copyOf(img);
        const RGBA c{uint8_t(rng()), uint8_t(rng()), 255, uint8_t(step)};
        const float opacity = float(step) / 255.0f;
        const IntRect r{int(rng() % 5), 1, 37 - int(rng() % 5), 5};
        fillRectBlended(img.asView(), c, r, opacity, GetParam());
        const uint32_t o = uint32_t(opacity * 255.0f + 0.5f);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x) {
                const RGBA want =
                    r.contains(x, y) ? refBlend(before.pixelAt(x, y), c, o) : before.pixelAt(x, y);
                ASSERT_EQ(img.pixelAt(x, y), want) << "step " << step << " at " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, FillRectBlendedPaths, testing::ValuesIn(supportedIsas()),
                         [](const testing::TestParamInfo<Isa>& path) {
                             return std::string(isaName(path.param));
                         });

TEST(FillRectBlended, OpacityEndsAndRounding) {
    OwnedImage<RGBA> img(6, 1);
    img.fill({0, 0, 0, 0});
    fillRectBlended(img.asView(), {255, 255, 255, 255}, {0, 0, 6, 1}, 0.5f);
    EXPECT_EQ(img.pixelAt(5, 0), (RGBA{128, 128, 128, 128}));
    fillRectBlended(img.asView(), {9, 9, 9, 9}, {0, 0, 6, 1}, 0.0f);
    fillRectBlended(img.asView(), {9, 9, 9, 9}, {0, 0, 6, 1}, -1.0f);
    fillRectBlended(img.asView(), {9, 9, 9, 9}, {0, 0, 6, 1}, std::nanf(""));
    EXPECT_EQ(img.pixelAt(0, 0), (RGBA{128, 128, 128, 128}));
    fillRectBlended(img.asView(), {9, 8, 7, 6}, {0, 0, 6, 1}, 1.0f);
    EXPECT_EQ(img.pixelAt(3, 0), (RGBA{9, 8, 7, 6}));
    // Opacity above 1 is a plain fill, not a wrapped weight.
    fillRectBlended(img.asView(), {1, 2, 3, 4}, {0, 0, 6, 1}, 1.5f);
    EXPECT_EQ(img.pixelAt(3, 0), (RGBA{1, 2, 3, 4}));

    std::mt19937 rng(5);
    OwnedImage<L16> d(9, 3);
    for (float op : {0.001f, 0.25f, 0.5f, 0.99999f, 0.999999f}) {
        randomFill(d, rng);
        const OwnedImage<L16> before = copyOf(d);
        fillRectBlended(d.asView(), L16(50000), {8, 3, 1, 1}, op);
        const uint32_t w = uint32_t(op * 65535.0f + 0.5f);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 9; ++x) {
                const bool in = x >= 1 && x < 8 && y >= 1;
                ASSERT_EQ(d.pixelAt(x, y),
                          in ? refBlend16(before.pixelAt(x, y), 50000, w) : before.pixelAt(x, y));
            }
    }
}

TEST(AaDisc, MatchesFormulaWithClipping) {
    std::mt19937 rng(11);
    for (int n = 0; n < 40; ++n) {
        const float x = float(int(rng() % 400) - 100) / 10.0f,
                    y = float(int(rng() % 300) - 50) / 10.0f;
        const float r1 = float(rng() % 80) / 10.0f, r2 = r1 + float(rng() % 60) / 10.0f;
        const float op = float(rng() % 101) / 100.0f;
        const IntRect clip{int(rng() % 10), int(rng() % 10), 10 + int(rng() % 20),
                           10 + int(rng() % 15)};

        OwnedImage<RGBA> img(29, 23);
        randomFill(img, rng);
        OwnedImage<RGBA> want = copyOf(img);
        const RGBA c{uint8_t(rng()), uint8_t(rng()), uint8_t(rng()), uint8_t(rng())};
        aaDisc(img.asView().withClip(clip), x, y, r1, r2, c, op);
        refDisc(want, clip, x, y, r1, r2, c, op);
        ASSERT_TRUE(same(img, want)) << n;

        OwnedImage<L16> d(29, 23);
        randomFill(d, rng);
        OwnedImage<L16> wantD = copyOf(d);
        // Drawn through a crop with the centre in crop coordinates.
        aaDisc(d.asView().crop(clip), x - float(clip.minX), y - float(clip.minY), r1, r2,
               L16(40000), op);
        refDisc(wantD, clip, x, y, r1, r2, L16(40000), op);
        ASSERT_TRUE(same(d, wantD)) << n;
    }
}

TEST(AaDisc, EqualRadiiGiveAHardEdge) {
    OwnedImage<L16> d(11, 11);
    d.fill(L16(0));
    aaDisc(d.asView(), 5.0f, 5.0f, 3.0f, 3.0f, L16(60000), 1.0f);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 11; ++x) {
            const int d2 = (x - 5) * (x - 5) + (y - 5) * (y - 5);
            EXPECT_EQ(d.pixelAt(x, y).l, d2 < 9 ? 60000 : 0) << x << "," << y;
        }
    // A disc far off the view or with a non-finite centre draws nothing.
    const OwnedImage<L16> before = copyOf(d);
    aaDisc(d.asView(), 1.0e20f, -3.0e9f, 5.0f, 9.0f, L16(1), 1.0f);
    aaDisc(d.asView(), std::nanf(""), 5.0f, 5.0f, 9.0f, L16(1), 1.0f);
    EXPECT_TRUE(same(d, before));
}

TEST(AaRing, FullStrengthAtMiddleRadius) {
    OwnedImage<RGBA> img(21, 21);
    img.fill({0, 0, 0, 0});
    aaRing(img.asView(), 10.0f, 10.0f, 2.0f, 5.0f, 8.0f, {200, 100, 50, 255}, 1.0f);
    EXPECT_EQ(img.pixelAt(15, 10), (RGBA{200, 100, 50, 255}));
    EXPECT_EQ(img.pixelAt(10, 10), (RGBA{0, 0, 0, 0})); // inside rInner
    EXPECT_EQ(img.pixelAt(18, 10), (RGBA{0, 0, 0, 0})); // d = rOuter
    EXPECT_EQ(img.pixelAt(11, 10), (RGBA{0, 0, 0, 0})); // d < rInner
    // Strength falls linearly in squared distance on both sides.
    OwnedImage<RGBA> half(21, 21);
    half.fill({0, 0, 0, 0});
    aaRing(half.asView(), 0.0f, 0.0f, 0.0f, 4.0f, std::sqrt(32.0f), {255, 255, 255, 255}, 1.0f);
    EXPECT_EQ(half.pixelAt(0, 0).r, 0);   // d2 = 0 = rInner^2: t = 1
    EXPECT_EQ(half.pixelAt(2, 2).r, 128); // d2 = 8: t = 0.5
    EXPECT_EQ(half.pixelAt(4, 2).r, 191); // d2 = 20: t = 0.25 on the outer side
}

TEST(DepthRamp, CurvesAndClipping) {
    OwnedImage<L16> d(4, 12);
    for (DepthCurve curve : {DepthCurve::quadratic, DepthCurve::squareRoot, DepthCurve::power07,
                             DepthCurve::power14, DepthCurve::linear}) {
        d.fill(L16(5));
        // Rows above the view are skipped but still count for t; columns are cut.
        const IntRect r{1, -4, 3, 8};
        depthRamp(d.asView(), r, 1000, 61000, curve);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 4; ++x) {
                if (x < 1 || x >= 3 || y >= 8) {
                    ASSERT_EQ(d.pixelAt(x, y).l, 5);
                    continue;
                }
                const float t = float(y + 4) / 12.0f;
                float c = t;
                if (curve == DepthCurve::quadratic) c = t * t;
                if (curve == DepthCurve::squareRoot) c = std::sqrt(t);
                if (curve == DepthCurve::power07) c = std::pow(t, 0.699999988079071f);
                if (curve == DepthCurve::power14) c = std::pow(t, 1.399999976158142f);
                const uint32_t u = uint32_t(c * 65535.0f + 0.5f);
                ASSERT_EQ(d.pixelAt(x, y).l, (61000u * u + 1000u * (65535u - u)) / 65535u)
                    << int(curve) << " " << y;
            }
    }
    d.fill(L16(5));
    depthRamp(d.asView(), {0, 3, 4, 9}, 1000, 61000, DepthCurve::power07);
    EXPECT_EQ(d.pixelAt(0, 3).l, 1000); // the top row holds the top value
    depthRamp(d.asView(), {0, 3, 4, 3}, 1, 2, DepthCurve::linear);
    EXPECT_EQ(d.pixelAt(0, 2).l, 5);
}

TEST(SplatPoint, WeightsAndEdges) {
    OwnedImage<RGBA> img(4, 4);
    img.fill({0, 0, 0, 0});
    splatPoint(img.asView(), 1.0f, 2.0f, {255, 255, 255, 255}, 255);
    // Whole-pixel position: (255 x 255) >> 8 = 254, then (255 x 254) >> 8 = 253.
    EXPECT_EQ(img.pixelAt(1, 2), (RGBA{253, 253, 253, 253}));
    EXPECT_EQ(img.pixelAt(2, 2), (RGBA{0, 0, 0, 0}));

    img.fill({0, 0, 0, 0});
    splatPoint(img.asView(), 1.5f, 0.5f, {255, 0, 0, 255}, 200);
    // gx = gy = 128, hx = hy = 127: weights 63, 63, 63, 64; w = (200 x weight) >> 8.
    EXPECT_EQ(img.pixelAt(1, 0).r, 49);
    EXPECT_EQ(img.pixelAt(2, 0).r, 49);
    EXPECT_EQ(img.pixelAt(1, 1).r, 49);
    EXPECT_EQ(img.pixelAt(2, 1).r, 50);

    // Partly outside: only the pixels inside the view are written.
    img.fill({0, 0, 0, 0});
    splatPoint(img.asView(), -0.5f, 3.5f, {255, 255, 255, 255}, 255);
    int touched = 0;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) touched += img.pixelAt(x, y).a != 0;
    EXPECT_EQ(touched, 1);
    EXPECT_NE(img.pixelAt(0, 3).a, 0);
    // Intensity out of range is clamped rather than wrapping the weight.
    img.fill({0, 0, 0, 0});
    splatPoint(img.asView(), 1.0f, 1.0f, {255, 255, 255, 255}, 1000);
    EXPECT_EQ(img.pixelAt(1, 1).a, 253);
}

TEST(AaLine, SplatsOncePerMajorStep) {
    const RGBA c{255, 255, 255, 255};
    OwnedImage<RGBA> line(8, 8), expect(8, 8);
    line.fill({0, 0, 0, 0});
    expect.fill({0, 0, 0, 0});
    aaLine(line.asView(), 0.0f, 0.0f, 3.0f, 1.0f, c, 255);
    for (int i = 0; i <= 3; ++i) splatPoint(expect.asView(), float(i), float(i) / 3.0f, c, 255);
    EXPECT_TRUE(same(line, expect));
    EXPECT_NE(line.pixelAt(3, 1).a, 0); // the end point is drawn

    // Reversed and steep lines step along y; equal endpoints draw nothing.
    line.fill({0, 0, 0, 0});
    expect.fill({0, 0, 0, 0});
    aaLine(line.asView(), 2.0f, 6.0f, 1.0f, 1.5f, c, 100);
    for (float o = 6.0f; o >= 1.5f; o -= 1.0f)
        splatPoint(expect.asView(), 2.0f + (o - 6.0f) * -1.0f / -4.5f, o, c, 100);
    EXPECT_TRUE(same(line, expect));
    const OwnedImage<RGBA> before = copyOf(line);
    aaLine(line.asView(), 2.0f, 2.0f, 2.0f, 2.0f, c, 255);
    EXPECT_TRUE(same(line, before));

    // Lines with enormous or non-finite coordinates finish and touch only what
    // the view shows.
    aaLine(line.asView(), -3.0e9f, 1.0f, 3.0e9f, 1.0f, c, 255);
    EXPECT_NE(line.pixelAt(5, 1).a, 0);
    aaLine(line.asView(), 1.0f, 1.0f, INFINITY, 2.0f, c, 255);
}

// Widgets pass positions computed from parameter values and animation; wild values
// must never write outside the view or its clip (the sanitizer build checks the
// memory, the border check below the clip).
TEST(DrawPrimitives, WildArgumentsStayInsideTheClip) {
    std::mt19937 rng(17);
    const float specials[] = {0.0f,  -1.0f,  0.5f,     3.7f,      -2.5e9f,      2.5e9f,
                              1e30f, -1e30f, INFINITY, -INFINITY, std::nanf("")};
    auto pick = [&] {
        return rng() % 3 == 0 ? specials[rng() % 11] : float(int(rng() % 40) - 10) * 0.37f;
    };
    OwnedImage<RGBA> img(16, 12);
    OwnedImage<L16> d(16, 12);
    img.fill({0, 0, 0, 0});
    d.fill(L16(0));
    const IntRect clip{2, 3, 13, 10};
    const auto v = img.asView().withClip(clip);
    const auto dv = d.asView().withClip(clip);
    const RGBA c{255, 255, 255, 255};
    for (int n = 0; n < 3000; ++n) {
        const float a = pick(), b = pick(), e = pick(), f = pick(), g = pick();
        const IntRect r{int(rng() % 60) - 30, int(rng() % 60) - 30, int(rng() % 60) - 30,
                        int(rng() % 60) - 30};
        fillRect(v, c, r);
        fillRectBlended(v, c, r, e);
        fillRectBlended(dv, L16(9), r, e);
        depthRamp(dv, r, 1, 65535, DepthCurve(rng() % 5));
        aaDisc(v, a, b, e, f, c, g);
        aaDisc(dv, a, b, e, f, L16(7), g);
        aaRing(v, a, b, e, f, g, c, 1.0f);
        splatPoint(v, a, b, c, int(rng() % 600) - 100);
        aaLine(v, a, b, e, f, c, 255);
    }
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            if (!clip.contains(x, y)) {
                ASSERT_EQ(img.pixelAt(x, y), (RGBA{0, 0, 0, 0})) << x << "," << y;
                ASSERT_EQ(d.pixelAt(x, y).l, 0) << x << "," << y;
            }
}
