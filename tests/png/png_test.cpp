#include "corvid/graphics/codecs/pngload.h"

#include "tests/png/pngoracle.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <random>
#include <string>

namespace {

using namespace pngtest;

corvid::DecodedImage decodeOrFail(const Bytes& file, int components) {
    corvid::DecodedImage image;
    std::string error;
    EXPECT_TRUE(corvid::decodePng(file.data(), file.size(), components, image, error)) << error;
    return image;
}

void expectSameAsLibpng(const Bytes& file) {
    const corvid::DecodedImage expected = decodeWithLibpng(file);
    const corvid::DecodedImage actual = decodeOrFail(file, 4);
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    ASSERT_EQ(actual.components, 4);
    ASSERT_EQ(actual.pixels.size(), expected.pixels.size());
    std::size_t firstDiff = 0;
    while (firstDiff < actual.pixels.size() &&
           actual.pixels[firstDiff] == expected.pixels[firstDiff])
        ++firstDiff;
    EXPECT_EQ(firstDiff, actual.pixels.size()) << "first differing byte";
}

std::string describe(int colourType, int depth, Pattern pattern, const Encoding& e) {
    return "type " + std::to_string(colourType) + " depth " + std::to_string(depth) + " pattern " +
           std::to_string(int(pattern)) + " filters " + std::to_string(e.filters) + " level " +
           std::to_string(e.level) + " strategy " + std::to_string(e.strategy) +
           (e.interlace ? " interlaced" : "");
}

// The product's pictures: 8-bit RGB and RGBA, every filter forced in turn and libpng's
// adaptive choice, across compression levels (0 gives stored blocks) and strategies
// (Z_FIXED gives fixed-Huffman blocks).
TEST(Png, MatchesLibpngForRgbAndRgba) {
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB,   PNG_FILTER_UP,
                           PNG_FILTER_AVG,  PNG_FILTER_PAETH, PNG_ALL_FILTERS};
    const Pattern patterns[] = {Pattern::Flat, Pattern::Gradient, Pattern::Noise, Pattern::Artwork};
    unsigned seed = 1;
    for (int colourType : {2, 6}) {
        for (Pattern pattern : patterns) {
            const Picture picture =
                makePicture(67 + int(seed % 5), 43, colourType, 8, pattern, seed);
            ++seed;
            for (int f : filters) {
                Encoding e;
                e.filters = f;
                SCOPED_TRACE(describe(colourType, 8, pattern, e));
                expectSameAsLibpng(encodeWithLibpng(picture, e));
            }
            for (int level : {0, 1, 9}) {
                for (int strategy :
                     {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
                    Encoding e;
                    e.level = level;
                    e.strategy = strategy;
                    SCOPED_TRACE(describe(colourType, 8, pattern, e));
                    expectSameAsLibpng(encodeWithLibpng(picture, e));
                }
            }
        }
    }
}

TEST(Png, MatchesLibpngForEditorSizedArtwork) {
    for (int colourType : {2, 6}) {
        const Picture picture = makePicture(763, 494, colourType, 8, Pattern::Artwork, 99);
        Encoding e;
        SCOPED_TRACE(describe(colourType, 8, Pattern::Artwork, e));
        expectSameAsLibpng(encodeWithLibpng(picture, e));
    }
}

TEST(Png, MatchesLibpngForOtherLayouts) {
    struct Layout {
        int colourType, depth;
    };
    const Layout layouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 16}, {3, 1},
                              {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 16}};
    unsigned seed = 50;
    for (const Layout& l : layouts) {
        for (bool interlace : {false, true}) {
            // Small odd sizes leave some interlace passes empty.
            for (int size : {1, 3, 13}) {
                const Picture picture =
                    makePicture(size + 2, size, l.colourType, l.depth, Pattern::Noise, seed++);
                Encoding e;
                e.interlace = interlace;
                SCOPED_TRACE(describe(l.colourType, l.depth, Pattern::Noise, e) + " size " +
                             std::to_string(size));
                expectSameAsLibpng(encodeWithLibpng(picture, e));
            }
        }
    }
}

