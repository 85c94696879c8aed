// Sixteen-lane kernel for processors with AVX-512; chosen at run time. The build
// compiles this file alone with AVX-512 F, BW, DQ and VL enabled.
#include "corvid/core/compiler.h"
#include "corvid/gui/compositor_kernel.h"

#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {
namespace {

struct Avx512 {
    static constexpr int lanes = 16;
    typedef CORVID_VECTOR(float, 64) VF;
    typedef CORVID_VECTOR(int32_t, 64) VI;

    // The masked forms of the intrinsics avoid GCC 12's false uninitialised warnings
    // in the plain ones.
    static VF sqrt(VF v) { return (VF)_mm512_mask_sqrt_ps((__m512)v, 0xFFFF, (__m512)v); }
    static VF gatherF(const float* table, VI index) {
        return (VF)_mm512_mask_i32gather_ps(_mm512_setzero_ps(), 0xFFFF, (__m512i)index, table, 4);
    }
    static VI gather32(const void* base, VI offsets) {
        return (VI)_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, (__m512i)offsets,
                                               base, 1);
    }
    static VI gather32(const void* base, VI offsets, VI lanes) {
        return (VI)_mm512_mask_i32gather_epi32(_mm512_setzero_si512(),
                                               _mm512_movepi32_mask((__m512i)lanes),
                                               (__m512i)offsets, base, 1);
    }
    static VF min(VF a, VF b) {
        return (VF)_mm512_mask_min_ps((__m512)a, 0xFFFF, (__m512)a, (__m512)b);
    }
    static VF max(VF a, VF b) {
        return (VF)_mm512_mask_max_ps((__m512)a, 0xFFFF, (__m512)a, (__m512)b);
    }
    // Two neighbouring pixels per lane: one 64-bit gather per half, then the low and
    // high words of each pair sorted into two vectors.
    static void gatherPair(const void* base, VI offsets, VI lanes, VI& first, VI& second) {
        const __m256i offLo =
            _mm512_mask_extracti64x4_epi64(_mm256_setzero_si256(), 0xF, (__m512i)offsets, 0);
        const __m256i offHi =
            _mm512_mask_extracti64x4_epi64(_mm256_setzero_si256(), 0xF, (__m512i)offsets, 1);
        const __mmask16 mask = _mm512_movepi32_mask((__m512i)lanes);
        const __m512i lo = _mm512_mask_i32gather_epi64(
            _mm512_setzero_si512(), static_cast<__mmask8>(mask & 0xFF), offLo, base, 1);
        const __m512i hi = _mm512_mask_i32gather_epi64(
            _mm512_setzero_si512(), static_cast<__mmask8>(mask >> 8), offHi, base, 1);
        const __m512i even =
            _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        const __m512i odd =
            _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
        first = (VI)_mm512_permutex2var_epi32(lo, even, hi);
        second = (VI)_mm512_permutex2var_epi32(lo, odd, hi);
    }
    static VI permute(VI v, VI index) {
        return (VI)_mm512_mask_permutexvar_epi32((__m512i)v, 0xFFFF, (__m512i)index, (__m512i)v);
    }
    static bool any(VI mask) { return _mm512_test_epi32_mask((__m512i)mask, (__m512i)mask) != 0; }
};

} // namespace

void lightBlockAvx512(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                      int32_t maxX, int32_t maxY) {
    Kernel<Avx512>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
