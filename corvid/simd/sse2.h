#pragma once
// The operations the vector kernels share, on four lanes of SSE2: the baseline of
// every x86-64 processor. A kernel is written once over a lane type (this one, the
// AVX2 or the AVX-512 set) and each of its sources, built for one instruction set,
// instantiates it with that set's lanes. Internal linkage only, so the differently
// built copies never meet at link time.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <emmintrin.h>

namespace corvid::simd {
namespace {

struct Sse2Lanes {
    static constexpr int lanes = 4;
    typedef CORVID_VECTOR(float, 16) VF;
    typedef CORVID_VECTOR(std::int32_t, 16) VI;
    typedef CORVID_VECTOR(std::uint16_t, 16) VU;
    // A whole register of packed 16- and 32-bit integers.
    using Words = __m128i;

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
    // Whether any lane of a comparison's result is set.
    static bool any(VI m) { return _mm_movemask_ps((__m128)m) != 0; }
    // a where the mask lane is all ones, b where it is all zeros: for masks that are
    // whole comparison results, which the vector `?:` would first compare with zero.
    static VF blend(VI mask, VF a, VF b) {
        const __m128 m = (__m128)mask;
        return (VF)_mm_or_ps(_mm_and_ps(m, (__m128)a), _mm_andnot_ps(m, (__m128)b));
    }
    static VI blendI(VI mask, VI a, VI b) {
        const __m128i m = (__m128i)mask;
        return (VI)_mm_or_si128(_mm_and_si128(m, (__m128i)a), _mm_andnot_si128(m, (__m128i)b));
    }
    // a where the mask lane (a whole comparison result) is all ones, else 0.
    static VF keep(VI mask, VF a) { return (VF)_mm_and_ps((__m128)mask, (__m128)a); }
    // Byte k (0 lowest) of each lane, widened to the lane.
    template <int k>
    static VI byteOf(VI v) {
        static_assert(k >= 0 && k < 4);
        const __m128i w = (__m128i)v;
        if constexpr (k == 3) return (VI)_mm_srli_epi32(w, 24);
        if constexpr (k == 0) return (VI)_mm_and_si128(w, _mm_set1_epi32(255));
        return (VI)_mm_and_si128(_mm_srli_epi32(w, 8 * k), _mm_set1_epi32(255));
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
    // Four bytes, each widened to its lane.
    static VI loadU8(const void* p) {
        std::int32_t four;
        __builtin_memcpy(&four, p, sizeof four);
        const __m128i bytes = _mm_cvtsi32_si128(four);
        const __m128i zero = _mm_setzero_si128();
        return (VI)_mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
    }
    static VI loadU16(const void* p) {
        return (VI)_mm_unpacklo_epi16(_mm_loadl_epi64(static_cast<const __m128i*>(p)),
                                      _mm_setzero_si128());
    }
    static void storeU16(void* p, VI v) {
        const __m128i biased = _mm_sub_epi32((__m128i)v, _mm_set1_epi32(32768));
        _mm_storel_epi64(static_cast<__m128i*>(p),
                         _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(-32768)));
    }

    // SSE2 has no gathers or variable lane permutations: these go through memory.
    // The 32-bit words at base + offsets[i] bytes; with a mask, only where it is set
    // (the others are 0 and their offsets are not read).
    static VI gather(const void* base, VI offsets) {
        const auto* b = static_cast<const std::uint8_t*>(base);
        std::int32_t w[4];
        for (int i = 0; i < 4; ++i) __builtin_memcpy(&w[i], b + offsets[i], 4);
        return VI{w[0], w[1], w[2], w[3]};
    }
    static VI gather(const void* base, VI offsets, VI lanesSet) {
        const auto* b = static_cast<const std::uint8_t*>(base);
        std::int32_t w[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i)
            if (lanesSet[i]) __builtin_memcpy(&w[i], b + offsets[i], 4);
        return VI{w[0], w[1], w[2], w[3]};
    }
    // table[index[i]] for 32-bit floats.
    static VF gatherF(const float* table, VI index) {
        return VF{table[index[0]], table[index[1]], table[index[2]], table[index[3]]};
    }
    // Two neighbouring words per set lane: first from base + offsets[i], second
    // from 4 bytes further.
    static void gatherPair(const void* base, VI offsets, VI lanesSet, VI& first, VI& second) {
        std::int32_t a[4] = {0, 0, 0, 0};
        std::int32_t b[4] = {0, 0, 0, 0};
        for (int i = 0; i < 4; ++i) {
            if (!lanesSet[i]) continue;
            const std::uint8_t* p = static_cast<const std::uint8_t*>(base) + offsets[i];
            __builtin_memcpy(&a[i], p, 4);
            __builtin_memcpy(&b[i], p + 4, 4);
        }
        first = VI{a[0], a[1], a[2], a[3]};
        second = VI{b[0], b[1], b[2], b[3]};
    }
    // Lane i of the result is lane index[i] of v (indices below the lane count).
    static VI permute(VI v, VI index) {
        std::int32_t w[4];
        __builtin_memcpy(w, &v, sizeof w);
        return VI{w[index[0]], w[index[1]], w[index[2]], w[index[3]]};
    }

