// The rasteriser against its plain reference, byte for byte, with the vector
// bodies of every instruction set this processor runs: on every printable ASCII
// glyph of a real font at text sizes and every eighth-pixel shift, on random
// outlines with curves, crossings and parts outside the bitmap, and on outlines
// long enough to fill several batches of lines.

#include "corvid/graphics/text/font.h"
#include "tests/font/fontdata.h"
#include "tests/font/reference_rasterizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace corvid {
namespace {

bool sameImage(const OwnedImage<L8>& a, const OwnedImage<L8>& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.asView().row(y), b.asView().row(y), std::size_t(a.width())) != 0)
            return false;
    return true;
}

TEST(RasterizerMatch, EveryAsciiGlyphAtEverySizeAndShift) {
    const std::vector<std::uint8_t> data = testfont::readDejaVuSans();
    Font font(data);
    const TrueTypeFace& face = font.face();
    fonttest::ReferenceRasterizer reference;
    const std::vector<Isa> isas = supportedIsas();
    std::vector<GlyphRasterizer> fast(isas.begin(), isas.end());
    GlyphOutline outline;
    int compared = 0;
    for (int size = 9; size <= 24; ++size) {
        const float scale = font.scaleForSize(float(size));
        for (std::uint32_t c = 33; c < 127; ++c) {
            const int glyph = face.glyphIndex(c);
            GlyphBounds bounds;
            ASSERT_TRUE(face.glyphBounds(glyph, bounds));
            ASSERT_TRUE(face.loadOutline(glyph, outline));
            for (int sy = 0; sy <= 8; ++sy) {
                for (int sx = 0; sx <= 8; ++sx) {
                    const float shiftX = float(sx) / 8.0f, shiftY = float(sy) / 8.0f;
                    const IntRect box = glyphPixelBox(bounds, scale, shiftX, shiftY);
                    OwnedImage<L8> want;
                    want.size(box.width(), box.height());
                    reference.rasterize(outline, scale, shiftX - float(box.minX),
                                        shiftY - float(box.minY), want.asView());
                    for (std::size_t i = 0; i < fast.size(); ++i) {
                        OwnedImage<L8> got;
                        got.size(box.width(), box.height());
                        fast[i].rasterize(outline, scale, shiftX - float(box.minX),
                                          shiftY - float(box.minY), got.asView());
                        ASSERT_TRUE(sameImage(got, want))
                            << "'" << char(c) << "' at " << size << " px, shift " << sx << "/8, "
                            << sy << "/8, " << isaName(isas[i]);
                    }
                    // The font's own rasteriser, whose set is the best one.
                    ASSERT_TRUE(sameImage(font.rasterizeGlyph({c, scale, shiftX, shiftY}), want));
                    ++compared;
                }
            }
        }
    }
    EXPECT_EQ(compared, 16 * 94 * 81);
}

TEST(RasterizerMatch, RandomOutlinesWithCurvesAndCrossings) {
    for (Isa isa : supportedIsas()) {
        SCOPED_TRACE(isaName(isa));
        std::mt19937 random(98765);
        GlyphRasterizer fast(isa);
        fonttest::ReferenceRasterizer reference;
        for (int trial = 0; trial < 3000; ++trial) {
            // Small and tall bitmaps (15 and 5 sub-scanlines), vertices well outside.
            const int w = 1 + int(random() % 30), h = 1 + int(random() % 30);
            std::uniform_real_distribution<float> x(-3.0f, float(w) + 3.0f),
                y(-3.0f, float(h) + 3.0f);
            GlyphOutline outline;
            const int contours = 1 + int(random() % 4);
            for (int c = 0; c < contours; ++c) {
                const int points = 1 + int(random() % 12);
                for (int i = 0; i < points; ++i) {
                    GlyphPoint p{x(random), y(random), random() % 3 != 0};
                    // Shared coordinates give vertical and horizontal edges and ties.
                    if (i > 0 && random() % 5 == 0) p.x = outline.points.back().x;
                    if (i > 0 && random() % 5 == 0) p.y = outline.points.back().y;
                    outline.points.push_back(p);
                }
                outline.contourEnds.push_back(std::uint32_t(outline.points.size()));
            }
            // Scales and offsets that put points between sample rows and off the grid.
            const float scale = trial % 2 ? 1.0f : 0.37f + float(random() % 100) / 50.0f;
            const float dx = float(random() % 8) / 8.0f, dy = float(random() % 8) / 8.0f;
            OwnedImage<L8> got, want;
            got.size(w, h);
            want.size(w, h);
            fast.rasterize(outline, scale, dx, float(h) + dy, got.asView());
            reference.rasterize(outline, scale, dx, float(h) + dy, want.asView());
            ASSERT_TRUE(sameImage(got, want)) << "trial " << trial;
        }
    }
}

