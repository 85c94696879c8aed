#include "corvid/graphics/codecs/jpegload.h"
#include "jpeg_oracle.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes sampleFile(bool progressive = false, int restartInterval = 0) {
    jpegtest::EncodeOptions options;
    options.hLuma = options.vLuma = 2;
    options.progressive = progressive;
    options.restartInterval = restartInterval;
    return jpegtest::encode(jpegtest::mixedPicture(40, 24, 3, 2), options);
}

// Offset of the first marker `code` among the header segments (before the first scan).
std::size_t findMarker(const Bytes& file, std::uint8_t code) {
    std::size_t pos = 2;
    while (pos + 4 <= file.size() && file[pos] == 0xFF) {
        if (file[pos + 1] == code) return pos;
        if (file[pos + 1] == 0xDA) break;
        pos += 2 + ((file[pos + 2] << 8) | file[pos + 3]);
    }
    ADD_FAILURE() << "marker not found";
    return 0;
}

std::string decodeError(const Bytes& file, int components = 3,
                        std::size_t maxPixels = corvid::kJpegMaxPixels) {
    corvid::DecodedImage image;
    std::string error;
    const bool ok =
        corvid::decodeJpeg(file.data(), file.size(), components, image, error, maxPixels);
    if (ok) return "";
    EXPECT_TRUE(image.pixels.empty());
    EXPECT_FALSE(error.empty());
    return error;
}

TEST(JpegReject, UnsupportedCodingAndFrameTypes) {
    const Bytes file = sampleFile();
    const std::size_t sof = findMarker(file, 0xC0);
    for (std::uint8_t code : {0xC9, 0xCA, 0xCB, 0xC3, 0xC5, 0xCD}) {
        Bytes f = file;
        f[sof + 1] = code;
        EXPECT_NE(decodeError(f), "") << std::hex << int(code);
    }
    Bytes arithmetic = file;
    arithmetic[sof + 1] = 0xC9;
    EXPECT_NE(decodeError(arithmetic).find("arithmetic"), std::string::npos);

    // A DAC segment announces arithmetic coding even in an otherwise ordinary file.
    Bytes dac = file;
    const Bytes segment = {0xFF, 0xCC, 0x00, 0x04, 0x00, 0x10};
    dac.insert(dac.begin() + static_cast<long>(sof), segment.begin(), segment.end());
    EXPECT_NE(decodeError(dac).find("arithmetic"), std::string::npos);

    Bytes twelveBit = file;
    twelveBit[sof + 4] = 12;
    EXPECT_NE(decodeError(twelveBit), "");
}

TEST(JpegReject, BadRequestsAndSizes) {
    const Bytes file = sampleFile();
    EXPECT_NE(decodeError(file, 0), "");
    EXPECT_NE(decodeError(file, 5), "");
    EXPECT_NE(decodeError(Bytes{}), "");
    EXPECT_NE(decodeError(Bytes{0xFF}), "");
    EXPECT_NE(decodeError(Bytes{0x89, 'P', 'N', 'G'}), "");

    const std::size_t sof = findMarker(file, 0xC0);
    Bytes huge = file; // 65535 x 65535 is refused before any allocation
    huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = 0xFF;
    EXPECT_NE(decodeError(huge).find("too large"), std::string::npos);
    EXPECT_NE(decodeError(file, 3, 40 * 24 - 1).find("too large"), std::string::npos);
    EXPECT_EQ(decodeError(file, 3, 40 * 24), "");

    Bytes empty = file;
    empty[sof + 5] = empty[sof + 6] = 0;
    EXPECT_NE(decodeError(empty), "");
}

TEST(JpegReject, TruncatedFilesFailCleanly) {
    // Every prefix: either a clean error or, once all coded data is present, success.
    for (bool progressive : {false, true}) {
        const Bytes file = sampleFile(progressive, progressive ? 0 : 2);
        for (std::size_t n = 0; n + 2 < file.size(); ++n) {
            const Bytes prefix(file.begin(), file.begin() + static_cast<long>(n));
            const std::string error = decodeError(prefix);
            if (progressive) {
                EXPECT_NE(error, "") << n;
            }
        }
    }
}

