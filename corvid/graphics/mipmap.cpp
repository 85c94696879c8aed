#include "corvid/graphics/mipmap.h"

#include "corvid/core/compiler.h"
#include "corvid/core/error.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>
#include <immintrin.h>

namespace corvid {

namespace {

// The cubic filter works on chunks of this many output pixels so that its
// intermediate row (the vertical 1-3-3-1 sums) fits on the stack.
constexpr int cubicChunk = 256;
constexpr int cubicColumns = 2 * cubicChunk + 2;

inline int clampIndex(int i, int last) {
    return i < 0 ? 0 : (i > last ? last : i);
}

// ---- Per-pixel arithmetic: the row kernels fall back to these for row ends. ----

inline RGBA boxPixel(const RGBA* a, const RGBA* b, int x) {
    const RGBA p = a[2 * x], q = a[2 * x + 1], s = b[2 * x], t = b[2 * x + 1];
    return {uint8_t((p.r + q.r + s.r + t.r + 2) >> 2), uint8_t((p.g + q.g + s.g + t.g + 2) >> 2),
            uint8_t((p.b + q.b + s.b + t.b + 2) >> 2), uint8_t((p.a + q.a + s.a + t.a + 2) >> 2)};
}

inline L16 boxPixel(const L16* a, const L16* b, int x) {
    return L16(
        uint16_t((uint32_t(a[2 * x].l) + a[2 * x + 1].l + b[2 * x].l + b[2 * x + 1].l + 2) >> 2));
}

inline uint8_t weighted(uint32_t sum) {
    const uint32_t v = (sum + 512) >> 10;
    return uint8_t(v > 255 ? 255 : v);
}

inline RGBA alphaBoxPixel(const RGBA* a, const RGBA* b, int x) {
    const RGBA p = a[2 * x], q = a[2 * x + 1], s = b[2 * x], t = b[2 * x + 1];
    auto sum = [&](auto c) {
        return uint32_t(p.a) * c(p) + uint32_t(q.a) * c(q) + uint32_t(s.a) * c(s) +
               uint32_t(t.a) * c(t);
    };
    return {weighted(sum([](RGBA v) { return v.r; })), weighted(sum([](RGBA v) { return v.g; })),
            weighted(sum([](RGBA v) { return v.b; })), weighted(sum([](RGBA v) { return v.a; }))};
}

// Vertical 1-3-3-1 sums of one source column, 4 channels (RGBA) or 1 (L16).
inline void cubicColumn(const RGBA* const rows[4], int c, uint16_t* out) {
    const uint8_t* p0 = &rows[0][c].r;
    const uint8_t* p1 = &rows[1][c].r;
    const uint8_t* p2 = &rows[2][c].r;
    const uint8_t* p3 = &rows[3][c].r;
    for (int k = 0; k < 4; ++k) out[k] = uint16_t(p0[k] + 3 * (p1[k] + p2[k]) + p3[k]);
}

inline void cubicColumn(const L16* const rows[4], int c, uint32_t* out) {
    out[0] = uint32_t(rows[0][c].l) + 3 * (uint32_t(rows[1][c].l) + rows[2][c].l) + rows[3][c].l;
}

inline RGBA cubicHorizontal(const uint16_t* t) {
    uint8_t v[4];
    for (int k = 0; k < 4; ++k) {
        const uint32_t s =
            (uint32_t(t[k]) + 3 * (uint32_t(t[4 + k]) + t[8 + k]) + t[12 + k] + 32) >> 6;
        v[k] = uint8_t(s > 255 ? 255 : s);
    }
    return {v[0], v[1], v[2], v[3]};
}

inline L16 cubicHorizontal(const uint32_t* t) {
    const uint32_t s = (t[0] + 3 * (t[1] + t[2]) + t[3] + 32) >> 6;
    return L16(uint16_t(s > 65535 ? 65535 : s));
}

template <typename T>
struct CubicTemp;
template <>
struct CubicTemp<RGBA> {
    using type = uint16_t;
    static constexpr int lanes = 4;
};
template <>
struct CubicTemp<L16> {
    using type = uint32_t;
    static constexpr int lanes = 1;
};

// ---- Row kernels ----
// Each writes output pixels [x0, x1) of one row from the source row(s) above it.

using BoxRGBAFn = void (*)(const RGBA*, const RGBA*, RGBA*, int, int);
using BoxL16Fn = void (*)(const L16*, const L16*, L16*, int, int);
using ColumnsRGBAFn = void (*)(const RGBA* const*, int, int, uint16_t*);
using ColumnsL16Fn = void (*)(const L16* const*, int, int, uint32_t*);
using HorizRGBAFn = void (*)(const uint16_t*, RGBA*, int);
using HorizL16Fn = void (*)(const uint32_t*, L16*, int);

struct Kernels {
    BoxRGBAFn boxRGBA;
    BoxRGBAFn alphaBoxRGBA;
    BoxL16Fn boxL16;
    ColumnsRGBAFn columnsRGBA; // vertical sums of columns [c0, c1) into temp
    ColumnsL16Fn columnsL16;
    HorizRGBAFn horizRGBA; // n outputs from temp (4 + 2n - 2 columns)
    HorizL16Fn horizL16;
};

void boxRGBAScalar(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    for (int x = x0; x < x1; ++x) out[x] = boxPixel(a, b, x);
}
void alphaBoxRGBAScalar(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    for (int x = x0; x < x1; ++x) out[x] = alphaBoxPixel(a, b, x);
}
void boxL16Scalar(const L16* a, const L16* b, L16* out, int x0, int x1) {
    for (int x = x0; x < x1; ++x) out[x] = boxPixel(a, b, x);
}
void columnsRGBAScalar(const RGBA* const* rows, int c0, int c1, uint16_t* t) {
    for (int c = c0; c < c1; ++c, t += 4) cubicColumn(rows, c, t);
}
void columnsL16Scalar(const L16* const* rows, int c0, int c1, uint32_t* t) {
    for (int c = c0; c < c1; ++c, ++t) cubicColumn(rows, c, t);
}
void horizRGBAScalar(const uint16_t* t, RGBA* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = cubicHorizontal(t + 8 * i);
}
void horizL16Scalar(const uint32_t* t, L16* out, int n) {
    for (int i = 0; i < n; ++i) out[i] = cubicHorizontal(t + 2 * i);
}

// SSE2: the RGBA filters keep each channel in a 16-bit lane; the 2x2 sums of
// colour x alpha need 18 bits and go through pmaddwd into 32-bit lanes.

void boxRGBASse2(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    int x = x0;
    for (; x + 4 <= x1; x += 4) {
        __m128i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x + 4 * h));
            const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x + 4 * h));
            const __m128i lo =
                _mm_add_epi16(_mm_unpacklo_epi8(pa, zero), _mm_unpacklo_epi8(pb, zero));
            const __m128i hi =
                _mm_add_epi16(_mm_unpackhi_epi8(pa, zero), _mm_unpackhi_epi8(pb, zero));
            const __m128i s = _mm_add_epi16(_mm_unpacklo_epi64(lo, hi), _mm_unpackhi_epi64(lo, hi));
            half[h] = _mm_srli_epi16(_mm_add_epi16(s, two), 2);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(half[0], half[1]));
    }
    boxRGBAScalar(a, b, out, x, x1);
}

