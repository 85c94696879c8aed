// The lane operations the lighting kernel picks values with, against the plain
// vector `?:` they stand in for. The kernel relies on min and max keeping their
// second operand whenever the comparison fails (NaN included), and on the blends
// reading nothing but whole comparison results.

#include "corvid/simd/sse2.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace {

using Lanes = corvid::simd::Sse2Lanes;
using VF = Lanes::VF;
using VI = Lanes::VI;

std::uint32_t bits(float v) {
    std::uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

void expectSameBits(VF actual, VF expected, const char* what) {
    for (int i = 0; i < Lanes::lanes; ++i)
        EXPECT_EQ(bits(actual[i]), bits(expected[i])) << what << ", lane " << i;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kValues[] = {kNaN, -kInf, -1.5f, -0.0f, 0.0f, 1e-40f, 1.0f, 126.0f, kInf};

TEST(LightingLanes, MinAndMaxPickLikeTheComparisonsTheyReplace) {
    for (float a : kValues)
        for (float b : kValues) {
            const VF va = Lanes::splatF(a), vb = Lanes::splatF(b);
            expectSameBits(Lanes::min(va, vb), va < vb ? va : vb, "min");
            expectSameBits(Lanes::max(va, vb), va > vb ? va : vb, "max");
        }
}

TEST(LightingLanes, BlendsFollowWholeComparisonMasks) {
    const VF a{kNaN, -0.0f, 3.0f, -kInf};
    const VF b{1.0f, 0.0f, kNaN, 2.0f};
    for (int pattern = 0; pattern < 16; ++pattern) {
        VI mask;
        for (int i = 0; i < 4; ++i) mask[i] = (pattern >> i) & 1 ? -1 : 0;
        expectSameBits(Lanes::blend(mask, a, b), mask ? a : b, "blend");
        expectSameBits(Lanes::keep(mask, a), mask ? a : VF{}, "keep");
        const VI ia{-7, 0, 65535, INT32_MIN}, ib{1, -1, 2, INT32_MAX};
        const VI picked = Lanes::blendI(mask, ia, ib), expected = mask ? ia : ib;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(picked[i], expected[i]) << "blendI " << pattern;
    }
}

TEST(LightingLanes, BytesOfALaneComeOutUnsigned) {
    // Pixels with the top bit of alpha set, where an arithmetic shift would smear it.
    const VI pixels{static_cast<std::int32_t>(0xFF80017Fu), static_cast<std::int32_t>(0x80FF00FFu),
                    0x7F00FF80, 0};
    const VI bytes[4] = {Lanes::byteOf<0>(pixels), Lanes::byteOf<1>(pixels),
                         Lanes::byteOf<2>(pixels), Lanes::byteOf<3>(pixels)};
    for (int k = 0; k < 4; ++k)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(bytes[k][i], static_cast<std::int32_t>(
                                       (static_cast<std::uint32_t>(pixels[i]) >> (8 * k)) & 255u))
                << "byte " << k << ", lane " << i;
}

} // namespace