TEST(Png, AppliesTransparencyChunks) {
    Picture grey = makePicture(31, 7, 0, 8, Pattern::Gradient, 3);
    grey.trns = {0, grey.rows[5]};
    Picture grey16 = makePicture(31, 7, 0, 16, Pattern::Gradient, 3);
    grey16.trns = {grey16.rows[10], grey16.rows[11]};
    Picture grey2 = makePicture(31, 7, 0, 2, Pattern::Noise, 3);
    grey2.trns = {0, 2};
    Picture rgb = makePicture(31, 7, 2, 8, Pattern::Flat, 4);
    rgb.trns = {0, rgb.rows[0], 0, rgb.rows[1], 0, rgb.rows[2]};
    Picture rgb16 = makePicture(31, 7, 2, 16, Pattern::Flat, 4);
    rgb16.trns = {rgb16.rows[0], rgb16.rows[1], rgb16.rows[2],
                  rgb16.rows[3], rgb16.rows[4], rgb16.rows[5]};
    Picture palette = makePicture(31, 7, 3, 4, Pattern::Noise, 5);
    palette.trns = {0, 128, 255}; // shorter than the palette: the rest stay opaque
    for (const Picture* p : {&grey, &grey16, &grey2, &rgb, &rgb16, &palette}) {
        for (bool interlace : {false, true}) {
            Encoding e;
            e.interlace = interlace;
            SCOPED_TRACE(describe(p->colourType, p->depth, Pattern::Noise, e));
            expectSameAsLibpng(encodeWithLibpng(*p, e));
        }
    }
    // A transparent key really produces alpha 0.
    const corvid::DecodedImage rgba = decodeOrFail(encodeWithLibpng(rgb, {}), 4);
    EXPECT_EQ(rgba.pixels[3], 0);
    EXPECT_EQ(decodeOrFail(encodeWithLibpng(rgb, {}), 0).components, 4);
}