// Colour x alpha sums of two horizontally adjacent source pairs of one row:
// returns 32-bit (r, g, b, a) sums for output pixels 0 and 1 of the four pixels.
inline void alphaPairsSse2(__m128i px, __m128i& out0, __m128i& out1) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_shuffle_epi32(px, _MM_SHUFFLE(3, 1, 2, 0));
    const __m128i u = _mm_unpacklo_epi8(t, _mm_srli_si128(t, 8));
    const __m128i w0 = _mm_unpacklo_epi8(u, zero);
    const __m128i w1 = _mm_unpackhi_epi8(u, zero);
    out0 = _mm_madd_epi16(w0, _mm_shuffle_epi32(w0, 0xFF));
    out1 = _mm_madd_epi16(w1, _mm_shuffle_epi32(w1, 0xFF));
}

void alphaBoxRGBASse2(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    const __m128i round = _mm_set1_epi32(512);
    int x = x0;
    for (; x + 4 <= x1; x += 4) {
        __m128i r[4];
        for (int h = 0; h < 2; ++h) {
            __m128i a0, a1, b0, b1;
            alphaPairsSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x + 4 * h)), a0,
                           a1);
            alphaPairsSse2(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x + 4 * h)), b0,
                           b1);
            r[2 * h] = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(a0, b0), round), 10);
            r[2 * h + 1] = _mm_srli_epi32(_mm_add_epi32(_mm_add_epi32(a1, b1), round), 10);
        }
        // Sums are at most 4 x 255 x 255, so every result is below 255 and the
        // saturating packs are exact.
        const __m128i lo = _mm_packs_epi32(r[0], r[1]);
        const __m128i hi = _mm_packs_epi32(r[2], r[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(lo, hi));
    }
    alphaBoxRGBAScalar(a, b, out, x, x1);
}