TEST(RasterizerMatch, ExtremeCoordinates) {
    // Points near the float range make edges whose differences overflow, one of
    // them dividing infinity by infinity; infinities and NaN points are dropped.
    const float big = 3e38f, inf = std::numeric_limits<float>::infinity();
    const std::vector<std::vector<GlyphPoint>> contours = {
        {{-big, -big}, {big, big}, {0, 5}},
        {{-big, 0}, {big, 0}, {0, 10}},
        {{0, -big}, {2, big}, {4, 0}},
        {{0, 0}, {inf, 4}, {4, 8}, {2, std::nanf("")}},
        {{1, 1, false}, {big, -big, false}, {3, 7}},
    };
    for (Isa isa : supportedIsas()) {
        GlyphRasterizer fast(isa);
        fonttest::ReferenceRasterizer reference;
        for (std::size_t i = 0; i < contours.size(); ++i) {
            GlyphOutline outline;
            outline.points = contours[i];
            outline.contourEnds = {std::uint32_t(outline.points.size())};
            for (int h : {6, 12}) {
                OwnedImage<L8> got, want;
                got.size(8, h);
                want.size(8, h);
                fast.rasterize(outline, 1.0f, 0.0f, float(h), got.asView());
                reference.rasterize(outline, 1.0f, 0.0f, float(h), want.asView());
                EXPECT_TRUE(sameImage(got, want))
                    << "contour " << i << ", height " << h << ", " << isaName(isa);
            }
        }
    }
}

TEST(RasterizerMatch, OutlinesOfManyLinesFillSeveralBatches) {
    // Lines are set up in batches, the last one padded to whole registers: line
    // counts around the batch size and its multiples, none a whole number of
    // registers, with one rasteriser per set reused across glyphs so that lines
    // left from a longer outline would show.
    std::mt19937 random(4242);
    const std::vector<Isa> isas = supportedIsas();
    std::vector<GlyphRasterizer> fast(isas.begin(), isas.end());
    fonttest::ReferenceRasterizer reference;
    for (int lines : {1000, 3, 255, 256, 257, 263, 513, 7, 770}) {
        const int w = 24, h = 11 + lines % 5;
        std::uniform_real_distribution<float> x(-1.0f, float(w) + 1.0f), y(-1.0f, float(h) + 1.0f);
        GlyphOutline outline;
        // On-curve points only: one line each, the last closing the contour.
        for (int i = 0; i < lines; ++i) outline.points.push_back({x(random), y(random), true});
        outline.contourEnds = {std::uint32_t(lines)};
        OwnedImage<L8> want;
        want.size(w, h);
        reference.rasterize(outline, 1.0f, 0.0f, float(h), want.asView());
        for (std::size_t i = 0; i < fast.size(); ++i) {
            OwnedImage<L8> got;
            got.size(w, h);
            fast[i].rasterize(outline, 1.0f, 0.0f, float(h), got.asView());
            EXPECT_TRUE(sameImage(got, want)) << lines << " lines, " << isaName(isas[i]);
        }
    }
}

} // namespace
} // namespace corvid
