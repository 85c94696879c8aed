// UTF-8 decoding, layout and text drawing with the DejaVu Sans font.

#include "corvid/graphics/text/font.h"
#include "corvid/graphics/text/utf8.h"
#include "tests/font/fontdata.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

namespace corvid {
namespace {

std::vector<std::uint32_t> decodeAll(std::string_view text) {
    std::vector<std::uint32_t> out;
    for (std::size_t pos = 0; pos < text.size();) out.push_back(decodeUtf8(text, pos));
    return out;
}

constexpr std::uint32_t bad = replacementCharacter;

TEST(Utf8, WellFormedSequencesOfEveryLength) {
    EXPECT_EQ(decodeAll("A\x7F"), (std::vector<std::uint32_t>{'A', 0x7F}));
    EXPECT_EQ(decodeAll("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"),
              (std::vector<std::uint32_t>{0xE9, 0x20AC, 0x1F600, 0x10FFFF}));
    EXPECT_EQ(decodeAll(std::string_view("\0x", 2)), (std::vector<std::uint32_t>{0, 'x'}));
}

TEST(Utf8, MalformedSequencesBecomeReplacementCharacters) {
    // Stray continuation bytes and bytes that never start a sequence.
    EXPECT_EQ(decodeAll("\x80\xBF"
                        "a\xF8\xFF"),
              (std::vector<std::uint32_t>{bad, bad, 'a', bad, bad}));
    // Cut short at the end of the text, or by a byte that cannot continue: the
    // next character is kept.
    EXPECT_EQ(decodeAll("a\xE2\x82"), (std::vector<std::uint32_t>{'a', bad}));
    EXPECT_EQ(decodeAll("\xE2\x82"
                        "b\xC3"
                        "c"),
              (std::vector<std::uint32_t>{bad, 'b', bad, 'c'}));
    EXPECT_EQ(decodeAll("\xF0\x9F\xC3\xA9"), (std::vector<std::uint32_t>{bad, 0xE9}));
    // Overlong forms, surrogates and values past U+10FFFF: one replacement each.
    EXPECT_EQ(decodeAll("\xC0\x80\xC1\xBF\xE0\x80\x80\xF0\x8F\xBF\xBF"),
              (std::vector<std::uint32_t>{bad, bad, bad, bad}));
    EXPECT_EQ(decodeAll("\xED\xA0\x80\xED\xBF\xBF\xED\x9F\xBF"),
              (std::vector<std::uint32_t>{bad, bad, 0xD7FF}));
    EXPECT_EQ(decodeAll("\xF4\x90\x80\x80\xF7\xBF\xBF\xBF"),
              (std::vector<std::uint32_t>{bad, bad}));
}

class TextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data_ = new std::vector<std::uint8_t>(testfont::readDejaVuSans());
    }
    static void TearDownTestSuite() { delete data_; }

    static OwnedImage<RGBA> canvas(int w, int h, RGBA fill = {10, 20, 30, 40}) {
        OwnedImage<RGBA> image(w, h);
        image.fill(fill);
        return image;
    }
    static std::vector<RGBA> pixels(const OwnedImage<RGBA>& image) {
        return {image.data(), image.data() + image.numPixels()};
    }

    static inline std::vector<std::uint8_t>* data_ = nullptr;
    static constexpr RGBA ink{250, 200, 100, 222};
};

TEST_F(TextTest, EmptyTextMeasuresEmptyAndDrawsNothing) {
    Font font(*data_);
    EXPECT_EQ(font.textBounds("", 13, 0), IntRect{});
    EXPECT_TRUE(font.textBounds("   ", 13, 0).isEmpty()) << "spaces have no outline";
    OwnedImage<RGBA> image = canvas(20, 20);
    const std::vector<RGBA> before = pixels(image);
    drawText(image.asView(), font, "", 13, 0, ink, 5, 15, alignCentre, alignCentre);
    EXPECT_EQ(pixels(image), before);
}

