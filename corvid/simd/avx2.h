#pragma once
// The shared operations on eight lanes of AVX2, for sources built with AVX2 enabled
// and run only after the processor has been checked. Internal linkage only, like
// the SSE2 set.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <immintrin.h>

namespace corvid::simd {
namespace {

struct Avx2Lanes {
    static constexpr int lanes = 8;
    typedef CORVID_VECTOR(float, 32) VF;
    typedef CORVID_VECTOR(std::int32_t, 32) VI;
    typedef CORVID_VECTOR(std::uint16_t, 32) VU;
    using Words = __m256i;

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
    static bool any(VI m) { return _mm256_movemask_ps((__m256)m) != 0; }
    // One byte shuffle picks byte k of every lane and clears the rest.
    template <int k>
    static VI byteOf(VI v) {
        static_assert(k >= 0 && k < 4);
        const __m256i w = (__m256i)v;
        if constexpr (k == 3) return (VI)_mm256_srli_epi32(w, 24);
        if constexpr (k == 0) return (VI)_mm256_and_si256(w, _mm256_set1_epi32(255));
        const __m256i pick = _mm256_set1_epi32(static_cast<std::int32_t>(0x80808000u + k));
        return (VI)_mm256_shuffle_epi8(
            w, _mm256_add_epi32(pick, _mm256_setr_epi32(0, 4, 8, 12, 0, 4, 8, 12)));
    }
    // The blend reads only each lane's sign, which is all a comparison's result needs.
    static VF blend(VI mask, VF a, VF b) {
        return (VF)_mm256_blendv_ps((__m256)b, (__m256)a, (__m256)mask);
    }
    static VI blendI(VI mask, VI a, VI b) {
        return (VI)_mm256_blendv_ps((__m256)b, (__m256)a, (__m256)mask);
    }
    static VF keep(VI mask, VF a) { return (VF)_mm256_and_ps((__m256)mask, (__m256)a); }
    static VI mulSmall(VI a, VI b) { return (VI)_mm256_mullo_epi32((__m256i)a, (__m256i)b); }
    static VI mulWide(VI a, VI b) { return (VI)_mm256_mullo_epi32((__m256i)a, (__m256i)b); }
    static VI load(const void* p) { return (VI)_mm256_loadu_si256(static_cast<const __m256i*>(p)); }
    static void store(void* p, VI v) { _mm256_storeu_si256(static_cast<__m256i*>(p), (__m256i)v); }
    static VI loadU8(const void* p) {
        return (VI)_mm256_cvtepu8_epi32(_mm_loadl_epi64(static_cast<const __m128i*>(p)));
    }
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
    static VI gather(const void* base, VI offsets, VI lanesSet) {
        return (VI)_mm256_mask_i32gather_epi32(_mm256_setzero_si256(),
                                               static_cast<const int*>(base), (__m256i)offsets,
                                               (__m256i)lanesSet, 1);
    }
    static VF gatherF(const float* table, VI index) {
        return (VF)_mm256_i32gather_ps(table, (__m256i)index, 4);
    }
    // One 64-bit gather per half, then the low and high words of each pair sorted
    // into two vectors.
    static void gatherPair(const void* base, VI offsets, VI lanesSet, VI& first, VI& second) {
        const __m256i off = (__m256i)offsets;
        const __m256i mask = (__m256i)lanesSet;
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

    static constexpr int words = 16;
    static void beforeNarrowCode() { _mm256_zeroupper(); }
    static Words splat16(std::int16_t v) { return _mm256_set1_epi16(v); }
    static Words splat32(std::int32_t v) { return _mm256_set1_epi32(v); }
    static Words loadWords(const void* p) {
        return _mm256_loadu_si256(static_cast<const __m256i*>(p));
    }
    static void storeWords(void* p, Words v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
    static Words add8(Words a, Words b) { return _mm256_add_epi8(a, b); }
    static Words add16(Words a, Words b) { return _mm256_add_epi16(a, b); }
    static Words sub16(Words a, Words b) { return _mm256_sub_epi16(a, b); }
    static Words shiftRight16(Words v, int shift) {
        return _mm256_srl_epi16(v, _mm_cvtsi32_si128(shift));
    }
    static Words widenBytes(const void* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(static_cast<const __m128i*>(p)));
    }
    static void storeNarrowed(void* p, Words a, Words b) {
        _mm256_storeu_si256(static_cast<__m256i*>(p), _mm256_packus_epi16(a, b));
    }
    static __m128i narrow16(const Words* parts) {
        return _mm_packus_epi16(_mm256_castsi256_si128(parts[0]),
                                _mm256_extracti128_si256(parts[0], 1));
    }
    static void storeRgbOfRgba(void* p, __m128i rgba) {
        const __m128i drop = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
        _mm_storeu_si128(static_cast<__m128i*>(p), _mm_shuffle_epi8(rgba, drop));
    }
    static Words add32(Words a, Words b) { return _mm256_add_epi32(a, b); }
    static Words sub32(Words a, Words b) { return _mm256_sub_epi32(a, b); }
    static Words maddPairs(Words a, Words b) { return _mm256_madd_epi16(a, b); }
    static Words interleaveLo16(Words a, Words b) { return _mm256_unpacklo_epi16(a, b); }
    static Words interleaveHi16(Words a, Words b) { return _mm256_unpackhi_epi16(a, b); }
    static Words interleaveLo32(Words a, Words b) { return _mm256_unpacklo_epi32(a, b); }
    static Words interleaveHi32(Words a, Words b) { return _mm256_unpackhi_epi32(a, b); }
    static Words interleaveLo64(Words a, Words b) { return _mm256_unpacklo_epi64(a, b); }
    static Words interleaveHi64(Words a, Words b) { return _mm256_unpackhi_epi64(a, b); }
    static Words shiftNarrow32(Words lo, Words hi, int shift) {
        const __m128i s = _mm_cvtsi32_si128(shift);
        return _mm256_packs_epi32(_mm256_sra_epi32(lo, s), _mm256_sra_epi32(hi, s));
    }

    // Halving a row. The shuffle picks within 128-bit halves, leaving 64-bit pieces in
    // the order a-low b-low a-high b-high; the permute puts the middle two back.
    static VI evens(VI a, VI b) {
        const __m256 picked = _mm256_shuffle_ps((__m256)a, (__m256)b, 0x88);
        return (VI)_mm256_permute4x64_epi64((__m256i)picked, 0xD8);
    }
    static VI odds(VI a, VI b) {
        const __m256 picked = _mm256_shuffle_ps((__m256)a, (__m256)b, 0xDD);
        return (VI)_mm256_permute4x64_epi64((__m256i)picked, 0xD8);
    }

    // Sixteen bytes as narrow16 gives them, stored.
    static void store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
};

} // namespace
} // namespace corvid::simd
