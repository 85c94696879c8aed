// The TrueType reader and the rasteriser on fonts built byte by byte, so that each
// table feature and each kind of damage can be aimed at directly.

#include "corvid/graphics/text/font.h"
#include "tests/font/fontdata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace corvid {
namespace {

using testfont::Component;
using testfont::FontBuilder;
using testfont::Point;

const std::vector<std::vector<Point>> square100 = {{{0, 0}, {0, 100}, {100, 100}, {100, 0}}};

TEST(TrueTypeOpen, RejectsWhatIsNotAUsableFont) {
    TrueTypeFace face;
    std::vector<std::uint8_t> font = FontBuilder().build();
    ASSERT_EQ(face.open(font), nullptr);

    EXPECT_NE(face.open({}), nullptr);
    EXPECT_NE(face.open(std::span(font).first(11)), nullptr);
    // Cut inside the table directory and inside the tables.
    for (std::size_t n : {std::size_t(20), std::size_t(100), font.size() / 2})
        EXPECT_NE(face.open(std::span(font).first(n)), nullptr) << n;

    std::vector<std::uint8_t> bad = font;
    std::memcpy(bad.data(), "true", 4);
    EXPECT_NE(face.open(bad), nullptr);

    // No vertical extent: layout would divide by zero.
    EXPECT_NE(face.open(FontBuilder().build(0, 0)), nullptr);

    std::vector<std::uint8_t> collection = testfont::asCollection(font);
    collection[5] = 3; // version 3
    EXPECT_NE(face.open(collection), nullptr);
    collection = testfont::asCollection(font);
    collection[12] = 0x7F; // first font far beyond the data
    EXPECT_NE(face.open(collection), nullptr);
}

TEST(TrueTypeOpen, AcceptsEverySignatureAndCollections) {
    FontBuilder builder;
    builder.map('A', builder.addSimple(square100, 600));
    const std::vector<std::uint8_t> font = builder.build();
    for (const char* signature : {"\x00\x01\x00\x00", "1\x00\x00\x00", "OTTO", "typ1"}) {
        std::vector<std::uint8_t> copy = font;
        std::memcpy(copy.data(), signature, 4);
        TrueTypeFace face;
        EXPECT_EQ(face.open(copy), nullptr) << signature;
        EXPECT_EQ(face.glyphIndex('A'), 1);
    }
    const std::vector<std::uint8_t> collection = testfont::asCollection(font);
    TrueTypeFace face;
    ASSERT_EQ(face.open(collection), nullptr);
    EXPECT_EQ(face.glyphIndex('A'), 1);
    EXPECT_EQ(face.advanceWidth(1), 600);
    EXPECT_EQ(face.ascent(), 800);
    EXPECT_EQ(face.descent(), -200);
}

TEST(TrueTypeOpen, UnreadableFontDataIsFatal) {
    const std::vector<std::uint8_t> garbage(64, 0x5A);
    EXPECT_DEATH(Font font(garbage), "cannot read embedded font");
}

TEST(TrueTypeGlyphs, ShortAndLongLocationsGiveTheSameOutline) {
    for (bool longLoca : {false, true}) {
        FontBuilder builder;
        builder.addEmpty(300);
        const int glyph =
            builder.addSimple({{{10, 20}, {10, 300}, {250, 300, false}, {250, 20}}}, 600);
        const std::vector<std::uint8_t> font = builder.build(800, -200, longLoca);
        TrueTypeFace face;
        ASSERT_EQ(face.open(font), nullptr);
        GlyphOutline outline;
        ASSERT_TRUE(face.loadOutline(1, outline));
        EXPECT_TRUE(outline.points.empty());
        ASSERT_TRUE(face.loadOutline(glyph, outline));
        ASSERT_EQ(outline.points.size(), 4u);
        EXPECT_EQ(outline.points[2].x, 250);
        EXPECT_EQ(outline.points[2].y, 300);
        EXPECT_FALSE(outline.points[2].onCurve);
        GlyphBounds b;
        ASSERT_TRUE(face.glyphBounds(glyph, b));
        EXPECT_EQ(b.xMin, 10);
        EXPECT_EQ(b.yMax, 300);
        EXPECT_FALSE(face.glyphBounds(1, b)) << "an empty glyph has no box";
        EXPECT_FALSE(face.glyphBounds(99, b));
    }
}

TEST(TrueTypeGlyphs, CompositesApplyOffsetsTransformsAndMatchedPoints) {
    FontBuilder builder;
    const int square = builder.addSimple(square100, 600);
    // Plain offset.
    const int moved = builder.addComposite({{square, 200, 50}}, 600);
    // Half size; the offset is transformed only when the component asks for it.
    Component half{square, 100, 40};
    half.xx = half.yy = 0.5f;
    const int halved = builder.addComposite({half}, 600);
    half.scaledOffset = true;
    const int halvedScaledOffset = builder.addComposite({half}, 600);
    // Swap x and y, then a second component hung on the first one's point 2.
    Component swap{square, 0, 0};
    swap.xx = swap.yy = 0;
    swap.xy = swap.yx = 1;
    Component hung{square, 2, 0};
    hung.matchPoints = true;
    const int matched = builder.addComposite({{square, 300, 0}, hung}, 600);
    const int swapped = builder.addComposite({swap}, 600);
    // Nested: a composite of composites.
    const int nested = builder.addComposite({{moved, 0, 1000}, {halved, 0, 0}}, 600);
    TrueTypeFace face;
    const std::vector<std::uint8_t> font = builder.build();
    ASSERT_EQ(face.open(font), nullptr);

    GlyphOutline o;
    ASSERT_TRUE(face.loadOutline(moved, o));
    ASSERT_EQ(o.points.size(), 4u);
    EXPECT_EQ(o.points[2].x, 300);
    EXPECT_EQ(o.points[2].y, 150);

    ASSERT_TRUE(face.loadOutline(halved, o));
    EXPECT_FLOAT_EQ(o.points[2].x, 150);
    EXPECT_FLOAT_EQ(o.points[2].y, 90);
    ASSERT_TRUE(face.loadOutline(halvedScaledOffset, o));
    EXPECT_FLOAT_EQ(o.points[2].x, 100);
    EXPECT_FLOAT_EQ(o.points[2].y, 70);

    ASSERT_TRUE(face.loadOutline(swapped, o));
    EXPECT_FLOAT_EQ(o.points[1].x, 100); // (0, 100) becomes (100, 0)
    EXPECT_FLOAT_EQ(o.points[1].y, 0);

    // Child point 0 lands on parent point 2, (400, 100).
    ASSERT_TRUE(face.loadOutline(matched, o));
    ASSERT_EQ(o.points.size(), 8u);
    EXPECT_EQ(o.contourEnds, (std::vector<std::uint32_t>{4, 8}));
    EXPECT_FLOAT_EQ(o.points[4].x, 400);
    EXPECT_FLOAT_EQ(o.points[4].y, 100);

    ASSERT_TRUE(face.loadOutline(nested, o));
    ASSERT_EQ(o.points.size(), 8u);
    EXPECT_FLOAT_EQ(o.points[2].y, 1150);
    EXPECT_FLOAT_EQ(o.points[6].x, 150);
}

TEST(TrueTypeGlyphs, HostileCompositesFailQuickly) {
    FontBuilder builder;
    const int square = builder.addSimple(square100, 600);
    // Glyph 2 refers to itself; 3 and 4 to each other.
    const int self = builder.addComposite({{2, 0, 0}}, 600);
    const int ping = builder.addComposite({{4, 0, 0}}, 600);
    builder.addComposite({{3, 0, 0}}, 600);
    // A glyph of 40 references to one with 40 references to one with 40 ...: far
    // more outline than anything should draw.
    int level = square;
    for (int depth = 0; depth < 6; ++depth)
        level = builder.addComposite(std::vector<Component>(40, Component{level}), 600);
    // Matched points that do not exist.
    Component wild{square, 7, 0};
    wild.matchPoints = true;
    const int badMatch = builder.addComposite({{square, 0, 0}, wild}, 600);
    const int missing = builder.addComposite({{999, 0, 0}}, 600);

    TrueTypeFace face;
    const std::vector<std::uint8_t> font = builder.build();
    ASSERT_EQ(face.open(font), nullptr);
    GlyphOutline o;
    const auto start = std::chrono::steady_clock::now();
    for (int g : {self, ping, level, badMatch, missing}) {
        EXPECT_FALSE(face.loadOutline(g, o)) << g;
        EXPECT_TRUE(o.points.empty());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(TrueTypeGlyphs, DamagedSimpleGlyphsAreRejected) {
    FontBuilder builder;
    TrueTypeFace face;
    std::vector<std::uint8_t> record = {0, 1, 0, 0, 0, 0, 0, 100, 0, 100, 0, 3, 0, 0};
    record.insert(record.end(), {1, 1, 1, 1});
    const int truncated = builder.addRaw(record, 600); // coordinates missing
    std::vector<std::uint8_t> backwards = {0, 2, 0, 0, 0, 0, 0, 100, 0, 100, 0, 3, 0, 1, 0, 0};
    const int unordered = builder.addRaw(backwards, 600);
    std::vector<std::uint8_t> repeat = {0, 1, 0, 0, 0, 0, 0, 100, 0, 100, 0, 1, 0, 0, 0x39, 200};
    const int overRepeat = builder.addRaw(repeat, 600); // repeats past the last point
    const int tiny = builder.addRaw({0, 1, 0}, 600);
    const std::vector<std::uint8_t> font = builder.build();
    ASSERT_EQ(face.open(font), nullptr);
    GlyphOutline o;
    EXPECT_FALSE(face.loadOutline(truncated, o));
    EXPECT_FALSE(face.loadOutline(unordered, o));
    EXPECT_TRUE(face.loadOutline(overRepeat, o)); // same-coordinate flags need no bytes
    EXPECT_EQ(o.points.size(), 2u);
    EXPECT_FALSE(face.loadOutline(tiny, o));
    GlyphBounds b;
    EXPECT_FALSE(face.glyphBounds(tiny, b));
}

TEST(TrueTypeMetrics, KerningPairsAndTrailingMetrics) {
    FontBuilder builder;
    const int a = builder.addSimple(square100, 600), v = builder.addSimple(square100, 700);
    builder.kern(a, v, -80);
    builder.kern(v, a, 25);
    TrueTypeFace face;
    const std::vector<std::uint8_t> font = builder.build();
    ASSERT_EQ(face.open(font), nullptr);
    ASSERT_TRUE(face.hasKerning());
    EXPECT_EQ(face.kerning(a, v), -80);
    EXPECT_EQ(face.kerning(v, a), 25);
    EXPECT_EQ(face.kerning(a, a), 0);
    EXPECT_EQ(face.kerning(-1, 70000), 0);
    EXPECT_EQ(face.advanceWidth(v), 700);
    EXPECT_EQ(face.advanceWidth(1000), 700) << "glyphs past the metrics repeat the last advance";

    TrueTypeFace plain;
    const std::vector<std::uint8_t> noKern = FontBuilder().build();
    ASSERT_EQ(plain.open(noKern), nullptr);
    EXPECT_FALSE(plain.hasKerning());
}

// A 4x4 font-unit grid maps to pixels 1:1 with scale 1 in these tests.
GlyphOutline rectangle(float x0, float y0, float x1, float y1, bool clockwise = true) {
    GlyphOutline o;
    if (clockwise)
        o.points = {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
    else
        o.points = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    o.contourEnds = {4};
    return o;
}

std::vector<int> render(const GlyphOutline& o, int w, int h) {
    OwnedImage<L8> image(w, h);
    image.fill(L8(77));
    GlyphRasterizer r;
    // Font y up, pixel y down: font y = h is pixel row 0.
    r.rasterize(o, 1.0f, 0.0f, float(h), image.asView());
    std::vector<int> out;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) out.push_back(image.pixelAt(x, y).l);
    return out;
}

TEST(GlyphRasterizer, CoverageOfRectanglesAndWinding) {
    // Pixel-aligned square: full inside, nothing outside, every pixel written.
    std::vector<int> px = render(rectangle(1, 1, 3, 3), 4, 4);
    EXPECT_EQ(px, (std::vector<int>{0, 0, 0, 0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 0, 0, 0}));
    // Half a pixel horizontally is exact within each sub-scanline.
    px = render(rectangle(0.5f, 0, 2.25f, 4), 3, 4);
    EXPECT_EQ(px[0], 128);
    EXPECT_EQ(px[1], 255);
    EXPECT_EQ(px[2], 64);
    // Below 8 rows 15 sub-scanlines are used: a third of a row is five of them.
    px = render(rectangle(0, 0, 1, 1.0f / 3.0f), 1, 1);
    EXPECT_EQ(px[0], 85);
    // From 8 rows on, five: 0.4 of a row covers two sub-scanline centres.
    px = render(rectangle(0, 0, 1, 0.4f), 1, 8);
    EXPECT_EQ(px[7], 102);

    // Overlapping contours of the same direction do not cancel; an inner contour
    // running the other way is a hole.
    GlyphOutline both = rectangle(0, 0, 4, 4);
    GlyphOutline inner = rectangle(1, 1, 3, 3);
    both.points.insert(both.points.end(), inner.points.begin(), inner.points.end());
    both.contourEnds.push_back(8);
    EXPECT_EQ(render(both, 4, 4)[5], 255);
    inner = rectangle(1, 1, 3, 3, false);
    both.points.resize(4);
    both.points.insert(both.points.end(), inner.points.begin(), inner.points.end());
    px = render(both, 4, 4);
    EXPECT_EQ(px[0], 255);
    EXPECT_EQ(px[5], 0);
}

TEST(GlyphRasterizer, ContoursOfOffCurvePointsOnly) {
    // Four off-curve points make a closed, round contour through the implied
    // midpoints (a rounded diamond centred at (8, 8)).
    GlyphOutline o;
    o.points = {{0, 0, false}, {0, 16, false}, {16, 16, false}, {16, 0, false}};
    o.contourEnds = {4};
    const std::vector<int> px = render(o, 16, 16);
    EXPECT_EQ(px[8 * 16 + 8], 255);
    EXPECT_EQ(px[0], 0);
    // Symmetric left-right and top-bottom.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            EXPECT_NEAR(px[std::size_t(y * 16 + x)], px[std::size_t(y * 16 + 15 - x)], 1);
            EXPECT_NEAR(px[std::size_t(y * 16 + x)], px[std::size_t((15 - y) * 16 + x)], 26);
        }
}

TEST(GlyphRasterizer, OutlinesBeyondTheBitmapAreCut) {
    // Far bigger than the 3x3 target, and far away in every direction.
    std::vector<int> px = render(rectangle(-1e6f, -1e6f, 1e6f, 1e6f), 3, 3);
    EXPECT_EQ(px, std::vector<int>(9, 255));
    px = render(rectangle(100, 100, 200, 200), 3, 3);
    EXPECT_EQ(px, std::vector<int>(9, 0));
    GlyphOutline broken;
    broken.points = {{0, 0}, {1, 1}};
    broken.contourEnds = {5, 1}; // ends past the points and going backwards
    EXPECT_EQ(render(broken, 2, 2), std::vector<int>(4, 0));
}

// Exact non-zero coverage at the rasteriser's sample rows, in double precision:
// every sub-scanline on its own, crossings sorted, spans by the non-zero rule,
// exact covered lengths.
std::vector<int> referenceCoverage(const GlyphOutline& polygon, int w, int h) {
    const int n = h < 8 ? 15 : 5;
    std::vector<double> sum(std::size_t(w * h), 0.0);
    for (int k = 0; k < h * n; ++k) {
        const double y = (double(k) + 0.5) / n;
        std::vector<std::pair<double, int>> crossings;
        std::size_t first = 0;
        for (std::uint32_t end : polygon.contourEnds) {
            for (std::size_t i = first; i < end; ++i) {
                const GlyphPoint& a = polygon.points[i];
                const GlyphPoint& b = polygon.points[i + 1 < end ? i + 1 : first];
                // Font y is up; pixel y = h - font y.
                double y0 = h - a.y, y1 = h - b.y, x0 = a.x, x1 = b.x;
                int dir = 1;
                if (y0 > y1) {
                    std::swap(y0, y1);
                    std::swap(x0, x1);
                    dir = -1;
                }
                if (y0 <= y && y < y1)
                    crossings.push_back({x0 + (y - y0) * (x1 - x0) / (y1 - y0), dir});
            }
            first = end;
        }
        std::sort(crossings.begin(), crossings.end());
        int winding = 0;
        double start = 0;
        for (const auto& [x, dir] : crossings) {
            const int before = winding;
            winding += dir;
            if (before == 0) start = x;
            if (before == 0 || winding != 0) continue;
            for (int px = 0; px < w; ++px) {
                const double covered = std::min(x, double(px + 1)) - std::max(start, double(px));
                if (covered > 0) sum[std::size_t((k / n) * w + px)] += covered;
            }
        }
    }
    std::vector<int> out;
    for (double v : sum) out.push_back(std::min(255, int(v * 255.0 / n + 0.5)));
    return out;
}

// A star-shaped polygon around (cx, cy): increasing angles make it simple, so its
// winding number is 0 or +-1 everywhere. Gaps of at most a quarter turn keep its
// edges at least 0.7 rMin from the centre.
void addStar(GlyphOutline& o, std::mt19937& random, float cx, float cy, float rMin, float rMax,
             bool reversed) {
    std::uniform_real_distribution<float> jitter(0.0f, 0.5f), radius(rMin, rMax);
    std::vector<float> angles(6 + random() % 7);
    const float start = jitter(random);
    for (std::size_t i = 0; i < angles.size(); ++i)
        angles[i] = 6.2831853f * (start + float(i) + jitter(random)) / float(angles.size());
    if (reversed) std::reverse(angles.begin(), angles.end());
    for (float a : angles) {
        const float r = radius(random);
        o.points.push_back({cx + r * std::cos(a), cy + r * std::sin(a), true});
    }
    o.contourEnds.push_back(std::uint32_t(o.points.size()));
}

TEST(GlyphRasterizer, SimpleOutlinesMatchExactNonZeroSpans) {
    // Glyph-like outlines: simple contours of either direction, holes running
    // against their outer contour, separate contours side by side, vertices
    // outside the bitmap; small and tall bitmaps (15 and 5 sub-scanlines).
    std::mt19937 random(1234);
    int exact = 0, total = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const int w = 3 + int(random() % 20), h = 2 + int(random() % 24);
        const float size = float(std::min(w, h));
        std::uniform_real_distribution<float> x(0.0f, float(w)), y(0.0f, float(h));
        GlyphOutline o;
        const float cx = x(random), cy = y(random);
        const bool reversed = random() % 2 != 0;
        addStar(o, random, cx, cy, 0.4f * size, 0.8f * size, reversed);
        if (random() % 2) addStar(o, random, cx, cy, 0.05f * size, 0.25f * size, !reversed);
        if (random() % 2)
            addStar(o, random, cx + 2.0f * size, cy, 0.2f * size, 0.9f * size, reversed);
        const std::vector<int> want = referenceCoverage(o, w, h);
        const std::vector<int> got = render(o, w, h);
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_LE(std::abs(got[i] - want[i]), 1) << "trial " << trial << " pixel " << i;
            exact += got[i] == want[i];
            ++total;
        }
    }
    // Differences come only from single precision and 1/65536-pixel positions
    // and steps, which move a byte across a rounding boundary now and then.
    EXPECT_GT(exact, total * 98 / 100);
}