// Unsigned 32-bit lanes (all below 65536) to unsigned 16-bit without SSE4.1.
inline __m128i packU32ToU16(__m128i lo, __m128i hi) {
    const __m128i bias32 = _mm_set1_epi32(32768);
    const __m128i bias16 = _mm_set1_epi16(-32768);
    const __m128i p = _mm_packs_epi32(_mm_sub_epi32(lo, bias32), _mm_sub_epi32(hi, bias32));
    return _mm_add_epi16(p, bias16);
}

void boxL16Sse2(const L16* a, const L16* b, L16* out, int x0, int x1) {
    const __m128i two = _mm_set1_epi32(2);
    const __m128i lowMask = _mm_set1_epi32(0xFFFF);
    int x = x0;
    for (; x + 8 <= x1; x += 8) {
        __m128i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x + 8 * h));
            const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x + 8 * h));
            // Even and odd source columns of each row as 32-bit lanes.
            const __m128i s =
                _mm_add_epi32(_mm_add_epi32(_mm_and_si128(pa, lowMask), _mm_srli_epi32(pa, 16)),
                              _mm_add_epi32(_mm_and_si128(pb, lowMask), _mm_srli_epi32(pb, 16)));
            half[h] = _mm_srli_epi32(_mm_add_epi32(s, two), 2);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), packU32ToU16(half[0], half[1]));
    }
    boxL16Scalar(a, b, out, x, x1);
}

void columnsRGBASse2(const RGBA* const* rows, int c0, int c1, uint16_t* t) {
    const __m128i zero = _mm_setzero_si128();
    int c = c0;
    for (; c + 4 <= c1; c += 4, t += 16) {
        __m128i p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + c));
        auto sum = [&](auto unpack) {
            const __m128i mid = _mm_add_epi16(unpack(p[1], zero), unpack(p[2], zero));
            return _mm_add_epi16(_mm_add_epi16(unpack(p[0], zero), unpack(p[3], zero)),
                                 _mm_add_epi16(mid, _mm_add_epi16(mid, mid)));
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t),
                         sum([](__m128i v, __m128i z) { return _mm_unpacklo_epi8(v, z); }));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 8),
                         sum([](__m128i v, __m128i z) { return _mm_unpackhi_epi8(v, z); }));
    }
    columnsRGBAScalar(rows, c, c1, t);
}

void columnsL16Sse2(const L16* const* rows, int c0, int c1, uint32_t* t) {
    const __m128i zero = _mm_setzero_si128();
    int c = c0;
    for (; c + 8 <= c1; c += 8, t += 8) {
        __m128i p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + c));
        auto sum = [&](auto unpack) {
            const __m128i mid = _mm_add_epi32(unpack(p[1], zero), unpack(p[2], zero));
            return _mm_add_epi32(_mm_add_epi32(unpack(p[0], zero), unpack(p[3], zero)),
                                 _mm_add_epi32(mid, _mm_add_epi32(mid, mid)));
        };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t),
                         sum([](__m128i v, __m128i z) { return _mm_unpacklo_epi16(v, z); }));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t + 4),
                         sum([](__m128i v, __m128i z) { return _mm_unpackhi_epi16(v, z); }));
    }
    columnsL16Scalar(rows, c, c1, t);
}