TEST_F(TextTest, LayoutAppliesKerningSpacingAndEighthPixelShifts) {
    Font font(*data_);
    const float size = 20, scale = font.scaleForSize(size);
    EXPECT_FLOAT_EQ(scale, 20.0f / float(font.ascent() - font.descent()));
    const TrueTypeFace& face = font.face();
    const int a = face.glyphIndex('A'), v = face.glyphIndex('V');
    ASSERT_LT(face.kerning(a, v), 0);

    struct Placed {
        IntRect box;
        std::uint32_t codePoint;
        int index;
        float shiftX, shiftY;
    };
    auto layout = [&](std::string_view text, float spacing, float x, float y) {
        std::vector<Placed> out;
        font.layoutGlyphs(text, size, spacing, x, y,
                          [&](const IntRect& box, std::uint32_t cp, int index, float s,
                              float shiftX, float shiftY) {
                              EXPECT_EQ(s, scale);
                              out.push_back({box, cp, index, shiftX, shiftY});
                          });
        return out;
    };

    const float x0 = 3.3f, y0 = 10.95f;
    std::vector<Placed> av = layout("AV", 1.5f, x0, y0);
    ASSERT_EQ(av.size(), 2u);
    EXPECT_EQ(av[1].codePoint, 'V');
    EXPECT_EQ(av[1].index, 1);
    // Pen for V: x0 + advance(A) + kerning(A, V), both scaled, plus the spacing.
    const float penV =
        x0 + float(face.advanceWidth(a)) * scale + 1.5f + float(face.kerning(a, v)) * scale;
    const float floorV = std::floor(penV);
    EXPECT_FLOAT_EQ(av[1].shiftX, std::round((penV - floorV) * 8) / 8);
    GlyphBounds vb;
    ASSERT_TRUE(face.glyphBounds(v, vb));
    EXPECT_EQ(av[1].box, glyphPixelBox(vb, scale, av[1].shiftX, av[1].shiftY)
                             .translated(int(floorV), int(std::floor(y0))));
    EXPECT_FLOAT_EQ(av[0].shiftX, 0.25f); // 0.3 is nearest to 2/8
    EXPECT_FLOAT_EQ(av[0].shiftY, 1.0f);  // 0.95 rounds up to 8/8, not to the next pixel

    // Code points missing from the font lay out as glyph 0; malformed bytes too.
    std::vector<Placed> missing = layout("\xEE\x80\x80\xFF", 0, 0, 0);
    ASSERT_EQ(missing.size(), 2u);
    GlyphBounds notdef;
    ASSERT_TRUE(face.glyphBounds(0, notdef));
    EXPECT_EQ(missing[0].box, glyphPixelBox(notdef, scale, 0, 0));
    EXPECT_EQ(missing[1].codePoint, replacementCharacter);
}

TEST_F(TextTest, BlendsCoverageAndWritesTextAlphaOverEveryGlyphPixel) {
    Font font(*data_);
    const float size = 24;
    OwnedImage<RGBA> image = canvas(40, 40);
    drawText(image.asView(), font, "O", size, 0, ink, 8, 30, alignOrigin, alignOrigin);

    // Expected from the cached coverage and the blending rule.
    IntRect box;
    GlyphKey key;
    font.layoutGlyphs("O", size, 0, 0, 0,
                      [&](const IntRect& b, std::uint32_t cp, int, float s, float sx, float sy) {
                          box = b.translated(8, 30);
                          key = {cp, s, sx, sy};
                      });
    const ImageView<const L8> coverage = font.glyphCoverage(key);
    ASSERT_EQ(coverage.width(), box.width());
    ASSERT_EQ(coverage.height(), box.height());
    int zeroInside = 0, full = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) {
            const RGBA got = image.pixelAt(x, y);
            if (!box.contains(x, y)) {
                EXPECT_EQ(got, (RGBA{10, 20, 30, 40})) << x << "," << y;
                continue;
            }
            const unsigned c = coverage.at(x - box.minX, y - box.minY).l;
            const RGBA want{std::uint8_t((c * 250 + (255 - c) * 10 + 128) >> 8),
                            std::uint8_t((c * 200 + (255 - c) * 20 + 128) >> 8),
                            std::uint8_t((c * 100 + (255 - c) * 30 + 128) >> 8), 222};
            EXPECT_EQ(got, want) << x << "," << y;
            zeroInside += c == 0;
            full += c == 255;
        }
    }
    // The hole of the O and the box corners carry no coverage but take the alpha.
    EXPECT_GT(zeroInside, 20);
    EXPECT_GT(full, 10);
}

