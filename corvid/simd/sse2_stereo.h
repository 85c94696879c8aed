#pragma once
// Lanes for the baseline audio kernels: two double-precision lanes that carry the left
// and the right channel side by side, and the float comparisons and selections of the
// four-lane smoothers. A stereo frame fills one SSE2 register, so these kernels have
// no wider variant and no run-time choice. Arithmetic is the vector operators
// (+, -, *), which compile to the same single instructions as the intrinsics, in the
// order written. Internal linkage only, like the other lane sets.

#include "corvid/simd/sse2.h"

#include <cstdint>

#include <emmintrin.h>

namespace corvid::simd {
namespace {

struct Sse2Doubles {
    static constexpr int lanes = 2;
    typedef CORVID_VECTOR(double, 16) VD;
    // A comparison's result: every bit of a lane set or clear.
    typedef CORVID_VECTOR(std::int64_t, 16) VM;
    using VF = Sse2Lanes::VF;

    static VD splat(double v) { return (VD)_mm_set1_pd(v); }
    static VD pair(double first, double second) { return (VD)_mm_setr_pd(first, second); }
    // Two floats widened, which is exact.
    static VD widen(float first, float second) {
        return (VD)_mm_cvtps_pd(_mm_setr_ps(first, second, 0.0f, 0.0f));
    }
    // Both lanes rounded to float, in the first two lanes of a float vector whose
    // other two are zero.
    static VF narrow(VD v) { return (VF)_mm_cvtpd_ps((__m128d)v); }
    // What a float stage downstream would see: each lane rounded to float and back.
    static VD roundToFloat(VD v) { return (VD)_mm_cvtps_pd(_mm_cvtpd_ps((__m128d)v)); }
    static void storeFloats(VD v, float* first, float* second) {
        const __m128 f = _mm_cvtpd_ps((__m128d)v);
        _mm_store_ss(first, f);
        _mm_store_ss(second, _mm_shuffle_ps(f, f, 1));
    }
    static void store(VD v, double* first, double* second) {
        _mm_storel_pd(first, (__m128d)v);
        _mm_storeh_pd(second, (__m128d)v);
    }
    // Ordered equality: false in a lane holding a NaN.
    static VM equal(VD a, VD b) { return (VM)_mm_cmpeq_pd((__m128d)a, (__m128d)b); }
    static VM both(VM a, VM b) { return a & b; }
    // v where the mask is set, +0 elsewhere.
    static VD keep(VD v, VM m) { return (VD)_mm_and_pd((__m128d)v, (__m128d)m); }

    // The forms the wider double lanes share: a register's worth of consecutive
    // floats widened, and of doubles loaded or stored. The floats are read as one
    // 64-bit word through the intrinsics' may-alias type, never as a double.
    static VD widen(const float* p) {
        return (VD)_mm_cvtps_pd(_mm_castsi128_ps(
            _mm_loadl_epi64(static_cast<const __m128i*>(static_cast<const void*>(p)))));
    }
    static VD load(const double* p) { return (VD)_mm_loadu_pd(p); }
    static void store(double* p, VD v) { _mm_storeu_pd(p, (__m128d)v); }
};

// Four float lanes beside Sse2Lanes' own, for the baseline audio kernels.
struct Sse2Floats {
    using VF = Sse2Lanes::VF;
    using VI = Sse2Lanes::VI;

    static VF loadF(const float* p) { return (VF)_mm_loadu_ps(p); }
    static void storeF(float* p, VF v) { _mm_storeu_ps(p, (__m128)v); }
    // a where the mask is set, b elsewhere, bit for bit.
    static VF select(VI m, VF a, VF b) {
        return (VF)_mm_or_ps(_mm_and_ps((__m128)m, (__m128)a), _mm_andnot_ps((__m128)m, (__m128)b));
    }
    // Unordered inequality, lane by lane: true in a lane holding a NaN.
    static VI notEqual(VF a, VF b) { return (VI)_mm_cmpneq_ps((__m128)a, (__m128)b); }
    static VI equal(VF a, VF b) { return (VI)_mm_cmpeq_ps((__m128)a, (__m128)b); }
    static VI less(VF a, VF b) { return (VI)_mm_cmplt_ps((__m128)a, (__m128)b); }
};

} // namespace
} // namespace corvid::simd