void horizRGBASse2(const uint16_t* t, RGBA* out, int n) {
    const __m128i round = _mm_set1_epi16(32);
    int i = 0;
    // Two outputs per half: output i reads temp columns 2i .. 2i + 3.
    for (; i + 4 <= n; i += 4) {
        __m128i half[2];
        for (int h = 0; h < 2; ++h) {
            const uint16_t* s = t + 4 * (2 * (i + 2 * h));
            const __m128i l0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            const __m128i l1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 8));
            const __m128i l2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 16));
            const __m128i outer =
                _mm_add_epi16(_mm_unpacklo_epi64(l0, l1), _mm_unpackhi_epi64(l1, l2));
            const __m128i inner =
                _mm_add_epi16(_mm_unpackhi_epi64(l0, l1), _mm_unpacklo_epi64(l1, l2));
            const __m128i sum =
                _mm_add_epi16(outer, _mm_add_epi16(inner, _mm_add_epi16(inner, inner)));
            half[h] = _mm_srli_epi16(_mm_add_epi16(sum, round), 6);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(half[0], half[1]));
    }
    horizRGBAScalar(t + 8 * i, out + i, n - i);
}

inline __m128 evens(__m128i a, __m128i b) {
    return _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0));
}
inline __m128 odds(__m128i a, __m128i b) {
    return _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(3, 1, 3, 1));
}

void horizL16Sse2(const uint32_t* t, L16* out, int n) {
    const __m128i round = _mm_set1_epi32(32);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i half[2];
        for (int h = 0; h < 2; ++h) {
            const uint32_t* s = t + 2 * (i + 4 * h);
            const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            const __m128i x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4));
            const __m128i y0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2));
            const __m128i y1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 6));
            const __m128i outer =
                _mm_add_epi32(_mm_castps_si128(evens(x0, x1)), _mm_castps_si128(odds(y0, y1)));
            const __m128i inner =
                _mm_add_epi32(_mm_castps_si128(odds(x0, x1)), _mm_castps_si128(evens(y0, y1)));
            const __m128i sum =
                _mm_add_epi32(outer, _mm_add_epi32(inner, _mm_add_epi32(inner, inner)));
            half[h] = _mm_srli_epi32(_mm_add_epi32(sum, round), 6);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packU32ToU16(half[0], half[1]));
    }
    horizL16Scalar(t + 2 * i, out + i, n - i);
}

// AVX2: the same lane arithmetic as SSE2 on two 128-bit halves at once. The
// in-lane shuffles leave outputs in the order (0 1 4 5 | 2 3 6 7) per 64-bit
// chunk, which one cross-lane permute restores.

#define CORVID_AVX2 CORVID_TARGET("avx2")

// Every AVX2 kernel clears the upper register halves before it returns or hands
// the row end to SSE code: the compiler does not always do it for functions with a
// target attribute, and a dirty upper state slows every later SSE instruction on
// that thread (the compositor's included).

CORVID_AVX2 inline __m256i fixLaneOrder(__m256i v) {
    return _mm256_permute4x64_epi64(v, _MM_SHUFFLE(3, 1, 2, 0));
}

CORVID_AVX2 void boxRGBAAvx2(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i two = _mm256_set1_epi16(2);
    int x = x0;
    for (; x + 8 <= x1; x += 8) {
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i pa =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 2 * x + 8 * h));
            const __m256i pb =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 2 * x + 8 * h));
            const __m256i lo =
                _mm256_add_epi16(_mm256_unpacklo_epi8(pa, zero), _mm256_unpacklo_epi8(pb, zero));
            const __m256i hi =
                _mm256_add_epi16(_mm256_unpackhi_epi8(pa, zero), _mm256_unpackhi_epi8(pb, zero));
            const __m256i sum =
                _mm256_add_epi16(_mm256_unpacklo_epi64(lo, hi), _mm256_unpackhi_epi64(lo, hi));
            half[h] = _mm256_srli_epi16(_mm256_add_epi16(sum, two), 2);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            fixLaneOrder(_mm256_packus_epi16(half[0], half[1])));
    }
    _mm256_zeroupper();
    boxRGBASse2(a, b, out, x, x1);
}