TEST(GlyphRasterizer, OverlappingContoursErrOnlyTowardsMoreCoverage) {
    // Where contours of the same direction overlap, coverage is the summed
    // winding clamped to a pixel: never below the exact union, never above the
    // two contours added, and exact wherever a pixel lies wholly inside one.
    std::mt19937 random(77);
    for (int trial = 0; trial < 200; ++trial) {
        const int w = 4 + int(random() % 16), h = 4 + int(random() % 16);
        const float size = float(std::min(w, h));
        std::uniform_real_distribution<float> x(0.0f, float(w)), y(0.0f, float(h));
        GlyphOutline a, b;
        const bool reversed = random() % 2 != 0;
        addStar(a, random, x(random), y(random), 0.3f * size, 0.7f * size, reversed);
        addStar(b, random, x(random), y(random), 0.3f * size, 0.7f * size, reversed);
        GlyphOutline both = a;
        for (const GlyphPoint& p : b.points) both.points.push_back(p);
        both.contourEnds.push_back(std::uint32_t(both.points.size()));
        const std::vector<int> union_ = referenceCoverage(both, w, h);
        const std::vector<int> got = render(both, w, h);
        const std::vector<int> alone = render(a, w, h), other = render(b, w, h);
        for (std::size_t i = 0; i < got.size(); ++i) {
            ASSERT_GE(got[i], union_[i] - 1) << "trial " << trial << " pixel " << i;
            ASSERT_LE(got[i], std::min(255, alone[i] + other[i]) + 1) << "trial " << trial;
            if (alone[i] == 255 || other[i] == 255) {
                ASSERT_EQ(got[i], 255);
            }
        }
    }
}

} // namespace
} // namespace corvid
