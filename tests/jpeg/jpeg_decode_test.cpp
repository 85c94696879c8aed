#include "corvid/graphics/codecs/jpegload.h"
#include "jpeg_oracle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using jpegtest::EncodeOptions;
using jpegtest::Picture;

corvid::DecodedImage decode(const std::vector<std::uint8_t>& file, int components) {
    corvid::DecodedImage image;
    std::string error;
    EXPECT_TRUE(corvid::decodeJpeg(file.data(), file.size(), components, image, error)) << error;
    return image;
}

int maxDifference(const corvid::DecodedImage& got, const Picture& want) {
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(got.components, want.components);
    if (got.pixels.size() != want.pixels.size()) return 256;
    int worst = 0;
    for (std::size_t i = 0; i < got.pixels.size(); ++i)
        worst = std::max(worst, std::abs(got.pixels[i] - want.pixels[i]));
    return worst;
}

struct Case {
    const char* name;
    int components;
    int hLuma, vLuma;
    bool progressive;
    int restartInterval;
};

// Our transform, upsampling and colour conversion follow the same integer arithmetic as
// the reference's "islow" transform, triangle upsampling and JFIF tables, so the
// pictures must agree exactly; any difference is a fault in one of those stages.
constexpr int kOracleBound = 0;

class JpegOracle : public testing::TestWithParam<Case> {};

