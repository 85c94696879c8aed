#pragma once
// Four double-precision lanes for the audio kernels built with AVX2: two stereo
// filters side by side, or two stages of a cascade. The same operations as
// Sse2Doubles' register-wide forms, on twice the lanes. Internal linkage only, like
// the other lane sets.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <immintrin.h>

namespace corvid::simd {
namespace {

struct Avx2Doubles {
    static constexpr int lanes = 4;
    typedef CORVID_VECTOR(double, 32) VD;
    // A comparison's result: every bit of a lane set or clear.
    typedef CORVID_VECTOR(std::int64_t, 32) VM;

    static VD splat(double v) { return (VD)_mm256_set1_pd(v); }
    // Four floats widened, which is exact.
    static VD widen(const float* p) { return (VD)_mm256_cvtps_pd(_mm_loadu_ps(p)); }
    // Each lane rounded to float and back.
    static VD roundToFloat(VD v) { return (VD)_mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)v)); }
    static VD load(const double* p) { return (VD)_mm256_loadu_pd(p); }
    static void store(double* p, VD v) { _mm256_storeu_pd(p, (__m256d)v); }
    // Ordered equality: false in a lane holding a NaN.
    static VM equal(VD a, VD b) { return (VM)_mm256_cmp_pd((__m256d)a, (__m256d)b, _CMP_EQ_OQ); }
    static VM both(VM a, VM b) { return a & b; }
    // v where the mask is set, +0 elsewhere.
    static VD keep(VD v, VM m) { return (VD)_mm256_and_pd((__m256d)v, (__m256d)m); }
};

} // namespace
} // namespace corvid::simd
