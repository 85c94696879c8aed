#pragma once
// The shared operations on sixteen lanes of AVX-512 (F, BW, DQ, VL), for sources
// built with those enabled and run only after the processor has been checked.
// Internal linkage only, like the SSE2 set. No packed-integer words: no kernel
// has a fixed-point AVX-512 body yet.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <immintrin.h>

namespace corvid::simd {
namespace {

struct Avx512Lanes {
    static constexpr int lanes = 16;
    typedef CORVID_VECTOR(float, 64) VF;
    typedef CORVID_VECTOR(std::int32_t, 64) VI;
    typedef CORVID_VECTOR(std::uint16_t, 64) VU;

    static VF splatF(float v) { return (VF)_mm512_set1_ps(v); }
    static VI splatI(std::int32_t v) { return (VI)_mm512_set1_epi32(v); }
    static VU splatU(std::uint16_t v) { return (VU)_mm512_set1_epi16(static_cast<short>(v)); }
    static VF iotaF() {
        return VF{0.0f, 1.0f, 2.0f,  3.0f,  4.0f,  5.0f,  6.0f,  7.0f,
                  8.0f, 9.0f, 10.0f, 11.0f, 12.0f, 13.0f, 14.0f, 15.0f};
    }
    static VI iotaI() { return VI{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}; }
    // The masked forms with every lane set: GCC's unmasked ones start from an
    // undefined register, which its own warnings then flag.
    static VF sqrt(VF v) { return (VF)_mm512_mask_sqrt_ps((__m512)v, 0xFFFF, (__m512)v); }
    static VF min(VF a, VF b) {
        return (VF)_mm512_mask_min_ps((__m512)a, 0xFFFF, (__m512)a, (__m512)b);
    }
    static VF max(VF a, VF b) {
        return (VF)_mm512_mask_max_ps((__m512)a, 0xFFFF, (__m512)a, (__m512)b);
    }
    static VF abs(VF v) { return (VF)_mm512_abs_ps((__m512)v); }
    static VF toFloat(VI v) {
        return (VF)_mm512_mask_cvtepi32_ps(_mm512_setzero_ps(), 0xFFFF, (__m512i)v);
    }
    static VI truncate(VF v) {
        return (VI)_mm512_mask_cvttps_epi32(_mm512_setzero_si512(), 0xFFFF, (__m512)v);
    }
    static int mask(VI m) { return static_cast<int>(_mm512_movepi32_mask((__m512i)m)); }
    static bool none(VI v) { return _mm512_test_epi32_mask((__m512i)v, (__m512i)v) == 0; }
    static bool any(VI m) { return _mm512_test_epi32_mask((__m512i)m, (__m512i)m) != 0; }
    // One byte shuffle picks byte k of every lane and clears the rest; the ends are
    // a shift and a mask.
    template <int k>
    static VI byteOf(VI v) {
        static_assert(k >= 0 && k < 4);
        if constexpr (k == 3) return (v >> 24) & 255;
        if constexpr (k == 0) return v & 255;
        const __m512i pick =
            _mm512_add_epi32(_mm512_set1_epi32(static_cast<std::int32_t>(0x80808000u + k)),
                             _mm512_setr_epi32(0, 4, 8, 12, 0, 4, 8, 12, 0, 4, 8, 12, 0, 4, 8, 12));
        return (VI)_mm512_maskz_shuffle_epi8(~__mmask64{0}, (__m512i)v, pick);
    }
    // Comparisons give mask registers here; written as the vector `?:` the
    // compiler blends straight from them.
    static VF blend(VI mask, VF a, VF b) { return mask ? a : b; }
    static VI blendI(VI mask, VI a, VI b) { return mask ? a : b; }
    static VF keep(VI mask, VF a) { return mask ? a : VF{}; }
    static VI mulSmall(VI a, VI b) { return (VI)_mm512_mullo_epi32((__m512i)a, (__m512i)b); }
    static VI mulWide(VI a, VI b) { return (VI)_mm512_mullo_epi32((__m512i)a, (__m512i)b); }
    static VI load(const void* p) { return (VI)_mm512_loadu_si512(p); }
    static void store(void* p, VI v) { _mm512_storeu_si512(p, (__m512i)v); }
    static VI loadU8(const void* p) {
        return (VI)_mm512_mask_cvtepu8_epi32(_mm512_setzero_si512(), 0xFFFF,
                                             _mm_loadu_si128(static_cast<const __m128i*>(p)));
    }
    static VI loadU16(const void* p) {
        return (VI)_mm512_mask_cvtepu16_epi32(_mm512_setzero_si512(), 0xFFFF,
                                              _mm256_loadu_si256(static_cast<const __m256i*>(p)));
    }
    // The lanes are below 65536, so keeping their low halves narrows them exactly.
    static void storeU16(void* p, VI v) {
        _mm256_storeu_si256(static_cast<__m256i*>(p),
                            _mm512_mask_cvtepi32_epi16(_mm256_setzero_si256(), 0xFFFF, (__m512i)v));
    }

