#include "corvid/graphics/decode.h"

#include "tests/png/pngoracle.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

namespace {

using namespace pngtest;

Picture flatPicture(int width, int height, int colourType, std::vector<std::uint8_t> pixel) {
    Picture p;
    p.width = width;
    p.height = height;
    p.colourType = colourType;
    p.depth = 8;
    for (int i = 0; i < width * height; ++i)
        p.rows.insert(p.rows.end(), pixel.begin(), pixel.end());
    return p;
}

Bytes encodeJpeg(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row;
    for (int x = 0; x < width; ++x) row.insert(row.end(), {r, g, b});
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

TEST(Decode, AlphaComesFromTheGreyOfTheAlphaPictureNotItsAlpha) {
    // Colour: RGB noise. Alpha: RGBA noise whose own alpha must play no part.
    const Picture colour = makePicture(29, 11, 2, 8, Pattern::Noise, 1);
    const Picture alpha = makePicture(29, 11, 6, 8, Pattern::Noise, 2);
    const Bytes colourFile = encodeWithLibpng(colour, {});
    const Bytes alphaFile = encodeWithLibpng(alpha, {});
    const auto image = corvid::decodeWithAlpha(colourFile, alphaFile);
    ASSERT_EQ(image->width(), 29);
    ASSERT_EQ(image->height(), 11);
    for (int i = 0; i < 29 * 11; ++i) {
        const std::uint8_t* c = &colour.rows[3 * std::size_t(i)];
        const std::uint8_t* a = &alpha.rows[4 * std::size_t(i)];
        const corvid::RGBA p = image->data()[i];
        ASSERT_EQ(p.r, c[0]);
        ASSERT_EQ(p.g, c[1]);
        ASSERT_EQ(p.b, c[2]);
        ASSERT_EQ(p.a, (77 * a[0] + 150 * a[1] + 29 * a[2]) >> 8) << i;
    }
    // White with alpha 0 still gives full alpha.
    const Bytes white = encodeWithLibpng(flatPicture(3, 2, 6, {255, 255, 255, 0}), {});
    const Bytes small = encodeWithLibpng(flatPicture(3, 2, 2, {1, 2, 3}), {});
    EXPECT_EQ(corvid::decodeWithAlpha(small, white)->pixelAt(2, 1), (corvid::RGBA{1, 2, 3, 255}));
}

TEST(Decode, DepthIsTheScaledMeanOfTheChannels) {
    for (unsigned sum = 0; sum <= 765; ++sum) {
        const unsigned r = std::min(sum, 255u), g = std::min(sum - r, 255u), b = sum - r - g;
        ASSERT_EQ(corvid::depthFromRGB(r, g, b), sum * 257 / 3) << sum;
    }
}

// Every channel sum from 0 to 765 somewhere in the depth picture, alpha varying too.
TEST(Decode, TheDepthMapFollowsEveryPixelOfItsPicture) {
    Picture p = flatPicture(0, 0, 6, {});
    p.width = 48;
    p.height = 16;
    p.rows.clear();
    for (unsigned sum = 0; sum < 768; ++sum) {
        const unsigned s = std::min(sum, 765u);
        const unsigned g = std::min(s / 3 + sum % 2, 255u), r = std::min(s - g, 255u);
        p.rows.insert(p.rows.end(), {std::uint8_t(r), std::uint8_t(g), std::uint8_t(s - r - g),
                                     std::uint8_t(sum * 7)});
    }
    const Bytes depth = encodeWithLibpng(p, {});
    const Bytes colour = encodeJpeg(48, 16, 1, 2, 3);
    const Bytes grey = encodeWithLibpng(flatPicture(48, 16, 0, {9}), {});
    const Bytes sky = encodeJpeg(8, 8, 0, 0, 255);
    const corvid::BackgroundMaps maps =
        corvid::loadBackgroundMaps(colour, grey, colour, grey, depth, sky, nullptr);
    ASSERT_TRUE(maps.depth);
    for (int i = 0; i < 768; ++i) {
        const std::uint8_t* px = &p.rows[std::size_t(i) * 4];
        ASSERT_EQ(maps.depth->pixelAt(i % 48, i / 48).l, corvid::depthFromRGB(px[0], px[1], px[2]))
            << i;
    }
}

// Each map from its own pictures, whether they decode in turn or on a pool's workers.
TEST(Decode, LoadsTheBackgroundMaps) {
    corvid::ThreadPool pool(2);
    for (corvid::ThreadPool* maybePool : {static_cast<corvid::ThreadPool*>(nullptr), &pool}) {
        SCOPED_TRACE(maybePool ? "pool" : "in turn");
        const Bytes colour = encodeJpeg(16, 8, 200, 100, 50);
        const Bytes emissive = encodeWithLibpng(flatPicture(16, 8, 2, {10, 10, 10}), {});
        const Bytes material = encodeWithLibpng(flatPicture(16, 8, 6, {1, 2, 3, 4}), {});
        const Bytes physical = encodeWithLibpng(flatPicture(16, 8, 6, {90, 90, 90, 0}), {});
        const Bytes depth = encodeWithLibpng(flatPicture(16, 8, 6, {128, 128, 128, 7}), {});
        const Bytes sky = encodeJpeg(24, 12, 0, 0, 255);
        const corvid::BackgroundMaps maps =
            corvid::loadBackgroundMaps(colour, emissive, material, physical, depth, sky, maybePool);
        ASSERT_TRUE(maps.diffuse && maps.material && maps.depth && maps.skybox);
        EXPECT_EQ(maps.diffuse->width(), 16);
        const corvid::RGBA d = maps.diffuse->pixelAt(5, 5);
        EXPECT_NEAR(d.r, 200, 3);
        EXPECT_NEAR(d.g, 100, 3);
        EXPECT_NEAR(d.b, 50, 3);
        EXPECT_EQ(d.a, 10);
        EXPECT_EQ(maps.material->pixelAt(15, 7), (corvid::RGBA{1, 2, 3, 90}));
        ASSERT_EQ(maps.depth->width(), 16);
        ASSERT_EQ(maps.depth->height(), 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_EQ(maps.depth->pixelAt(x, y).l, 32896);
        EXPECT_EQ(maps.skybox->width(), 24);
        EXPECT_EQ(maps.skybox->height(), 12);
        EXPECT_EQ(maps.skybox->pixelAt(0, 0).a, 255);
        EXPECT_GT(maps.skybox->pixelAt(0, 0).b, 250);
    }
}

TEST(DecodeDeathTest, FailuresStopTheProgramWithAMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const Bytes png = encodeWithLibpng(flatPicture(4, 4, 2, {1, 2, 3}), {});
    const Bytes otherSize = encodeWithLibpng(flatPicture(4, 5, 2, {1, 2, 3}), {});
    EXPECT_DEATH(corvid::decodeImage(Bytes{0x89}, 4), "fatal error: .*too short");
    EXPECT_DEATH(corvid::decodeImage(Bytes{'G', 'I', 'F', '8'}, 4), "neither PNG nor JPEG");
    Bytes corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0x10;
    EXPECT_DEATH(corvid::decodeToRGBA(corrupt), "fatal error: cannot decode");
    EXPECT_DEATH(corvid::decodeWithAlpha(png, otherSize), "differ in size");
    EXPECT_DEATH(corvid::decodeToRGBA(Bytes{0xFF, 0xD8, 0xFF}), "fatal error");
}

} // namespace
