// Sixteen-lane kernel for processors with AVX-512; chosen at run time.
#include "corvid/gui/compositor_kernel.h"

#include <cstdint>
#include <cstring>

#pragma GCC push_options
#pragma GCC target("avx2,avx512f,avx512bw,avx512dq,avx512vl")

#include <immintrin.h>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {
namespace {

struct Avx512 {
    static constexpr int lanes = 16;
    typedef float VF __attribute__((vector_size(64)));
    typedef int32_t VI __attribute__((vector_size(64)));

    static VF
    sqrt(VF v) { // The masked forms avoid GCC 12's false uninitialised warning in the plain ones.
        return (VF)_mm512_mask_sqrt_ps((__m512)v, 0xFFFF, (__m512)v);
    }
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
    static bool any(VI mask) { return _mm512_test_epi32_mask((__m512i)mask, (__m512i)mask) != 0; }
};

} // namespace

void lightBlockAvx512(const KernelInput& input, int32_t minX, int32_t minY, int32_t maxX,
                      int32_t maxY) {
    Kernel<Avx512>::run(input, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail

#pragma GCC pop_options