    static VI gather(const void* base, VI offsets) {
        return (VI)_mm512_mask_i32gather_epi32(_mm512_setzero_si512(), 0xFFFF, (__m512i)offsets,
                                               base, 1);
    }
    static VI gather(const void* base, VI offsets, VI lanesSet) {
        return (VI)_mm512_mask_i32gather_epi32(_mm512_setzero_si512(),
                                               _mm512_movepi32_mask((__m512i)lanesSet),
                                               (__m512i)offsets, base, 1);
    }
    static VF gatherF(const float* table, VI index) {
        return (VF)_mm512_mask_i32gather_ps(_mm512_setzero_ps(), 0xFFFF, (__m512i)index, table, 4);
    }
    // One 64-bit gather per half, then the low and high words of each pair sorted
    // into two vectors.
    static void gatherPair(const void* base, VI offsets, VI lanesSet, VI& first, VI& second) {
        const __m256i offLo =
            _mm512_mask_extracti64x4_epi64(_mm256_setzero_si256(), 0xF, (__m512i)offsets, 0);
        const __m256i offHi =
            _mm512_mask_extracti64x4_epi64(_mm256_setzero_si256(), 0xF, (__m512i)offsets, 1);
        const __mmask16 mask = _mm512_movepi32_mask((__m512i)lanesSet);
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
    // table[index] of a 256-byte table in every lane (indices 0 to 255): the table
    // fills four registers, a two-register permutation picks the word of each half
    // and the index's top bit and low two bits the half and the byte.
    static VI lookupByte(const std::uint8_t* table, VI index) {
        const __m512i t0 = _mm512_loadu_si512(table);
        const __m512i t1 = _mm512_loadu_si512(table + 64);
        const __m512i t2 = _mm512_loadu_si512(table + 128);
        const __m512i t3 = _mm512_loadu_si512(table + 192);
        const __m512i word = (__m512i)(index >> 2);
        const __m512i low = _mm512_permutex2var_epi32(t0, word, t1);
        const __m512i high = _mm512_permutex2var_epi32(t2, word, t3);
        const __mmask16 upper = _mm512_test_epi32_mask((__m512i)index, _mm512_set1_epi32(128));
        const VI picked = (VI)_mm512_mask_mov_epi32(low, upper, high);
        return (picked >> ((index & 3) * 8)) & 255;
    }
    static VI permute(VI v, VI index) {
        return (VI)_mm512_mask_permutexvar_epi32((__m512i)v, 0xFFFF, (__m512i)index, (__m512i)v);
    }

    // Halving a row: lanes 0, 2, 4... of a then of b, and lanes 1, 3, 5... of both.
    static VI evens(VI a, VI b) {
        const __m512i even =
            _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        return (VI)_mm512_permutex2var_epi32((__m512i)a, even, (__m512i)b);
    }
    static VI odds(VI a, VI b) {
        const __m512i odd =
            _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
        return (VI)_mm512_permutex2var_epi32((__m512i)a, odd, (__m512i)b);
    }
};

} // namespace
} // namespace corvid::simd
