// Eight-lane kernel for processors with AVX2; chosen at run time. The build compiles
// this file alone with AVX2 enabled.
#include "corvid/core/compiler.h"
#include "corvid/gui/compositor_kernel.h"

#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {
namespace {

struct Avx2 {
    static constexpr int lanes = 8;
    typedef CORVID_VECTOR(float, 32) VF;
    typedef CORVID_VECTOR(int32_t, 32) VI;

    static VF sqrt(VF v) { return (VF)_mm256_sqrt_ps((__m256)v); }
    static VF gatherF(const float* table, VI index) {
        return (VF)_mm256_i32gather_ps(table, (__m256i)index, 4);
    }
    static VI gather32(const void* base, VI offsets) {
        return (VI)_mm256_i32gather_epi32(static_cast<const int*>(base), (__m256i)offsets, 1);
    }
    static VI gather32(const void* base, VI offsets, VI lanes) {
        return (VI)_mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                               static_cast<const int*>(base), (__m256i)offsets,
                                               (__m256i)lanes, 1);
    }
    static VF min(VF a, VF b) { return (VF)_mm256_min_ps((__m256)a, (__m256)b); }
    static VF max(VF a, VF b) { return (VF)_mm256_max_ps((__m256)a, (__m256)b); }
    // Two neighbouring pixels per lane: one 64-bit gather per half, then the low and
    // high words of each pair sorted into two vectors.
    static void gatherPair(const void* base, VI offsets, VI lanes, VI& first, VI& second) {
        const __m256i off = (__m256i)offsets;
        const __m256i mask = (__m256i)lanes;
        const auto* table = static_cast<const long long*>(base);
        const __m256i lo =
            _mm256_mask_i32gather_epi64(_mm256_setzero_si256(), table, _mm256_castsi256_si128(off),
                                        _mm256_cvtepi32_epi64(_mm256_castsi256_si128(mask)), 1);
        const __m256i hi = _mm256_mask_i32gather_epi64(
            _mm256_setzero_si256(), table, _mm256_extracti128_si256(off, 1),
            _mm256_cvtepi32_epi64(_mm256_extracti128_si256(mask, 1)), 1);
        const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        const __m256i sortedLo = _mm256_permutevar8x32_epi32(lo, order);
        const __m256i sortedHi = _mm256_permutevar8x32_epi32(hi, order);
        first = (VI)_mm256_permute2x128_si256(sortedLo, sortedHi, 0x20);
        second = (VI)_mm256_permute2x128_si256(sortedLo, sortedHi, 0x31);
    }
    static VI permute(VI v, VI index) {
        return (VI)_mm256_permutevar8x32_epi32((__m256i)v, (__m256i)index);
    }
    static bool any(VI mask) { return _mm256_movemask_ps((__m256)mask) != 0; }
};

} // namespace

void lightBlockAvx2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY) {
    Kernel<Avx2>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
