#pragma once
// One pixel of up to four bytes in the low lanes of a 128-bit register, for the
// kernels whose every pixel depends on the one before it (PNG's Sub, Average and
// Paeth): a wider register would only wait, so every instruction set uses these same
// operations, each set's source compiling them in its own encoding. The other lanes
// carry whatever the operations leave there. Internal linkage only, like the lanes.

#include "corvid/core/compiler.h"

#include <cstdint>

#include <emmintrin.h>

namespace corvid::simd {
namespace {

struct Pixels128 {
    using Pixels = __m128i;

    static Pixels zeroPixels() { return _mm_setzero_si128(); }
    static Pixels splatPixels8(std::int8_t v) { return _mm_set1_epi8(v); }
    static Pixels splatPixels16(std::int16_t v) { return _mm_set1_epi16(v); }
    static Pixels fromLow32(std::uint32_t v) { return _mm_cvtsi32_si128(static_cast<int>(v)); }
    static std::uint32_t low32(Pixels v) {
        return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
    }
    // The low eight bytes, each widened to a word, and words narrowed back to bytes
    // with unsigned saturation (in the low half and again in the high half).
    static Pixels widenLow8(Pixels v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
    static Pixels narrowBytes(Pixels v) { return _mm_packus_epi16(v, v); }
    static Pixels add8(Pixels a, Pixels b) { return _mm_add_epi8(a, b); }
    static Pixels sub8(Pixels a, Pixels b) { return _mm_sub_epi8(a, b); }
    // Byte averages rounded up.
    static Pixels avgUp8(Pixels a, Pixels b) { return _mm_avg_epu8(a, b); }
    static Pixels add16(Pixels a, Pixels b) { return _mm_add_epi16(a, b); }
    static Pixels sub16(Pixels a, Pixels b) { return _mm_sub_epi16(a, b); }
    static Pixels min16(Pixels a, Pixels b) { return _mm_min_epi16(a, b); }
    static Pixels max16(Pixels a, Pixels b) { return _mm_max_epi16(a, b); }
    static Pixels shiftRightSigned16(Pixels v, int shift) {
        return _mm_sra_epi16(v, _mm_cvtsi32_si128(shift));
    }
    // All ones in each word where a > b, signed.
    static Pixels greater16(Pixels a, Pixels b) { return _mm_cmpgt_epi16(a, b); }
    static Pixels bitAnd(Pixels a, Pixels b) { return _mm_and_si128(a, b); }
    static Pixels bitOr(Pixels a, Pixels b) { return _mm_or_si128(a, b); }
    static Pixels bitXor(Pixels a, Pixels b) { return _mm_xor_si128(a, b); }
    // b where the mask is clear.
    static Pixels bitAndNot(Pixels mask, Pixels b) { return _mm_andnot_si128(mask, b); }
    static Pixels interleaveLo64(Pixels a, Pixels b) { return _mm_unpacklo_epi64(a, b); }
    static Pixels interleaveHi64(Pixels a, Pixels b) { return _mm_unpackhi_epi64(a, b); }
};

} // namespace
} // namespace corvid::simd
