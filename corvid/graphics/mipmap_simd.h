#pragma once
// The mipmap's row kernels, written once over the lanes of corvid/simd: one RGBA
// pixel, one pair of depths or one sum per 32-bit lane. Internal linkage only, so
// the copies built for different instruction sets never meet.
//
// Colour is filtered two channels per word: masking with 0x00FF00FF keeps red and
// blue (shifted by 8 first: green and alpha) each in 16 bits, and no sum reaches
// 16 bits (2 x 2 box: 1022; cubic: 8 x 255 per pass, 16352 with rounding), so the
// halves never carry into each other. The results, at most 255, need no clamp. The
// row ends go through the same formulas on single words.

#include "corvid/core/compiler.h"
#include "corvid/graphics/mipmap_kernel.h"
#include "corvid/simd/scalar.h"

#include <cstdint>

namespace corvid::mipmap_detail {
namespace {

template <class T>
struct MipRows {
    using VI = typename T::VI;
    typedef CORVID_VECTOR(std::uint32_t, sizeof(VI)) VW;
    static constexpr int N = T::lanes;
    static constexpr std::uint32_t halves = 0x00FF00FFu;

    static VW load(const void* p) { return (VW)T::load(p); }
    static void store(void* p, VW v) { T::store(p, (VI)v); }
    static std::uint32_t loadWord(const void* p) {
        std::uint32_t w;
        simd::copyBytes(&w, p, sizeof w);
        return w;
    }
    static void storeWord(void* p, std::uint32_t w) { simd::copyBytes(p, &w, sizeof w); }
    static VW evens(VW a, VW b) { return (VW)T::evens((VI)a, (VI)b); }
    static VW odds(VW a, VW b) { return (VW)T::odds((VI)a, (VI)b); }
    // Products of values below 256.
    template <class V>
    static V mul(V a, V b) {
        if constexpr (sizeof(V) == sizeof(std::uint32_t)) {
            return a * b;
        } else {
            return (V)T::mulSmall((VI)a, (VI)b);
        }
    }

    // ---- Pixel formulas, on one word or a vector of them ----

    template <class V>
    static V box(V p, V q, V s, V t) {
        const V rb = (p & halves) + (q & halves) + (s & halves) + (t & halves) + 0x00020002u;
        const V ga = ((p >> 8) & halves) + ((q >> 8) & halves) + ((s >> 8) & halves) +
                     ((t >> 8) & halves) + 0x00020002u;
        return ((rb >> 2) & halves) | (((ga >> 2) & halves) << 8);
    }

    // Sums of colour x alpha reach 4 x 255 x 255, so they take whole words; the
    // result is at most 254.
    template <class V>
    static V alphaBox(V p, V q, V s, V t) {
        const V ap = p >> 24, aq = q >> 24, as = s >> 24, at = t >> 24;
        V out{};
        for (int shift = 0; shift < 32; shift += 8) {
            const V sum = mul<V>(ap, (p >> shift) & 255u) + mul<V>(aq, (q >> shift) & 255u) +
                          mul<V>(as, (s >> shift) & 255u) + mul<V>(at, (t >> shift) & 255u);
            out |= ((sum + 512u) >> 10) << shift;
        }
        return out;
    }

    template <class V>
    static V depthPairs(V a, V b) {
        return ((a & 0xFFFFu) + (a >> 16) + (b & 0xFFFFu) + (b >> 16) + 2u) >> 2;
    }

    template <class V>
    static V column(V p0, V p1, V p2, V p3) {
        const V mid = p1 + p2;
        return p0 + p3 + mid + mid + mid;
    }

    // Output from four neighbouring vertical sums; `fields` keeps the channels of a
    // colour plane apart (all ones for a depth).
    template <class V>
    static V horizontal(V t0, V t1, V t2, V t3, std::uint32_t round, std::uint32_t fields) {
        const V mid = t1 + t2;
        return ((t0 + t3 + mid + mid + mid + round) >> 6) & fields;
    }

    // ---- Rows ----

    static void colourBox(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                          std::int32_t x0, std::int32_t x1) {
        std::int32_t x = x0;
        for (; x + N <= x1; x += N) {
            const VW a0 = load(a + 8 * x), a1 = load(a + 8 * x + 4 * N);
            const VW b0 = load(b + 8 * x), b1 = load(b + 8 * x + 4 * N);
            store(out + 4 * x, box(evens(a0, a1), odds(a0, a1), evens(b0, b1), odds(b0, b1)));
        }
        for (; x < x1; ++x)
            storeWord(out + 4 * x, box(loadWord(a + 8 * x), loadWord(a + 8 * x + 4),
                                       loadWord(b + 8 * x), loadWord(b + 8 * x + 4)));
    }

    static void colourAlphaBox(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                               std::int32_t x0, std::int32_t x1) {
        std::int32_t x = x0;
        for (; x + N <= x1; x += N) {
            const VW a0 = load(a + 8 * x), a1 = load(a + 8 * x + 4 * N);
            const VW b0 = load(b + 8 * x), b1 = load(b + 8 * x + 4 * N);
            store(out + 4 * x, alphaBox(evens(a0, a1), odds(a0, a1), evens(b0, b1), odds(b0, b1)));
        }
        for (; x < x1; ++x)
            storeWord(out + 4 * x, alphaBox(loadWord(a + 8 * x), loadWord(a + 8 * x + 4),
                                            loadWord(b + 8 * x), loadWord(b + 8 * x + 4)));
    }