TEST(JpegReject, MissingCodedDataIsNotReportedAsSuccess) {
    // The scan is cut short but an end marker follows, so only the decoder's own
    // accounting of the coded bits can notice.
    const Bytes file = sampleFile();
    const std::size_t sos = findMarker(file, 0xDA);
    const std::size_t dataStart = sos + 2 + ((file[sos + 2] << 8) | file[sos + 3]);
    Bytes cut(file.begin(), file.begin() + static_cast<long>(dataStart + 20));
    cut.push_back(0xFF);
    cut.push_back(0xD9);
    EXPECT_NE(decodeError(cut).find("truncated"), std::string::npos);

    // Restart intervals dropped from the middle of the data.
    Bytes withRestarts = sampleFile(false, 1);
    Bytes dropped;
    int seen = 0;
    for (std::size_t i = 0; i < withRestarts.size(); ++i) {
        if (i + 1 < withRestarts.size() && withRestarts[i] == 0xFF && withRestarts[i + 1] >= 0xD0 &&
            withRestarts[i + 1] <= 0xD7 && ++seen == 2) {
            ++i;
            continue;
        }
        dropped.push_back(withRestarts[i]);
    }
    EXPECT_NE(decodeError(dropped), "");
}

TEST(JpegReject, CorruptedFilesNeverCrash) {
    // Random damage to headers and coded data; the sanitizer build turns any bad read
    // into a failure. The result may be an error or a (wrong) picture.
    std::mt19937 rng(99);
    for (bool progressive : {false, true}) {
        const Bytes file = sampleFile(progressive, 3);
        std::uniform_int_distribution<std::size_t> where(0, file.size() - 1);
        std::uniform_int_distribution<int> value(0, 255), howMany(1, 8);
        for (int n = 0; n < 1500; ++n) {
            Bytes f = file;
            const int edits = howMany(rng);
            for (int e = 0; e < edits; ++e) f[where(rng)] = static_cast<std::uint8_t>(value(rng));
            corvid::DecodedImage image;
            std::string error;
            if (corvid::decodeJpeg(f.data(), f.size(), 4, image, error)) {
                ASSERT_EQ(image.pixels.size(),
                          static_cast<std::size_t>(image.width) * image.height * 4);
            }
        }
    }
}

TEST(JpegReject, InvalidTablesAndScans) {
    const Bytes file = sampleFile();
    // A Huffman table with more codes of one length than the length allows.
    Bytes badHuffman = file;
    const std::size_t dht = findMarker(file, 0xC4);
    badHuffman[dht + 5] = 3; // three 1-bit codes
    EXPECT_NE(decodeError(badHuffman), "");

    // A scan naming a component that is not in the frame.
    Bytes badScan = file;
    const std::size_t sos = findMarker(file, 0xDA);
    badScan[sos + 5] = 0x77;
    EXPECT_NE(decodeError(badScan), "");

    // A scan before any frame header.
    Bytes noFrame = file;
    const std::size_t sof = findMarker(file, 0xC0);
    const std::size_t sofLength = 2 + ((file[sof + 2] << 8) | file[sof + 3]);
    noFrame.erase(noFrame.begin() + static_cast<long>(sof),
                  noFrame.begin() + static_cast<long>(sof + sofLength));
    EXPECT_NE(decodeError(noFrame), "");
}

} // namespace

namespace {

TEST(JpegReject, EndlessScanSequencesAreCut) {
    // Repeating the first (DC) scan keeps the file valid scan by scan; past a sane
    // count the decoder refuses rather than working on indefinitely.
    const Bytes file = sampleFile(true);
    const std::size_t sos = findMarker(file, 0xDA);
    std::size_t end = sos + 2;
    while (!(file[end] == 0xFF && file[end + 1] != 0 &&
             (file[end + 1] < 0xD0 || file[end + 1] > 0xD7)))
        ++end;
    const Bytes scan(file.begin() + static_cast<long>(sos), file.begin() + static_cast<long>(end));
    Bytes many(file.begin(), file.begin() + static_cast<long>(end));
    for (int i = 0; i < 5; ++i) many.insert(many.end(), scan.begin(), scan.end());
    many.insert(many.end(), file.begin() + static_cast<long>(end), file.end());
    EXPECT_EQ(decodeError(many), "");
    for (int i = 0; i < 1000; ++i)
        many.insert(many.begin() + static_cast<long>(end), scan.begin(), scan.end());
    EXPECT_NE(decodeError(many).find("too many scans"), std::string::npos);
}

} // namespace