    // Packed integers, for fixed-point kernels. With more than 128 bits the wider
    // sets work the same within each 128-bit half.
    // 16-bit words per register.
    static constexpr int words = 8;
    // Called before a kernel hands its tail to code built for SSE2 alone. The wider
    // sets clear their upper lanes here: the compiler omits that before a tail call,
    // and every later SSE instruction would pay a transition.
    static void beforeNarrowCode() {}
    static Words splat16(std::int16_t v) { return _mm_set1_epi16(v); }
    static Words splat32(std::int32_t v) { return _mm_set1_epi32(v); }
    // A whole register from or to memory.
    static Words loadWords(const void* p) {
        return _mm_loadu_si128(static_cast<const __m128i*>(p));
    }
    static void storeWords(void* p, Words v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
    static Words add8(Words a, Words b) { return _mm_add_epi8(a, b); }
    // Bytes: the unsigned sum held at 255, the unsigned minimum.
    static Words addSaturate8(Words a, Words b) { return _mm_adds_epu8(a, b); }
    static Words min8(Words a, Words b) { return _mm_min_epu8(a, b); }
    static Words interleaveLo8(Words a, Words b) { return _mm_unpacklo_epi8(a, b); }
    static Words add16(Words a, Words b) { return _mm_add_epi16(a, b); }
    static Words sub16(Words a, Words b) { return _mm_sub_epi16(a, b); }
    static Words shiftRight16(Words v, int shift) {
        return _mm_srl_epi16(v, _mm_cvtsi32_si128(shift));
    }
    // `words` bytes from p, each widened to a word, in order.
    static Words widenBytes(const void* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(static_cast<const __m128i*>(p)),
                                 _mm_setzero_si128());
    }
    // The words of a, then of b (within each 128-bit half), narrowed to bytes with
    // unsigned saturation and stored at p: 2 * `words` bytes.
    static void storeNarrowed(void* p, Words a, Words b) {
        _mm_storeu_si128(static_cast<__m128i*>(p), _mm_packus_epi16(a, b));
    }
    // Sixteen words, in 16 / `words` registers, narrowed to bytes with unsigned
    // saturation in one 128-bit register.
    static __m128i narrow16(const Words* parts) { return _mm_packus_epi16(parts[0], parts[1]); }
    // Four RGBA pixels stored as twelve RGB bytes; may write up to 16.
    static void storeRgbOfRgba(void* p, __m128i rgba) {
        alignas(16) std::uint8_t tmp[16];
        _mm_store_si128(reinterpret_cast<__m128i*>(tmp), rgba);
        auto* o = static_cast<std::uint8_t*>(p);
        for (int k = 0; k < 4; ++k) {
            o[3 * k] = tmp[4 * k];
            o[3 * k + 1] = tmp[4 * k + 1];
            o[3 * k + 2] = tmp[4 * k + 2];
        }
    }
    static Words add32(Words a, Words b) { return _mm_add_epi32(a, b); }
    static Words sub32(Words a, Words b) { return _mm_sub_epi32(a, b); }
    // Products of neighbouring 16-bit pairs, summed into 32 bits.
    static Words maddPairs(Words a, Words b) { return _mm_madd_epi16(a, b); }
    static Words interleaveLo16(Words a, Words b) { return _mm_unpacklo_epi16(a, b); }
    static Words interleaveHi16(Words a, Words b) { return _mm_unpackhi_epi16(a, b); }
    static Words interleaveLo32(Words a, Words b) { return _mm_unpacklo_epi32(a, b); }
    static Words interleaveHi32(Words a, Words b) { return _mm_unpackhi_epi32(a, b); }
    static Words interleaveLo64(Words a, Words b) { return _mm_unpacklo_epi64(a, b); }
    static Words interleaveHi64(Words a, Words b) { return _mm_unpackhi_epi64(a, b); }
    // The 32-bit lanes of lo, then of hi, shifted right arithmetically and narrowed
    // to 16 bits with saturation.
    static Words shiftNarrow32(Words lo, Words hi, int shift) {
        const __m128i s = _mm_cvtsi32_si128(shift);
        return _mm_packs_epi32(_mm_sra_epi32(lo, s), _mm_sra_epi32(hi, s));
    }

    // Halving a row: lanes 0, 2, 4... of a then of b, and lanes 1, 3, 5... of both.
    static VI evens(VI a, VI b) { return (VI)_mm_shuffle_ps((__m128)a, (__m128)b, 0x88); }
    static VI odds(VI a, VI b) { return (VI)_mm_shuffle_ps((__m128)a, (__m128)b, 0xDD); }

    // Scans along the lanes and narrowing to bytes, for kernels that keep a running
    // sum along a row and store it as 8-bit values.
    // Each lane plus all the lanes before it.
    static VI prefixSum(VI v) {
        __m128i s = (__m128i)v;
        s = _mm_add_epi32(s, _mm_slli_si128(s, 4));
        return (VI)_mm_add_epi32(s, _mm_slli_si128(s, 8));
    }
    // The last lane in every lane.
    static VI broadcastLast(VI v) { return (VI)_mm_shuffle_epi32((__m128i)v, 0xFF); }
    // The lanes of lo, then of hi, narrowed to 16 bits with signed saturation.
    static Words narrow32(VI lo, VI hi) { return _mm_packs_epi32((__m128i)lo, (__m128i)hi); }
    static Words min16(Words a, Words b) { return _mm_min_epi16(a, b); }
    // The words narrowed to bytes with unsigned saturation, in the low half and
    // again in the high half.
    static Words narrowBytes(Words v) { return _mm_packus_epi16(v, v); }
    // The low eight bytes, stored or as one value (first byte lowest).
    static void storeLow64(void* p, Words v) { _mm_storel_epi64(static_cast<__m128i*>(p), v); }
    static std::uint64_t low64(Words v) { return std::uint64_t(_mm_cvtsi128_si64(v)); }

    // Sixteen bytes as narrow16 gives them, stored.
    static void store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
};

} // namespace
} // namespace corvid::simd