CORVID_AVX2 inline void alphaPairsAvx2(__m256i px, __m256i& out0, __m256i& out1) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i t = _mm256_shuffle_epi32(px, _MM_SHUFFLE(3, 1, 2, 0));
    const __m256i u = _mm256_unpacklo_epi8(t, _mm256_srli_si256(t, 8));
    const __m256i w0 = _mm256_unpacklo_epi8(u, zero);
    const __m256i w1 = _mm256_unpackhi_epi8(u, zero);
    out0 = _mm256_madd_epi16(w0, _mm256_shuffle_epi32(w0, 0xFF));
    out1 = _mm256_madd_epi16(w1, _mm256_shuffle_epi32(w1, 0xFF));
}

CORVID_AVX2 void alphaBoxRGBAAvx2(const RGBA* a, const RGBA* b, RGBA* out, int x0, int x1) {
    const __m256i round = _mm256_set1_epi32(512);
    int x = x0;
    for (; x + 8 <= x1; x += 8) {
        __m256i r[4];
        for (int h = 0; h < 2; ++h) {
            __m256i a0, a1, b0, b1;
            alphaPairsAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 2 * x + 8 * h)),
                           a0, a1);
            alphaPairsAvx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 2 * x + 8 * h)),
                           b0, b1);
            r[2 * h] = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(a0, b0), round), 10);
            r[2 * h + 1] = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(a1, b1), round), 10);
        }
        const __m256i lo = _mm256_packs_epi32(r[0], r[1]);
        const __m256i hi = _mm256_packs_epi32(r[2], r[3]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            fixLaneOrder(_mm256_packus_epi16(lo, hi)));
    }
    _mm256_zeroupper();
    alphaBoxRGBASse2(a, b, out, x, x1);
}

CORVID_AVX2 inline __m256i widenRGBA(const RGBA* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

CORVID_AVX2 void columnsRGBAAvx2(const RGBA* const* rows, int c0, int c1, uint16_t* t) {
    int c = c0;
    for (; c + 4 <= c1; c += 4, t += 16) {
        const __m256i mid = _mm256_add_epi16(widenRGBA(rows[1] + c), widenRGBA(rows[2] + c));
        const __m256i outer = _mm256_add_epi16(widenRGBA(rows[0] + c), widenRGBA(rows[3] + c));
        const __m256i sum =
            _mm256_add_epi16(outer, _mm256_add_epi16(mid, _mm256_add_epi16(mid, mid)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(t), sum);
    }
    _mm256_zeroupper();
    columnsRGBAScalar(rows, c, c1, t);
}

CORVID_AVX2 inline __m256i loadPair(const uint16_t* lo, const uint16_t* hi) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lo))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(hi)), 1);
}

CORVID_AVX2 void horizRGBAAvx2(const uint16_t* t, RGBA* out, int n) {
    const __m256i round = _mm256_set1_epi16(32);
    int i = 0;
    // Low lane: outputs i, i + 1; high lane: i + 2, i + 3 (temp columns 2i + 4 on).
    for (; i + 8 <= n; i += 8) {
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const uint16_t* s = t + 4 * (2 * (i + 4 * h));
            const __m256i l0 = loadPair(s, s + 16);
            const __m256i l1 = loadPair(s + 8, s + 24);
            const __m256i l2 = loadPair(s + 16, s + 32);
            const __m256i outer =
                _mm256_add_epi16(_mm256_unpacklo_epi64(l0, l1), _mm256_unpackhi_epi64(l1, l2));
            const __m256i inner =
                _mm256_add_epi16(_mm256_unpackhi_epi64(l0, l1), _mm256_unpacklo_epi64(l1, l2));
            const __m256i sum =
                _mm256_add_epi16(outer, _mm256_add_epi16(inner, _mm256_add_epi16(inner, inner)));
            half[h] = _mm256_srli_epi16(_mm256_add_epi16(sum, round), 6);
        }
        // Lanes hold outputs (0 1 | 2 3) and (4 5 | 6 7); packing interleaves them.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            fixLaneOrder(_mm256_packus_epi16(half[0], half[1])));
    }
    _mm256_zeroupper();
    horizRGBASse2(t + 8 * i, out + i, n - i);
}

