#include "corvid/graphics/codecs/pngload.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

int paethReference(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    if (pb <= pc) return b;
    return c;
}

// The filters written out byte by byte: the prediction for byte i from the unfiltered
// byte to its left (a), above (b) and above-left (c).
Bytes unfilterReference(unsigned filter, const Bytes& src, const Bytes& prior, int stride) {
    Bytes out(src.size());
    for (std::size_t i = 0; i < src.size(); ++i) {
        const int a = i >= std::size_t(stride) ? out[i - std::size_t(stride)] : 0;
        const int b = prior[i];
        const int c = i >= std::size_t(stride) ? prior[i - std::size_t(stride)] : 0;
        int predicted = 0;
        switch (filter) {
        case 1:
            predicted = a;
            break;
        case 2:
            predicted = b;
            break;
        case 3:
            predicted = (a + b) / 2;
            break;
        case 4:
            predicted = paethReference(a, b, c);
            break;
        }
        out[i] = std::uint8_t(src[i] + predicted);
    }
    return out;
}

// Rows from a narrow alphabet produce the ties the Paeth choice must break the same way.
Bytes randomRow(std::mt19937& rng, std::size_t n, bool narrow) {
    Bytes row(n);
    const unsigned base = rng() % 256;
    for (auto& v : row) v = std::uint8_t(narrow ? base + rng() % 4 : rng());
    return row;
}

// Whole images as the decoder stores them (filter byte, then the row), unfiltered either
// in place or moved down over the filter bytes. Runs of Paeth rows take the two-row path,
// which must match too, for every width down to one pixel.
TEST(PngFilters, WholeImagesInPlaceAndMovedDown) {
    std::mt19937 rng(5);
    for (int stride = 1; stride <= 8; ++stride) {
        for (std::size_t pixels : {1u, 2u, 3u, 6u, 37u, 301u}) {
            for (bool movedDown : {false, true}) {
                const std::size_t rowBytes = pixels * std::size_t(stride);
                const int rows = 41;
                Bytes buffer, expected;
                Bytes prior(rowBytes, 0);
                for (int y = 0; y < rows; ++y) {
                    const unsigned filter = rng() % 3 ? 4 : unsigned(rng() % 4);
                    const Bytes src = randomRow(rng, rowBytes, y % 3 == 0);
                    buffer.push_back(std::uint8_t(filter));
                    buffer.insert(buffer.end(), src.begin(), src.end());
                    prior = unfilterReference(filter, src, prior, stride);
                    expected.insert(expected.end(), prior.begin(), prior.end());
                }
                for (corvid::Isa isa : corvid::supportedIsas()) {
                    Bytes work = buffer;
                    std::uint8_t* out = movedDown ? work.data() : work.data() + 1;
                    const std::size_t pitch = movedDown ? rowBytes : rowBytes + 1;
                    ASSERT_TRUE(corvid::detail::unfilterRows(work.data(), rowBytes, rows, stride,
                                                             out, pitch, isa));
                    Bytes actual;
                    for (int y = 0; y < rows; ++y) {
                        const std::uint8_t* row = out + std::size_t(y) * pitch;
                        actual.insert(actual.end(), row, row + rowBytes);
                    }
                    ASSERT_EQ(actual, expected)
                        << "stride " << stride << " pixels " << pixels
                        << (movedDown ? " moved down " : " in place ") << corvid::isaName(isa);
                }
            }
        }
    }
}

// One row at a time, for the pixel-step filters on every instruction set: into a
// separate row that must not be written past (a 3-byte pixel is handled in a 4-byte
// register), and in place. Rows of only 0 and 255 push the Paeth distances and the
// average's carry to their extremes.
TEST(PngFilters, PixelStepRowsMatchAndStayInsideTheRow) {
    std::mt19937 rng(11);
    for (int stride : {3, 4}) {
        for (std::size_t pixels : {1u, 2u, 5u, 64u}) {
            const std::size_t bytes = pixels * std::size_t(stride);
            for (int kind = 0; kind < 3; ++kind) {
                Bytes src = randomRow(rng, bytes, kind == 1), prior = randomRow(rng, bytes, false);
                if (kind == 2) {
                    for (auto& v : src) v = rng() % 2 ? 255 : 0;
                    for (auto& v : prior) v = rng() % 2 ? 255 : 0;
                }
                for (unsigned filter : {1u, 3u, 4u}) {
                    const Bytes expected = unfilterReference(filter, src, prior, stride);
                    for (corvid::Isa isa : corvid::supportedIsas()) {
                        Bytes out(bytes + 4, 0xA5);
                        ASSERT_TRUE(corvid::detail::unfilterRow(filter, out.data(), src.data(),
                                                                prior.data(), bytes, stride, isa));
                        EXPECT_EQ(Bytes(out.begin(), out.begin() + long(bytes)), expected)
                            << "filter " << filter << " stride " << stride << " "
                            << corvid::isaName(isa);
                        EXPECT_EQ(Bytes(out.begin() + long(bytes), out.end()), Bytes(4, 0xA5))
                            << "wrote past the row, filter " << filter << " stride " << stride;
                        Bytes same = src;
                        ASSERT_TRUE(corvid::detail::unfilterRow(filter, same.data(), same.data(),
                                                                prior.data(), bytes, stride, isa));
                        EXPECT_EQ(same, expected) << "in place, filter " << filter;
                    }
                }
            }
        }
    }
}

TEST(PngFilters, UnknownFilterTypeIsRefused) {
    Bytes row(8, 1), prior(8, 0);
    EXPECT_FALSE(corvid::detail::unfilterRow(5, row.data(), row.data(), prior.data(), 8, 4));
    Bytes rows = {4, 1, 2, 3, 4, 9, 1, 2, 3, 4};
    EXPECT_FALSE(corvid::detail::unfilterRows(rows.data(), 4, 2, 4, rows.data() + 1, 5));
}

} // namespace
