#pragma once
// The operations the drawing kernels share, on eight lanes of AVX2, for sources
// built with AVX2 enabled and run only after the processor has been checked.
// Internal linkage only, like the SSE2 set.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <immintrin.h>

namespace corvid::lanes {
namespace {

struct Avx2Lanes {
    static constexpr int lanes = 8;
    typedef CORVID_VECTOR(float, 32) VF;
    typedef CORVID_VECTOR(std::int32_t, 32) VI;
    typedef CORVID_VECTOR(std::uint16_t, 32) VU;

    static VF splatF(float v) { return (VF)_mm256_set1_ps(v); }
    static VI splatI(std::int32_t v) { return (VI)_mm256_set1_epi32(v); }
    static VU splatU(std::uint16_t v) { return (VU)_mm256_set1_epi16(static_cast<short>(v)); }
    static VF iotaF() { return VF{0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f}; }
    static VI iotaI() { return VI{0, 1, 2, 3, 4, 5, 6, 7}; }
    static VF sqrt(VF v) { return (VF)_mm256_sqrt_ps((__m256)v); }
    static VF min(VF a, VF b) { return (VF)_mm256_min_ps((__m256)a, (__m256)b); }
    static VF max(VF a, VF b) { return (VF)_mm256_max_ps((__m256)a, (__m256)b); }
    static VF abs(VF v) { return (VF)_mm256_andnot_ps(_mm256_set1_ps(-0.0f), (__m256)v); }
    static VF toFloat(VI v) { return (VF)_mm256_cvtepi32_ps((__m256i)v); }
    static VI truncate(VF v) { return (VI)_mm256_cvttps_epi32((__m256)v); }
    static int mask(VI m) { return _mm256_movemask_ps((__m256)m); }
    static bool none(VI v) { return _mm256_testz_si256((__m256i)v, (__m256i)v) != 0; }
    static VI mulSmall(VI a, VI b) { return (VI)_mm256_mullo_epi32((__m256i)a, (__m256i)b); }
    static VI mulWide(VI a, VI b) { return (VI)_mm256_mullo_epi32((__m256i)a, (__m256i)b); }
    static VI load(const void* p) { return (VI)_mm256_loadu_si256(static_cast<const __m256i*>(p)); }
    static void store(void* p, VI v) { _mm256_storeu_si256(static_cast<__m256i*>(p), (__m256i)v); }
    static VI loadU16(const void* p) {
        return (VI)_mm256_cvtepu16_epi32(_mm_loadu_si128(static_cast<const __m128i*>(p)));
    }
    static void storeU16(void* p, VI v) {
        // The pack works within halves; the permute brings the eight together.
        const __m256i packed = _mm256_packus_epi32((__m256i)v, (__m256i)v);
        _mm_storeu_si128(static_cast<__m128i*>(p),
                         _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08)));
    }
    static VI gather(const void* base, VI offsets) {
        return (VI)_mm256_i32gather_epi32(static_cast<const int*>(base), (__m256i)offsets, 1);
    }
};

} // namespace
} // namespace corvid::lanes
