#pragma once
// Eight double-precision lanes for the audio kernels built with AVX-512 (F, BW, DQ
// and VL): four stereo filters side by side. The same operations as Avx2Doubles;
// comparisons give mask registers. Internal linkage only, like the other lane sets.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <immintrin.h>

namespace corvid::simd {
namespace {

struct Avx512Doubles {
    static constexpr int lanes = 8;
    typedef CORVID_VECTOR(double, 64) VD;
    using VM = __mmask8;

    static VD splat(double v) { return (VD)_mm512_set1_pd(v); }
    // The masked forms with every lane set: GCC's unmasked ones start from an
    // undefined register, which its own warnings then flag.
    static VD widen(const float* p) { return (VD)_mm512_maskz_cvtps_pd(0xFF, _mm256_loadu_ps(p)); }
    // Each lane rounded to float and back.
    static VD roundToFloat(VD v) {
        return (VD)_mm512_maskz_cvtps_pd(0xFF, _mm512_maskz_cvtpd_ps(0xFF, (__m512d)v));
    }
    static VD load(const double* p) { return (VD)_mm512_loadu_pd(p); }
    static void store(double* p, VD v) { _mm512_storeu_pd(p, (__m512d)v); }
    // Ordered equality: false in a lane holding a NaN.
    static VM equal(VD a, VD b) { return _mm512_cmp_pd_mask((__m512d)a, (__m512d)b, _CMP_EQ_OQ); }
    static VM both(VM a, VM b) { return static_cast<VM>(a & b); }
    // v where the mask is set, +0 elsewhere.
    static VD keep(VD v, VM m) { return (VD)_mm512_maskz_mov_pd(m, (__m512d)v); }
};

} // namespace
} // namespace corvid::simd
