#include "corvid/core/isa.h"
#include "corvid/graphics/codecs/jpegcolor.h"
#include "corvid/graphics/codecs/jpegidct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using namespace corvid::jpeg;

// Textbook inverse DCT in double precision, level-shifted and clamped like the decoder's.
void idctDouble(const std::int16_t* coef, const std::uint16_t* quant, double* out) {
    const double pi = 3.14159265358979323846;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) {
                    const double cu = u ? 1.0 : std::sqrt(0.5), cv = v ? 1.0 : std::sqrt(0.5);
                    sum += cu * cv * coef[v * 8 + u] * quant[v * 8 + u] *
                           std::cos((2 * x + 1) * u * pi / 16) *
                           std::cos((2 * y + 1) * v * pi / 16);
                }
            out[y * 8 + x] = std::clamp(sum / 4 + 128, 0.0, 255.0);
        }
}

struct Block {
    std::int16_t coef[64];
    std::uint16_t quant[64];
};

// Coefficients shaped like real ones: large at low frequencies, sparse and small above.
Block realisticBlock(std::mt19937& rng) {
    Block b{};
    std::uniform_int_distribution<int> q(1, 40), keep(0, 3);
    for (int i = 0; i < 64; ++i) {
        b.quant[i] = static_cast<std::uint16_t>(q(rng));
        const int freq = i / 8 + i % 8;
        const int range = std::max(1, 1024 / (b.quant[i] * (1 + freq)));
        std::uniform_int_distribution<int> c(-range, range);
        b.coef[i] = static_cast<std::int16_t>(keep(rng) == 0 || i == 0 ? c(rng) : 0);
    }
    return b;
}

TEST(JpegIdct, FixedPointTracksExactTransform) {
    std::mt19937 rng(7);
    int worst = 0;
    for (int n = 0; n < 2000; ++n) {
        const Block b = realisticBlock(rng);
        std::uint8_t got[64];
        double want[64];
        idctReference(b.coef, b.quant, got, 8);
        idctDouble(b.coef, b.quant, want);
        for (int i = 0; i < 64; ++i)
            worst = std::max(worst, static_cast<int>(std::ceil(std::fabs(got[i] - want[i]) - 0.5)));
    }
    EXPECT_LE(worst, 1);
}

TEST(JpegIdct, VectorVariantsMatchReferenceBitForBit) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> any(-32768, 32767), anyQ(0, 65535);
    for (int n = 0; n < 20000; ++n) {
        // Realistic blocks, then garbage that overflows every intermediate.
        Block b = realisticBlock(rng);
        if (n % 2) {
            for (int i = 0; i < 64; ++i) {
                b.coef[i] = static_cast<std::int16_t>(any(rng));
                b.quant[i] = static_cast<std::uint16_t>(n % 4 == 1 ? anyQ(rng) : 1);
            }
        }
        std::uint8_t want[8 * 16], got[8 * 16];
        idctReference(b.coef, b.quant, want, 16);
        idctSse2(b.coef, b.quant, got, 16);
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c) ASSERT_EQ(got[r * 16 + c], want[r * 16 + c]) << n;
        bestIdct()(b.coef, b.quant, got, 16);
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c) ASSERT_EQ(got[r * 16 + c], want[r * 16 + c]) << n;
        // Pairs: this block beside a different one, each landing in its own place.
        const Block other = realisticBlock(rng);
        std::uint8_t wantOther[64], pairA[8 * 16], pairB[64];
        idctReference(other.coef, other.quant, wantOther, 8);
        std::vector<IdctPairFunction> pairs = {&idctPairBySingles};
        for (corvid::Isa isa : corvid::supportedIsas()) pairs.push_back(idctPairFor(isa));
        for (IdctPairFunction pairFn : pairs) {
            pairFn(b.coef, b.quant, pairA, 16, other.coef, other.quant, pairB, 8);
            for (int r = 0; r < 8; ++r)
                for (int c = 0; c < 8; ++c) {
                    ASSERT_EQ(pairA[r * 16 + c], want[r * 16 + c]) << n;
                    ASSERT_EQ(pairB[r * 8 + c], wantOther[r * 8 + c]) << n;
                }
        }
    }
}

TEST(JpegIdct, FlatShortcutEqualsFullTransform) {
    for (int dc = -2048; dc <= 2047; dc += 3) {
        for (int q : {1, 2, 7, 16, 99, 255}) {
            Block b{};
            b.coef[0] = static_cast<std::int16_t>(dc);
            for (auto& v : b.quant) v = static_cast<std::uint16_t>(q);
            std::uint8_t full[64];
            idctReference(b.coef, b.quant, full, 8);
            const std::uint8_t flat = idctFlatValue(b.coef[0], b.quant[0]);
            for (int i = 0; i < 64; ++i) ASSERT_EQ(full[i], flat) << dc << " " << q;
        }
    }
}