TEST_F(TextTest, TextIsClippedToTheViewAndItsClipRectangle) {
    Font font(*data_);
    const std::string text = "Clip me, W\xC3\xA9!";
    // Reference: the text drawn whole on a big canvas.
    OwnedImage<RGBA> whole = canvas(200, 60);
    drawText(whole.asView(), font, text, 18, 0.5f, ink, 60.4f, 35.2f, alignOrigin, alignOrigin);

    // The same text on a smaller target that cuts it on the left and bottom.
    OwnedImage<RGBA> part = canvas(80, 30);
    drawText(part.asView(), font, text, 18, 0.5f, ink, 60.4f - 70, 35.2f - 15, alignOrigin,
             alignOrigin);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(part.pixelAt(x, y), whole.pixelAt(x + 70, y + 15)) << x << "," << y;

    // A clip rectangle limits drawing to its pixels and leaves the rest alone.
    OwnedImage<RGBA> clipped = canvas(200, 60);
    const IntRect clip{70, 20, 120, 33};
    drawText(clipped.asView().withClip(clip), font, text, 18, 0.5f, ink, 60.4f, 35.2f, alignOrigin,
             alignOrigin);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            const RGBA want = clip.contains(x, y) ? whole.pixelAt(x, y) : RGBA{10, 20, 30, 40};
            ASSERT_EQ(clipped.pixelAt(x, y), want) << x << "," << y;
        }

    // Entirely outside: nothing happens, at any distance.
    OwnedImage<RGBA> away = canvas(20, 20);
    const std::vector<RGBA> before = pixels(away);
    drawText(away.asView(), font, text, 18, 0, ink, -500, 10, alignOrigin, alignOrigin);
    drawText(away.asView(), font, text, 18, 0, ink, 5, 1e9f, alignOrigin, alignOrigin);
    drawText(away.asView(), font, text, 18, 0, ink, -3e38f, 10, alignCentre, alignCentre);
    EXPECT_EQ(pixels(away), before);
}

TEST_F(TextTest, CentringUsesTheMeasuredBoxAndOnlyEighthPixelPositions) {
    Font font(*data_);
    const std::string text = "Gain 3.5 dB";
    const IntRect bounds = font.textBounds(text, 13, 0);
    ASSERT_FALSE(bounds.isEmpty());

    OwnedImage<RGBA> centred = canvas(120, 40);
    drawText(centred.asView(), font, text, 13, 0, ink, 60, 20, alignCentre, alignCentre);
    OwnedImage<RGBA> manual = canvas(120, 40);
    drawText(manual.asView(), font, text, 13, 0, ink,
             60.0f - float((bounds.minX + bounds.maxX) / 2),
             20.0f - float((bounds.minY + bounds.maxY) / 2), alignOrigin, alignOrigin);
    EXPECT_EQ(pixels(centred), pixels(manual));

    // Positions that round to the same eighth of a pixel draw the same pixels.
    OwnedImage<RGBA> glyph = canvas(40, 40);
    drawText(glyph.asView(), font, "8", 13, 0, ink, 20, 20, alignCentre, alignCentre);
    for (float offset : {0.01f, 0.05f}) {
        OwnedImage<RGBA> nudged = canvas(40, 40);
        drawText(nudged.asView(), font, "8", 13, 0, ink, 20 + offset, 20 + offset, alignCentre,
                 alignCentre);
        EXPECT_TRUE(pixels(nudged) == pixels(glyph)) << offset;
    }
}

TEST_F(TextTest, GlyphCacheKeepsOneBitmapPerKey) {
    Font font(*data_);
    const float scale = font.scaleForSize(13);
    const ImageView<const L8> first = font.glyphCoverage({'g', scale, 0.25f, 0});
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(font.glyphCoverage({'g', scale, 0.25f, 0}).pixels(), first.pixels());
    EXPECT_NE(font.glyphCoverage({'g', scale, 0.375f, 0}).pixels(), first.pixels());
    EXPECT_TRUE(font.glyphCoverage({' ', scale, 0, 0}).isEmpty());
    EXPECT_TRUE(font.glyphCoverage({'g', std::nanf(""), 0, 0}).isEmpty());
    EXPECT_TRUE(font.glyphCoverage({'g', -1, 0, 0}).isEmpty());
    EXPECT_TRUE(font.glyphCoverage({'g', 1e30f, 0, 0}).isEmpty()) << "too large to rasterise";
}

TEST_F(TextTest, ConcurrentDrawingMatchesSerialDrawing) {
    Font font(*data_);
    const std::vector<std::string> texts = {"Left 12 %", "Right -3.0 dB", "Width 140 %",
                                            "\xC3\x85ngstr\xC3\xB6m"};
    std::vector<OwnedImage<RGBA>> serial, parallel;
    for (const std::string& t : texts) {
        serial.push_back(canvas(100, 30));
        drawText(serial.back().asView(), font, t, 11.5f, 0.25f, ink, 50.3f, 15.6f, alignCentre,
                 alignCentre);
        parallel.push_back(canvas(100, 30));
    }
    Font fresh(*data_);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < texts.size(); ++i)
        threads.emplace_back([&, i] {
            for (int repeat = 0; repeat < 20; ++repeat) {
                parallel[i].fill({10, 20, 30, 40});
                drawText(parallel[i].asView(), fresh, texts[i], 11.5f, 0.25f, ink, 50.3f, 15.6f,
                         alignCentre, alignCentre);
            }
        });
    for (std::thread& t : threads) t.join();
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(pixels(parallel[i]), pixels(serial[i])) << texts[i];
}

} // namespace
} // namespace corvid