CORVID_AVX2 void boxL16Avx2(const L16* a, const L16* b, L16* out, int x0, int x1) {
    const __m256i two = _mm256_set1_epi32(2);
    const __m256i lowMask = _mm256_set1_epi32(0xFFFF);
    int x = x0;
    for (; x + 16 <= x1; x += 16) {
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m256i pa =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 2 * x + 16 * h));
            const __m256i pb =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 2 * x + 16 * h));
            const __m256i sa =
                _mm256_add_epi32(_mm256_and_si256(pa, lowMask), _mm256_srli_epi32(pa, 16));
            const __m256i sb =
                _mm256_add_epi32(_mm256_and_si256(pb, lowMask), _mm256_srli_epi32(pb, 16));
            half[h] = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(sa, sb), two), 2);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            fixLaneOrder(_mm256_packus_epi32(half[0], half[1])));
    }
    _mm256_zeroupper();
    boxL16Sse2(a, b, out, x, x1);
}

CORVID_AVX2 inline __m256i widenL16(const L16* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

CORVID_AVX2 void columnsL16Avx2(const L16* const* rows, int c0, int c1, uint32_t* t) {
    int c = c0;
    for (; c + 8 <= c1; c += 8, t += 8) {
        const __m256i mid = _mm256_add_epi32(widenL16(rows[1] + c), widenL16(rows[2] + c));
        const __m256i outer = _mm256_add_epi32(widenL16(rows[0] + c), widenL16(rows[3] + c));
        const __m256i sum =
            _mm256_add_epi32(outer, _mm256_add_epi32(mid, _mm256_add_epi32(mid, mid)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(t), sum);
    }
    _mm256_zeroupper();
    columnsL16Scalar(rows, c, c1, t);
}

CORVID_AVX2 inline __m256i evens256(__m256i a, __m256i b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}
CORVID_AVX2 inline __m256i odds256(__m256i a, __m256i b) {
    return _mm256_castps_si256(
        _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), _MM_SHUFFLE(3, 1, 3, 1)));
}

CORVID_AVX2 void horizL16Avx2(const uint32_t* t, L16* out, int n) {
    const __m256i round = _mm256_set1_epi32(32);
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const uint32_t* s = t + 2 * i;
        const __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 8));
        const __m256i y0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 2));
        const __m256i y1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + 10));
        const __m256i outer = _mm256_add_epi32(evens256(x0, x1), odds256(y0, y1));
        const __m256i inner = _mm256_add_epi32(odds256(x0, x1), evens256(y0, y1));
        const __m256i sum =
            _mm256_add_epi32(outer, _mm256_add_epi32(inner, _mm256_add_epi32(inner, inner)));
        // In-lane shuffles leave the outputs as (0 1 4 5 | 2 3 6 7).
        const __m256i v = fixLaneOrder(_mm256_srli_epi32(_mm256_add_epi32(sum, round), 6));
        const __m128i packed =
            _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
    _mm256_zeroupper();
    horizL16Sse2(t + 2 * i, out + i, n - i);
}

constexpr Kernels sse2Kernels{boxRGBASse2,    alphaBoxRGBASse2, boxL16Sse2,  columnsRGBASse2,
                              columnsL16Sse2, horizRGBASse2,    horizL16Sse2};
constexpr Kernels avx2Kernels{boxRGBAAvx2,    alphaBoxRGBAAvx2, boxL16Avx2,  columnsRGBAAvx2,
                              columnsL16Avx2, horizRGBAAvx2,    horizL16Avx2};

const Kernels& kernelsFor(Isa isa) {
    return *IsaBodies<const Kernels*>{&sse2Kernels, &avx2Kernels}[isa];
}

// ---- Whole-rectangle filters ----

