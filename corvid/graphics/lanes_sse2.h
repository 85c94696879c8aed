#pragma once
// The operations the drawing kernels share, on four lanes of SSE2: the baseline of
// every x86-64 processor. Kernels written once over a vector width take this or
// the AVX2 set as their traits. Internal linkage only, so each kernel source keeps
// its own copy, built for its own instruction set.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <emmintrin.h>

namespace corvid::lanes {
namespace {

struct Sse2Lanes {
    static constexpr int lanes = 4;
    typedef CORVID_VECTOR(float, 16) VF;
    typedef CORVID_VECTOR(std::int32_t, 16) VI;
    typedef CORVID_VECTOR(std::uint16_t, 16) VU;

    static VF splatF(float v) { return (VF)_mm_set1_ps(v); }
    static VI splatI(std::int32_t v) { return (VI)_mm_set1_epi32(v); }
    static VU splatU(std::uint16_t v) { return (VU)_mm_set1_epi16(static_cast<short>(v)); }
    static VF iotaF() { return VF{0.0f, 1.0f, 2.0f, 3.0f}; }
    static VI iotaI() { return VI{0, 1, 2, 3}; }
    static VF sqrt(VF v) { return (VF)_mm_sqrt_ps((__m128)v); }
    static VF min(VF a, VF b) { return (VF)_mm_min_ps((__m128)a, (__m128)b); }
    static VF max(VF a, VF b) { return (VF)_mm_max_ps((__m128)a, (__m128)b); }
    static VF abs(VF v) { return (VF)_mm_andnot_ps(_mm_set1_ps(-0.0f), (__m128)v); }
    static VF toFloat(VI v) { return (VF)_mm_cvtepi32_ps((__m128i)v); }
    // Truncation toward zero, for values inside the 32-bit range.
    static VI truncate(VF v) { return (VI)_mm_cvttps_epi32((__m128)v); }
    // One bit per lane, from the lane's sign.
    static int mask(VI m) { return _mm_movemask_ps((__m128)m); }
    static bool none(VI v) {
        return _mm_movemask_epi8(_mm_cmpeq_epi32((__m128i)v, _mm_setzero_si128())) == 0xFFFF;
    }
    // Lane by lane products of values whose product stays below 65536.
    static VI mulSmall(VI a, VI b) { return (VI)_mm_mullo_epi16((__m128i)a, (__m128i)b); }
    // Lane by lane products of values below 65536, all 32 bits of them.
    static VI mulWide(VI a, VI b) {
        const __m128i lo = _mm_mullo_epi16((__m128i)a, (__m128i)b);
        const __m128i hi = _mm_mulhi_epu16((__m128i)a, (__m128i)b);
        return (VI)_mm_or_si128(_mm_and_si128(lo, _mm_set1_epi32(0xFFFF)), _mm_slli_epi32(hi, 16));
    }
    static VI load(const void* p) { return (VI)_mm_loadu_si128(static_cast<const __m128i*>(p)); }
    static void store(void* p, VI v) { _mm_storeu_si128(static_cast<__m128i*>(p), (__m128i)v); }
    // Four 16-bit values widened to the lanes, and the lanes (below 65536) narrowed back.
    static VI loadU16(const void* p) {
        return (VI)_mm_unpacklo_epi16(_mm_loadl_epi64(static_cast<const __m128i*>(p)),
                                      _mm_setzero_si128());
    }
    static void storeU16(void* p, VI v) {
        const __m128i biased = _mm_sub_epi32((__m128i)v, _mm_set1_epi32(32768));
        _mm_storel_epi64(static_cast<__m128i*>(p),
                         _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(-32768)));
    }
    // The 32-bit words at base + offsets[i] bytes.
    static VI gather(const void* base, VI offsets) {
        const auto* b = static_cast<const std::uint8_t*>(base);
        std::int32_t w[4];
        for (int i = 0; i < 4; ++i) __builtin_memcpy(&w[i], b + offsets[i], 4);
        return VI{w[0], w[1], w[2], w[3]};
    }
};

} // namespace
} // namespace corvid::lanes
