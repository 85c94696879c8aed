#pragma once
// The vector bodies of the colour conversion and the triangle upsamplers, written
// once over a lane type's packed words; each instruction set's source instantiates
// them with its lanes. Their arithmetic is the plain functions' in jpegcolor.cpp,
// operation for operation. Internal linkage only: each source builds its own copy.

#include "corvid/graphics/codecs/jpegcolor.h"

#include <cstdint>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace corvid::jpeg::color_detail {
namespace {

// JFIF conversion with 16-bit fixed-point factors, written as an integer multiple of the
// chroma plus a fraction below 1/2 so that every product fits a signed 16-bit factor:
// 1.402 = 1 + 26345/65536, 1.772 = 2 - 14942/65536, 0.71414 = 1 - 18734/65536.
constexpr int kCrR = 26345;
constexpr int kCbB = -14942;
constexpr int kCbG = -22554;
constexpr int kCrG = 18734;

#if defined(__x86_64__)

template <class L>
struct ColorKernels {
    using W = typename L::Words;
    static constexpr int kParts = 16 / L::words;

    // Both factors of a multiply-add pair in every 32-bit lane.
    static W pair(int a, int b) {
        return L::splat32(static_cast<std::int32_t>((static_cast<std::uint32_t>(b) << 16) |
                                                    (static_cast<std::uint32_t>(a) & 0xFFFFu)));
    }

    // One register of pixels: R, G, B as 16-bit values, not yet clamped. Each
    // fraction is a multiply-add of the chroma with a rounding term, shifted by 16.
    static void convertWords(W y, W cb, W cr, W& r, W& g, W& b) {
        const W two = L::splat16(2), half = L::splat32(32768);
        const W cR = pair(kCrR, 16384), cB = pair(kCbB, 16384), cG = pair(kCbG, kCrG);
        const W rt = L::shiftNarrow32(L::maddPairs(L::interleaveLo16(cr, two), cR),
                                      L::maddPairs(L::interleaveHi16(cr, two), cR), 16);
        const W bt = L::shiftNarrow32(L::maddPairs(L::interleaveLo16(cb, two), cB),
                                      L::maddPairs(L::interleaveHi16(cb, two), cB), 16);
        const W gt =
            L::shiftNarrow32(L::add32(L::maddPairs(L::interleaveLo16(cb, cr), cG), half),
                             L::add32(L::maddPairs(L::interleaveHi16(cb, cr), cG), half), 16);
        r = L::add16(L::add16(y, cr), rt);
        g = L::add16(L::sub16(y, cr), gt);
        b = L::add16(L::add16(y, L::add16(cb, cb)), bt);
    }

    static void yccToRgb(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                         int count, std::uint8_t* out, int components) {
        const W bias = L::splat16(128);
        const __m128i opaque = _mm_set1_epi8(static_cast<char>(0xFF));
        int i = 0;
        // The RGB stores may write 16 bytes for 12, so keep 4 spare bytes before the
        // row's end.
        const int vectorEnd = components == 4 ? count - 16 : count - 18;
        for (; i <= vectorEnd; i += 16) {
            W r16[kParts], g16[kParts], b16[kParts];
            for (int p = 0; p < kParts; ++p) {
                const int at = i + p * L::words;
                convertWords(L::widenBytes(y + at), L::sub16(L::widenBytes(cb + at), bias),
                             L::sub16(L::widenBytes(cr + at), bias), r16[p], g16[p], b16[p]);
            }
            const __m128i r = L::narrow16(r16), g = L::narrow16(g16), b = L::narrow16(b16);
            const __m128i rgLo = _mm_unpacklo_epi8(r, g), rgHi = _mm_unpackhi_epi8(r, g);
            const __m128i baLo = _mm_unpacklo_epi8(b, opaque), baHi = _mm_unpackhi_epi8(b, opaque);
            const __m128i px[4] = {_mm_unpacklo_epi16(rgLo, baLo), _mm_unpackhi_epi16(rgLo, baLo),
                                   _mm_unpacklo_epi16(rgHi, baHi), _mm_unpackhi_epi16(rgHi, baHi)};
            if (components == 4) {
                for (int k = 0; k < 4; ++k)
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i + 4 * k) * 4), px[k]);
            } else {
                for (int k = 0; k < 4; ++k) L::storeRgbOfRgba(out + (i + 4 * k) * 3, px[k]);
            }
        }
        if (i < 0) i = 0;
        L::beforeNarrowCode();
        yccToRgbReference(y + i, cb + i, cr + i, count - i, out + i * components, components);
    }

    // near * 3 + far for `words` columns from p.
    static W columnSums(const std::uint8_t* near, const std::uint8_t* far) {
        const W n = L::widenBytes(near), f = L::widenBytes(far);
        return L::add16(L::add16(L::add16(n, n), n), f);
    }

    // The interior columns from `i` on, `words` at a time; each needs its left and
    // right neighbour. Returns the first column left over.
    static int upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width,
                            std::uint8_t* out, int i) {
        const W eight = L::splat16(8), seven = L::splat16(7);
        for (; i + L::words + 1 <= width; i += L::words) {
            const W c = columnSums(near + i, far + i);
            const W l = columnSums(near + i - 1, far + i - 1);
            const W r = columnSums(near + i + 1, far + i + 1);
            const W c3 = L::add16(L::add16(c, c), c);
            const W even = L::shiftRight16(L::add16(L::add16(c3, l), eight), 4);
            const W odd = L::shiftRight16(L::add16(L::add16(c3, r), seven), 4);
            // Interleaving and narrowing both stay within 128-bit halves, so the
            // columns come out in order.
            L::storeNarrowed(out + 2 * i, L::interleaveLo16(even, odd),
                             L::interleaveHi16(even, odd));
        }
        return i;
    }

    // The horizontal upsampler's interior columns from `i` on, like the 2x2 one's.
    static int upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out, int i) {
        const W one = L::splat16(1), two = L::splat16(2);
        for (; i + L::words + 1 <= width; i += L::words) {
            const W c = L::widenBytes(in + i);
            const W l = L::widenBytes(in + i - 1), r = L::widenBytes(in + i + 1);
            const W c3 = L::add16(L::add16(c, c), c);
            const W even = L::shiftRight16(L::add16(L::add16(c3, l), one), 2);
            const W odd = L::shiftRight16(L::add16(L::add16(c3, r), two), 2);
            L::storeNarrowed(out + 2 * i, L::interleaveLo16(even, odd),
                             L::interleaveHi16(even, odd));
        }
        return i;
    }

    // The vertical upsampler, sixteen columns a step from `i` on; returns the first
    // column left over.
    static int upsampleH1V2(const std::uint8_t* near, const std::uint8_t* far, int width, int bias,
                            std::uint8_t* out, int i) {
        const W b = L::splat16(static_cast<std::int16_t>(bias));
        for (; i + 16 <= width; i += 16) {
            W v[kParts];
            for (int p = 0; p < kParts; ++p) {
                const W n = L::widenBytes(near + i + p * L::words);
                const W f = L::widenBytes(far + i + p * L::words);
                v[p] = L::shiftRight16(L::add16(L::add16(L::add16(n, n), n), L::add16(f, b)), 2);
            }
            L::store128(out + i, L::narrow16(v));
        }
        return i;
    }
};

#endif

} // namespace
} // namespace corvid::jpeg::color_detail