template <typename T>
void boxRows(const Kernels& k, MipFilter filter, const OwnedImage<T>& src, OwnedImage<T>& dst,
             const IntRect& r) {
    for (int y = r.minY; y < r.maxY; ++y) {
        const T* a = src.rowSpan(2 * y).data();
        const T* b = src.rowSpan(2 * y + 1).data();
        T* out = dst.rowSpan(y).data();
        if constexpr (std::is_same_v<T, RGBA>) {
            (filter == MipFilter::alphaWeightedBox ? k.alphaBoxRGBA : k.boxRGBA)(a, b, out, r.minX,
                                                                                 r.maxX);
        } else {
            k.boxL16(a, b, out, r.minX, r.maxX);
        }
    }
}

template <typename T>
void cubicRows(const Kernels& k, const OwnedImage<T>& src, OwnedImage<T>& dst, const IntRect& r) {
    using Temp = typename CubicTemp<T>::type;
    constexpr int lanes = CubicTemp<T>::lanes;
    alignas(32) Temp temp[cubicColumns * lanes];
    const int lastCol = src.width() - 1;
    const int lastRow = src.height() - 1;
    for (int y = r.minY; y < r.maxY; ++y) {
        const T* rows[4];
        for (int j = 0; j < 4; ++j)
            rows[j] = src.rowSpan(clampIndex(2 * y - 1 + j, lastRow)).data();
        T* out = dst.rowSpan(y).data();
        for (int xa = r.minX; xa < r.maxX; xa += cubicChunk) {
            const int n = std::min(cubicChunk, r.maxX - xa);
            // temp[k] holds source column 2 xa - 1 + k, edges repeated.
            const int first = 2 * xa - 1;
            const int count = 2 * n + 2;
            const int c0 = std::max(first, 0);
            const int c1 = std::min(first + count, lastCol + 1);
            Temp* t = temp + (c0 - first) * lanes;
            if constexpr (std::is_same_v<T, RGBA>) {
                k.columnsRGBA(rows, c0, c1, t);
            } else {
                k.columnsL16(rows, c0, c1, t);
            }
            if (first < 0) std::memcpy(temp, temp + lanes, sizeof(Temp) * lanes);
            for (int c = c1; c < first + count; ++c)
                std::memcpy(temp + (c - first) * lanes, temp + (c1 - 1 - first) * lanes,
                            sizeof(Temp) * lanes);
            if constexpr (std::is_same_v<T, RGBA>) {
                k.horizRGBA(temp, out + xa, n);
            } else {
                k.horizL16(temp, out + xa, n);
            }
        }
    }
}

} // namespace

template <typename T>
int Mipmap<T>::levelCountFor(int maxLevel, int32_t width, int32_t height) {
    int n = 0;
    while (n <= maxLevel && n < 31 && (width >> n) > 0 && (height >> n) > 0) ++n;
    return n;
}

template <typename T>
Mipmap<T>::Mipmap(int maxLevel, int32_t width, int32_t height) {
    size(levelCountFor(maxLevel, width, height), width, height);
}

template <typename T>
Mipmap<T>::Mipmap(std::unique_ptr<OwnedImage<T>> image, int maxLevel) {
    if (!image) return;
    const int32_t w = image->width();
    const int32_t h = image->height();
    const int n = levelCountFor(maxLevel, w, h);
    if (n == 0) return;
    levels.push_back(std::move(image));
    for (int k = 1; k < n; ++k) levels.push_back(std::make_unique<OwnedImage<T>>(w >> k, h >> k));
    IntRect r{0, 0, w, h};
    for (int k = 1; k < n; ++k)
        r = buildNextLevel(k <= 2 ? MipFilter::box : MipFilter::cubic, k, r);
}

template <typename T>
void Mipmap<T>::size(int levelCount, int32_t width, int32_t height) {
    levels.clear();
    const int n = std::min(levelCount, levelCountFor(30, width, height));
    for (int k = 0; k < n; ++k)
        levels.push_back(std::make_unique<OwnedImage<T>>(width >> k, height >> k));
}