// Every layout to every component count: grey from colour is (77 r + 150 g + 29 b) >> 8,
// a missing alpha is 255, grey repeats into r, g and b.
TEST(Png, ConvertsToRequestedComponents) {
    struct Layout {
        int colourType, depth;
        bool interlace;
    };
    const Layout layouts[] = {{0, 8, false}, {2, 8, false},  {4, 8, false}, {6, 8, false},
                              {6, 8, true},  {2, 16, false}, {3, 8, false}, {0, 4, false}};
    unsigned seed = 30;
    for (const Layout& l : layouts) {
        const Picture picture = makePicture(40, 9, l.colourType, l.depth, Pattern::Noise, seed++);
        Encoding e;
        e.interlace = l.interlace;
        const Bytes file = encodeWithLibpng(picture, e);
        const corvid::DecodedImage rgba = decodeWithLibpng(file);
        for (int components = 1; components <= 4; ++components) {
            SCOPED_TRACE(describe(l.colourType, l.depth, Pattern::Noise, e) + " components " +
                         std::to_string(components));
            const corvid::DecodedImage image = decodeOrFail(file, components);
            ASSERT_EQ(image.components, components);
            ASSERT_EQ(image.pixels.size(), std::size_t(40 * 9 * components));
            for (std::size_t i = 0; i < std::size_t(40 * 9); ++i) {
                const std::uint8_t* p = &rgba.pixels[4 * i];
                const std::uint8_t* q = &image.pixels[std::size_t(components) * i];
                const bool grey = l.colourType == 0 || l.colourType == 4;
                const int expectedGrey = grey ? p[0] : (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
                if (components <= 2) {
                    ASSERT_EQ(q[0], expectedGrey) << i;
                    if (components == 2) {
                        ASSERT_EQ(q[1], p[3]) << i;
                    }
                } else {
                    ASSERT_EQ(q[0], p[0]) << i;
                    ASSERT_EQ(q[1], p[1]) << i;
                    ASSERT_EQ(q[2], p[2]) << i;
                    if (components == 4) {
                        ASSERT_EQ(q[3], p[3]) << i;
                    }
                }
            }
        }
    }
    // A grey value survives the grey formula unchanged.
    Picture ramp = makePicture(256, 1, 2, 8, Pattern::Flat, 1);
    for (int x = 0; x < 256; ++x)
        for (int c = 0; c < 3; ++c) ramp.rows[std::size_t(3 * x + c)] = std::uint8_t(x);
    const corvid::DecodedImage fromRamp = decodeOrFail(encodeWithLibpng(ramp, {}), 1);
    for (int x = 0; x < 256; ++x) ASSERT_EQ(fromRamp.pixels[std::size_t(x)], x);
    EXPECT_EQ(decodeOrFail(encodeWithLibpng(ramp, {}), 0).components, 3);
}

TEST(Png, ReadsImageDataSplitAcrossManyChunks) {
    const Picture picture = makePicture(200, 50, 6, 8, Pattern::Noise, 12);
    Encoding e;
    e.idatSize = 97;
    expectSameAsLibpng(encodeWithLibpng(picture, e));
}

// Hand-built files for faults an encoder never produces.
Bytes rgbFile(const Bytes& scanlines, int width, int height, std::vector<Chunk> extra = {}) {
    std::vector<Chunk> chunks = {
        {"IHDR", headerBody(std::uint32_t(width), std::uint32_t(height), 8, 2)}};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    chunks.push_back({"IDAT", zlibCompress(scanlines)});
    chunks.push_back({"IEND", {}});
    return assemblePng(chunks);
}

std::string errorOf(const Bytes& file) {
    corvid::DecodedImage image;
    std::string error;
    EXPECT_FALSE(corvid::decodePng(file.data(), file.size(), 4, image, error));
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(Png, RejectsMalformedFiles) {
    const Bytes twoRows = {0, 1, 2, 3, 4, 5, 6, 2, 1, 1, 1, 1, 1, 1};
    ASSERT_EQ(decodeOrFail(rgbFile(twoRows, 2, 2), 3).pixels,
              (Bytes{1, 2, 3, 4, 5, 6, 2, 3, 4, 5, 6, 7}));

    Bytes badFilter = twoRows;
    badFilter[7] = 5;
    EXPECT_EQ(errorOf(rgbFile(badFilter, 2, 2)), "PNG row has an unknown filter type");
    EXPECT_EQ(errorOf(rgbFile(Bytes(twoRows.begin(), twoRows.end() - 1), 2, 2)),
              "PNG image data is too short");
    Bytes tooLong = twoRows;
    tooLong.push_back(0);
    EXPECT_NE(errorOf(rgbFile(tooLong, 2, 2)).find("corrupt"), std::string::npos);

    Bytes badCrc = rgbFile(twoRows, 2, 2);
    badCrc[40] ^= 1; // inside the image data
    EXPECT_EQ(errorOf(badCrc), "PNG chunk CRC mismatch");

    const Bytes good = rgbFile(twoRows, 2, 2);
    for (std::size_t n = 0; n < good.size(); ++n)
        errorOf(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)));

    EXPECT_EQ(errorOf(rgbFile(twoRows, 2, 2, {{"QQQQ", {}}})),
              "PNG file has an unknown critical chunk");
    decodeOrFail(rgbFile(twoRows, 2, 2, {{"tEXt", {'a', 0, 'b'}}}), 4); // ancillary: skipped

    // Palette image whose data indexes past its three-entry palette.
    const Bytes paletteFile = assemblePng({{"IHDR", headerBody(2, 1, 8, 3)},
                                           {"PLTE", Bytes(9, 7)},
                                           {"IDAT", zlibCompress({0, 2, 3})},
                                           {"IEND", {}}});
    EXPECT_EQ(errorOf(paletteFile), "PNG palette index outside the palette");
    EXPECT_EQ(
        errorOf(assemblePng(
            {{"IHDR", headerBody(2, 1, 8, 3)}, {"IDAT", zlibCompress({0, 0, 0})}, {"IEND", {}}})),
        "PNG palette image has no palette");
    EXPECT_EQ(errorOf(assemblePng({{"IHDR", headerBody(2, 1, 8, 5)}, {"IEND", {}}})),
              "PNG image has an invalid colour type");
    EXPECT_EQ(errorOf(assemblePng({{"IHDR", headerBody(2, 1, 4, 2)}, {"IEND", {}}})),
              "PNG image has an invalid bit depth for its colour type");
}

TEST(Png, RefusesHugeImagesBeforeAllocating) {
    const Bytes row = {0, 0, 0, 0};
    EXPECT_EQ(errorOf(rgbFile(row, 1 << 16, 1)), "PNG image is larger than allowed");
    EXPECT_EQ(errorOf(rgbFile(row, 1 << 15, 1 << 15)), "PNG image is larger than allowed");
    EXPECT_EQ(errorOf(rgbFile(row, 0, 1)), "PNG image has zero width or height");
    // Within the limits, but far more pixels than the data could ever inflate to.
    EXPECT_EQ(errorOf(rgbFile(row, 8000, 8000)), "PNG image data is too short for the image size");
}

} // namespace