TEST_P(JpegOracle, MatchesReferenceDecoder) {
    const Case& c = GetParam();
    const int sizes[][2] = {{1, 1}, {7, 5}, {17, 9}, {64, 48}, {101, 77}, {240, 130}};
    int worst = 0;
    unsigned seed = 1;
    for (const auto& size : sizes) {
        for (int quality : {50, 95}) {
            const Picture picture = jpegtest::mixedPicture(size[0], size[1], c.components, seed++);
            EncodeOptions options;
            options.quality = quality;
            options.hLuma = c.hLuma;
            options.vLuma = c.vLuma;
            options.progressive = c.progressive;
            options.restartInterval = c.restartInterval;
            options.optimize = quality == 95;
            const auto file = jpegtest::encode(picture, options);
            const int out = c.components == 1 ? 1 : 3;
            const int diff = maxDifference(decode(file, out), jpegtest::referenceDecode(file, out));
            EXPECT_LE(diff, kOracleBound) << size[0] << "x" << size[1] << " q" << quality;
            worst = std::max(worst, diff);
        }
    }
    RecordProperty("max_difference", worst);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, JpegOracle,
    testing::Values(Case{"grey", 1, 1, 1, false, 0}, Case{"grey_progressive", 1, 1, 1, true, 0},
                    Case{"s444", 3, 1, 1, false, 0}, Case{"s422", 3, 2, 1, false, 0},
                    Case{"s420", 3, 2, 2, false, 0}, Case{"s440", 3, 1, 2, false, 0},
                    Case{"s411", 3, 4, 1, false, 0}, Case{"s_h1v4", 3, 1, 4, false, 0},
                    Case{"s_h4v2", 3, 4, 2, true, 0}, Case{"s_h3v1", 3, 3, 1, false, 0},
                    Case{"s444_restart", 3, 1, 1, false, 3},
                    Case{"s420_restart", 3, 2, 2, false, 1},
                    Case{"s444_progressive", 3, 1, 1, true, 0},
                    Case{"s422_progressive", 3, 2, 1, true, 0},
                    Case{"s420_progressive", 3, 2, 2, true, 0},
                    Case{"s420_progressive_restart", 3, 2, 2, true, 2},
                    Case{"grey_restart", 1, 1, 1, false, 5}),
    [](const testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

TEST(JpegDecode, LargeDetailedPictureMatchesReference) {
    // The size and kind of the editor's background: lots of coefficients per block, so
    // long Huffman codes and the slow decoding path are exercised.
    const Picture picture = jpegtest::detailedPicture(763, 494, 3);
    for (bool progressive : {false, true}) {
        EncodeOptions options;
        options.quality = 97;
        options.progressive = progressive;
        const auto file = jpegtest::encode(picture, options);
        EXPECT_LE(maxDifference(decode(file, 3), jpegtest::referenceDecode(file, 3)), kOracleBound);
    }
}

TEST(JpegDecode, CoefficientsAsLongAsCodesGetMatchReference) {
    // Heavy grain at quality 100: unit quantisers leave magnitudes of ten and eleven
    // bits behind codes of up to sixteen, so nearly every coefficient nearly drains
    // the bit buffer between refills. Restart intervals empty it mid-scan as well.
    const Picture picture = jpegtest::detailedPicture(131, 67, 5, 90.0);
    for (int restartInterval : {0, 1, 7}) {
        EncodeOptions options;
        options.quality = 100;
        options.restartInterval = restartInterval;
        options.optimize = restartInterval == 7;
        const auto file = jpegtest::encode(picture, options);
        EXPECT_LE(maxDifference(decode(file, 3), jpegtest::referenceDecode(file, 3)), kOracleBound)
            << "restart interval " << restartInterval;
        // Cut anywhere inside the coded data, the same file must fail, not misdecode.
        for (std::size_t cut = file.size() / 2; cut < file.size() - 2; cut += file.size() / 7) {
            corvid::DecodedImage image;
            std::string error;
            EXPECT_FALSE(corvid::decodeJpeg(file.data(), cut, 3, image, error)) << cut;
            EXPECT_TRUE(image.pixels.empty());
        }
    }
}

TEST(JpegDecode, SeparateScansAndRgbStorageMatchReference) {
    // One scan per component needs whole planes rather than streaming; RGB storage
    // (announced by an Adobe marker) skips the colour conversion.
    const Picture picture = jpegtest::mixedPicture(83, 45, 3, 12);
    for (int sampling : {1, 2}) {
        for (bool rgbStored : {false, true}) {
            EncodeOptions options;
            options.hLuma = options.vLuma = sampling;
            options.separateScans = !rgbStored;
            options.rgbStored = rgbStored;
            options.restartInterval = sampling == 2 ? 4 : 0;
            const auto file = jpegtest::encode(picture, options);
            int scans = 0;
            for (std::size_t i = 0; i + 1 < file.size(); ++i)
                scans += file[i] == 0xFF && file[i + 1] == 0xDA;
            EXPECT_EQ(scans, rgbStored ? 1 : 3);
            EXPECT_EQ(maxDifference(decode(file, 3), jpegtest::referenceDecode(file, 3)), 0)
                << sampling << rgbStored;
        }
    }
}

TEST(JpegDecode, RequestedComponentCounts) {
    const Picture picture = jpegtest::mixedPicture(45, 31, 3, 9);
    EncodeOptions options;
    options.hLuma = options.vLuma = 2;
    const auto file = jpegtest::encode(picture, options);
    const auto rgb = decode(file, 3);
    const auto rgba = decode(file, 4);
    const auto grey = decode(file, 1);
    const auto greyAlpha = decode(file, 2);
    ASSERT_EQ(rgba.pixels.size(), rgb.pixels.size() / 3 * 4);
    ASSERT_EQ(grey.pixels.size(), rgb.pixels.size() / 3);
    for (std::size_t i = 0; i < grey.pixels.size(); ++i) {
        const std::uint8_t* p = &rgb.pixels[3 * i];
        for (int c = 0; c < 3; ++c) EXPECT_EQ(rgba.pixels[4 * i + c], p[c]);
        EXPECT_EQ(rgba.pixels[4 * i + 3], 255);
        const int want = (77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8;
        EXPECT_EQ(grey.pixels[i], want);
        EXPECT_EQ(greyAlpha.pixels[2 * i], want);
        EXPECT_EQ(greyAlpha.pixels[2 * i + 1], 255);
    }
}

TEST(JpegDecode, GreyPictureExpandsToColour) {
    const Picture picture = jpegtest::mixedPicture(33, 20, 1, 4);
    const auto file = jpegtest::encode(picture, EncodeOptions{});
    const auto grey = decode(file, 1);
    const auto rgba = decode(file, 4);
    ASSERT_EQ(rgba.pixels.size(), grey.pixels.size() * 4);
    for (std::size_t i = 0; i < grey.pixels.size(); ++i) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(rgba.pixels[4 * i + c], grey.pixels[i]);
        EXPECT_EQ(rgba.pixels[4 * i + 3], 255);
    }
}

TEST(JpegDecode, StuffedBytesFillAndTrailingDataAreTolerated) {
    // Bright noise makes 0xFF bytes in the coded data; extra fill bytes before a marker
    // and junk after the end marker occur in real files.
    const Picture picture = jpegtest::mixedPicture(64, 64, 3, 5);
    auto file = jpegtest::encode(picture, EncodeOptions{});
    const auto want = decode(file, 3);
    ASSERT_EQ(file[file.size() - 2], 0xFF);
    file.insert(file.end() - 2, {0xFF, 0xFF, 0xFF});
    file.insert(file.end(), {0x12, 0x34, 0xFF});
    EXPECT_EQ(decode(file, 3).pixels, want.pixels);
}

} // namespace