template <typename T>
IntRect Mipmap<T>::nextLevelRect(MipFilter filter, int lvl, const IntRect& rect) const {
    if (lvl < 1 || lvl >= levelCount() || rect.isEmpty()) return {};
    const OwnedImage<T>& src = level(lvl - 1);
    const OwnedImage<T>& dst = level(lvl);
    const IntRect whole{0, 0, dst.width(), dst.height()};
    if (src.width() <= 1 || src.height() <= 1) return whole;
    // 64-bit so rectangles near the int32 limits cannot overflow before clipping.
    int64_t x0, y0, x1, y1;
    if (filter == MipFilter::cubic) {
        x0 = (int64_t(rect.minX) - 1) / 2;
        y0 = (int64_t(rect.minY) - 1) / 2;
        x1 = (int64_t(rect.maxX) + 2) / 2;
        y1 = (int64_t(rect.maxY) + 2) / 2;
    } else {
        x0 = int64_t(rect.minX) / 2;
        y0 = int64_t(rect.minY) / 2;
        x1 = (int64_t(rect.maxX) + 1) / 2;
        y1 = (int64_t(rect.maxY) + 1) / 2;
    }
    auto clip = [](int64_t v, int32_t hi) { return int32_t(std::clamp<int64_t>(v, 0, hi)); };
    const IntRect r{clip(x0, whole.maxX), clip(y0, whole.maxY), clip(x1, whole.maxX),
                    clip(y1, whole.maxY)};
    return r.isEmpty() ? IntRect{} : r;
}

template <typename T>
IntRect Mipmap<T>::buildNextLevel(MipFilter filter, int lvl, const IntRect& rect, Isa isa) {
    if constexpr (!std::is_same_v<T, RGBA>) {
        if (filter == MipFilter::alphaWeightedBox) fatalError("alphaWeightedBox needs RGBA pixels");
    }
    const IntRect r = nextLevelRect(filter, lvl, rect);
    if (r.isEmpty()) return r;
    const Kernels& k = kernelsFor(isa);
    if (filter == MipFilter::cubic) {
        cubicRows(k, level(lvl - 1), level(lvl), r);
    } else {
        boxRows(k, filter, level(lvl - 1), level(lvl), r);
    }
    return r;
}

namespace {
inline float lerp2(float p00, float p10, float p01, float p11, float fu, float fv) {
    return (1.0f - fv) * ((1.0f - fu) * p00 + fu * p10) + fv * ((1.0f - fu) * p01 + fu * p11);
}
} // namespace

template <typename T>
typename Mipmap<T>::Sample Mipmap<T>::sampleBilinear(int lvl, float x, float y) const {
    if (levels.empty()) return Sample{};
    lvl = std::clamp(lvl, 0, levelCount() - 1);
    const OwnedImage<T>& img = level(lvl);
    const float scale = 1.0f / float(1u << lvl);
    // The upper clamp comes first so a one-pixel-wide level reads its pixel with
    // weight 1 instead of extrapolating past it.
    float u = std::max(std::min(x * scale - 0.5f, float(img.width()) - 1.001f), 0.0f);
    float v = std::max(std::min(y * scale - 0.5f, float(img.height()) - 1.001f), 0.0f);
    if (!(u == u)) u = 0.0f;
    if (!(v == v)) v = 0.0f;
    const int i = int(u);
    const int j = int(v);
    const float fu = u - float(i);
    const float fv = v - float(j);
    const int i1 = std::min(i + 1, img.width() - 1);
    const int j1 = std::min(j + 1, img.height() - 1);
    const T& p00 = img.pixelAt(i, j);
    const T& p10 = img.pixelAt(i1, j);
    const T& p01 = img.pixelAt(i, j1);
    const T& p11 = img.pixelAt(i1, j1);
    if constexpr (std::is_same_v<T, RGBA>) {
        return {
            lerp2(p00.r, p10.r, p01.r, p11.r, fu, fv), lerp2(p00.g, p10.g, p01.g, p11.g, fu, fv),
            lerp2(p00.b, p10.b, p01.b, p11.b, fu, fv), lerp2(p00.a, p10.a, p01.a, p11.a, fu, fv)};
    } else {
        return lerp2(p00.l, p10.l, p01.l, p11.l, fu, fv);
    }
}

template class Mipmap<RGBA>;
template class Mipmap<L16>;

} // namespace corvid
