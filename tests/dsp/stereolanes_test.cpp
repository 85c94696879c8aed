// The lanes the stereo filters and smoothers run on, against plain scalar code: lane
// order, rounding, and what the comparisons make of NaN, infinities and signed zeros,
// which the memory settling and the silence check depend on.

#include "corvid/simd/sse2_stereo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

using Pair = corvid::simd::Sse2Doubles;
using Floats = corvid::simd::Sse2Floats;
using Lanes = corvid::simd::Sse2Lanes;

template <typename T>
auto bits(T v) {
    using U = std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>;
    U u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(StereoLanes, PairsKeepTheirOrderAndRoundLikeScalarCode) {
    const double values[] = {1.0 / 3.0, -2.5e-40, 1e39, -0.0, 0.1f + 1e-12, kInf};
    for (double a : values) {
        for (double b : values) {
            float fa = 0.0f, fb = 0.0f;
            Pair::storeFloats(Pair::pair(a, b), &fa, &fb);
            EXPECT_EQ(bits(fa), bits(static_cast<float>(a)));
            EXPECT_EQ(bits(fb), bits(static_cast<float>(b)));

            double da = 0.0, db = 0.0;
            Pair::store(Pair::roundToFloat(Pair::pair(a, b)), &da, &db);
            EXPECT_EQ(bits(da), bits(static_cast<double>(static_cast<float>(a))));
            EXPECT_EQ(bits(db), bits(static_cast<double>(static_cast<float>(b))));

            const Pair::VF n = Pair::narrow(Pair::pair(a, b));
            EXPECT_EQ(bits(n[0]), bits(static_cast<float>(a)));
            EXPECT_EQ(bits(n[1]), bits(static_cast<float>(b)));
            EXPECT_EQ(bits(n[2]), 0u);
            EXPECT_EQ(bits(n[3]), 0u);

            Pair::store(Pair::widen(fa, fb), &da, &db);
            EXPECT_EQ(bits(da), bits(static_cast<double>(fa)));
            EXPECT_EQ(bits(db), bits(static_cast<double>(fb)));
        }
    }
}

TEST(StereoLanes, KeepClearsOnlyTheLanesTheMaskLeavesOut) {
    // The settling of a filter's memory: a lane is kept when x - x is zero, that is
    // when x is finite; a NaN or an infinity in one channel must not touch the other.
    const double values[] = {-0.0, 3.0, -1e-300, kInf, -kInf, kNaN};
    for (double a : values) {
        for (double b : values) {
            const Pair::VD v = Pair::pair(a, b);
            const Pair::VD kept = Pair::keep(v, Pair::equal(v - v, Pair::splat(0.0)));
            double ka = 1.0, kb = 1.0;
            Pair::store(kept, &ka, &kb);
            EXPECT_EQ(bits(ka), bits(std::isfinite(a) ? a : 0.0));
            EXPECT_EQ(bits(kb), bits(std::isfinite(b) ? b : 0.0));
        }
    }
}

TEST(StereoLanes, FloatComparisonsAndSelectionFollowScalarRules) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    alignas(16) const float a[4] = {0.0f, -0.0f, nan, 1.0f};
    alignas(16) const float b[4] = {-0.0f, 2.0f, 0.0f, nan};
    const Lanes::VF va = Floats::loadF(a), vb = Floats::loadF(b);
    const Lanes::VI eq = Floats::equal(va, vb), ne = Floats::notEqual(va, vb);
    const Lanes::VI lt = Floats::less(va, vb);
    alignas(16) float chosen[4];
    Floats::storeF(chosen, Floats::select(lt, va, vb));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(eq[k], a[k] == b[k] ? -1 : 0) << k;
        EXPECT_EQ(ne[k], a[k] != b[k] ? -1 : 0) << k;
        EXPECT_EQ(lt[k], a[k] < b[k] ? -1 : 0) << k;
        EXPECT_EQ(bits(chosen[k]), bits(a[k] < b[k] ? a[k] : b[k])) << k;
    }
}

} // namespace