    // A word of a depth row holds two neighbouring depths, the pair one output reads.
    static void depthBox(const std::uint16_t* a, const std::uint16_t* b, std::uint16_t* out,
                         std::int32_t x0, std::int32_t x1) {
        std::int32_t x = x0;
        for (; x + N <= x1; x += N)
            T::storeU16(out + x, (VI)depthPairs(load(a + 2 * x), load(b + 2 * x)));
        for (; x < x1; ++x)
            out[x] =
                static_cast<std::uint16_t>(depthPairs(loadWord(a + 2 * x), loadWord(b + 2 * x)));
    }

    static void colourColumns(const std::uint8_t* const* rows, std::int32_t c0, std::int32_t c1,
                              std::uint32_t* redBlue, std::uint32_t* greenAlpha) {
        std::int32_t c = c0;
        for (; c + N <= c1; c += N) {
            const VW p0 = load(rows[0] + 4 * c), p1 = load(rows[1] + 4 * c);
            const VW p2 = load(rows[2] + 4 * c), p3 = load(rows[3] + 4 * c);
            store(redBlue + (c - c0), column(p0 & halves, p1 & halves, p2 & halves, p3 & halves));
            store(greenAlpha + (c - c0), column((p0 >> 8) & halves, (p1 >> 8) & halves,
                                                (p2 >> 8) & halves, (p3 >> 8) & halves));
        }
        for (; c < c1; ++c) {
            const std::uint32_t p0 = loadWord(rows[0] + 4 * c), p1 = loadWord(rows[1] + 4 * c);
            const std::uint32_t p2 = loadWord(rows[2] + 4 * c), p3 = loadWord(rows[3] + 4 * c);
            redBlue[c - c0] = column(p0 & halves, p1 & halves, p2 & halves, p3 & halves);
            greenAlpha[c - c0] = column((p0 >> 8) & halves, (p1 >> 8) & halves, (p2 >> 8) & halves,
                                        (p3 >> 8) & halves);
        }
    }

    static void depthColumns(const std::uint16_t* const* rows, std::int32_t c0, std::int32_t c1,
                             std::uint32_t* sums) {
        std::int32_t c = c0;
        for (; c + N <= c1; c += N)
            store(sums + (c - c0),
                  column((VW)T::loadU16(rows[0] + c), (VW)T::loadU16(rows[1] + c),
                         (VW)T::loadU16(rows[2] + c), (VW)T::loadU16(rows[3] + c)));
        for (; c < c1; ++c)
            sums[c - c0] = column<std::uint32_t>(rows[0][c], rows[1][c], rows[2][c], rows[3][c]);
    }

    // Output i reads sums 2i .. 2i + 3: the even and odd sums from 2i, then from 2i + 2.
    static VW horizontalAt(const std::uint32_t* t, std::int32_t i, std::uint32_t round,
                           std::uint32_t fields) {
        const VW x0 = load(t + 2 * i), x1 = load(t + 2 * i + N);
        const VW y0 = load(t + 2 * i + 2), y1 = load(t + 2 * i + 2 + N);
        return horizontal(evens(x0, x1), odds(x0, x1), evens(y0, y1), odds(y0, y1), round, fields);
    }
    static std::uint32_t horizontalAt1(const std::uint32_t* t, std::int32_t i, std::uint32_t round,
                                       std::uint32_t fields) {
        return horizontal(t[2 * i], t[2 * i + 1], t[2 * i + 2], t[2 * i + 3], round, fields);
    }

    static void colourHorizontal(const std::uint32_t* redBlue, const std::uint32_t* greenAlpha,
                                 std::uint8_t* out, std::int32_t n) {
        constexpr std::uint32_t round = 0x00200020u;
        std::int32_t i = 0;
        for (; i + N <= n; i += N)
            store(out + 4 * i, horizontalAt(redBlue, i, round, halves) |
                                   (horizontalAt(greenAlpha, i, round, halves) << 8));
        for (; i < n; ++i)
            storeWord(out + 4 * i, horizontalAt1(redBlue, i, round, halves) |
                                       (horizontalAt1(greenAlpha, i, round, halves) << 8));
    }

    // Sums reach 8 x 8 x 65535 + 32, so every output fits 16 bits unclamped.
    static void depthHorizontal(const std::uint32_t* sums, std::uint16_t* out, std::int32_t n) {
        std::int32_t i = 0;
        for (; i + N <= n; i += N) T::storeU16(out + i, (VI)horizontalAt(sums, i, 32u, ~0u));
        for (; i < n; ++i) out[i] = static_cast<std::uint16_t>(horizontalAt1(sums, i, 32u, ~0u));
    }

    static constexpr RowKernels kernels{&colourBox,      &colourAlphaBox, &depthBox,
                                        &colourColumns,  &depthColumns,   &colourHorizontal,
                                        &depthHorizontal};
};

} // namespace
} // namespace corvid::mipmap_detail