TEST(JpegColor, ConversionMatchesJfifFormulaAndAllVariantsAgree) {
    // Every chroma pair at several luma levels, in rows of awkward lengths so the
    // vector loops' tails are exercised too.
    std::vector<std::uint8_t> y, cb, cr;
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            cb.push_back(static_cast<std::uint8_t>(a));
            cr.push_back(static_cast<std::uint8_t>(b));
            y.push_back(static_cast<std::uint8_t>((a * 7 + b * 13) & 255));
        }
    const int n = static_cast<int>(y.size());
    for (int components : {3, 4}) {
        std::vector<std::uint8_t> want(static_cast<std::size_t>(n) * components);
        yccToRgbReference(y.data(), cb.data(), cr.data(), n, want.data(), components);
        for (int i = 0; i < n; ++i) {
            const double yy = y[i], u = cb[i] - 128.0, v = cr[i] - 128.0;
            const double rgb[3] = {yy + 1.402 * v, yy - 0.344136 * u - 0.714136 * v,
                                   yy + 1.772 * u};
            for (int c = 0; c < 3; ++c) {
                ASSERT_LE(std::fabs(want[i * components + c] - std::clamp(rgb[c], 0.0, 255.0)),
                          1.0);
            }
            if (components == 4) {
                ASSERT_EQ(want[i * components + 3], 255);
            }
        }
        std::vector<ColorFunction> variants;
        for (corvid::Isa isa : corvid::supportedIsas()) variants.push_back(colorFor(isa));
        for (ColorFunction f : variants) {
            for (int length : {1, 15, 17, 33, 35, 763}) {
                for (int start = 0; start + length <= n; start += 4099) {
                    std::vector<std::uint8_t> got(static_cast<std::size_t>(length) * components + 1,
                                                  0xAA);
                    f(y.data() + start, cb.data() + start, cr.data() + start, length, got.data(),
                      components);
                    ASSERT_EQ(got.back(), 0xAA) << "wrote past the row";
                    for (int i = 0; i < length * components; ++i)
                        ASSERT_EQ(got[i], want[static_cast<std::size_t>(start) * components + i]);
                }
            }
        }
    }
}

TEST(JpegUpsample, TriangleFilterKeepsFlatRowsAndEdges) {
    // A flat input must stay flat (no rounding drift), and a step must stay monotonic.
    std::vector<std::uint8_t> flat(9, 77), out(18);
    upsampleH2V1(flat.data(), 9, out.data());
    for (auto v : out) EXPECT_EQ(v, 77);
    upsampleH2V2(flat.data(), flat.data(), 9, out.data());
    for (auto v : out) EXPECT_EQ(v, 77);
    const std::uint8_t step[4] = {0, 0, 200, 200};
    std::uint8_t up[8];
    upsampleH2V1(step, 4, up);
    for (int i = 1; i < 8; ++i) EXPECT_GE(up[i], up[i - 1]);
    EXPECT_EQ(up[0], 0);
    EXPECT_EQ(up[7], 200);
}

} // namespace

namespace {

TEST(JpegUpsample, VectorPathsMatchPlainFiltersAtEveryWidth) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int width = 3; width <= 70; ++width) {
        std::vector<std::uint8_t> near(width), far(width);
        for (int i = 0; i < width; ++i) {
            near[i] = static_cast<std::uint8_t>(byte(rng));
            far[i] = static_cast<std::uint8_t>(byte(rng));
        }
        auto at = [&](const std::vector<std::uint8_t>& row, int i) {
            return row[std::clamp(i, 0, width - 1)];
        };
        std::vector<std::uint8_t> got(2 * width + 1, 0xAA);
        for (corvid::Isa isa : corvid::supportedIsas()) {
            upsampleH2V1(near.data(), width, got.data(), isa);
            for (int i = 0; i < width; ++i) {
                ASSERT_EQ(got[2 * i], (3 * near[i] + at(near, i - 1) + 1) >> 2)
                    << width << " " << corvid::isaName(isa);
                ASSERT_EQ(got[2 * i + 1], (3 * near[i] + at(near, i + 1) + 2) >> 2)
                    << width << " " << corvid::isaName(isa);
            }
            ASSERT_EQ(got[2 * width], 0xAA);
            upsampleH2V2(near.data(), far.data(), width, got.data(), isa);
            for (int i = 0; i < width; ++i) {
                auto sum = [&](int k) { return 3 * at(near, k) + at(far, k); };
                ASSERT_EQ(got[2 * i], (3 * sum(i) + sum(i - 1) + 8) >> 4)
                    << width << " " << corvid::isaName(isa);
                ASSERT_EQ(got[2 * i + 1], (3 * sum(i) + sum(i + 1) + 7) >> 4)
                    << width << " " << corvid::isaName(isa);
            }
            ASSERT_EQ(got[2 * width], 0xAA);
        }
        for (corvid::Isa isa : corvid::supportedIsas()) {
            for (bool lower : {false, true}) {
                std::fill(got.begin(), got.end(), 0xAA);
                upsampleH1V2(near.data(), far.data(), width, lower, got.data(), isa);
                for (int i = 0; i < width; ++i)
                    ASSERT_EQ(got[i], (3 * near[i] + far[i] + (lower ? 2 : 1)) >> 2)
                        << width << " " << corvid::isaName(isa);
                ASSERT_EQ(got[width], 0xAA) << "wrote past the row";
            }
        }
    }
}

} // namespace
