#include "corvid/graphics/codecs/jpegcolor.h"

#include "corvid/core/compiler.h"
#include "corvid/core/isa.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace corvid::jpeg {

namespace {

// The triangle filters written per input column, with the row ends treated as if the
// edge sample were repeated; that reproduces the usual special cases for the first and
// last column exactly.
inline void h2v1Columns(const std::uint8_t* in, int width, std::uint8_t* out, int from, int to) {
    for (int i = from; i < to; ++i) {
        const int v = in[i] * 3;
        const int left = in[i > 0 ? i - 1 : 0], right = in[i + 1 < width ? i + 1 : i];
        out[2 * i] = static_cast<std::uint8_t>((v + left + 1) >> 2);
        out[2 * i + 1] = static_cast<std::uint8_t>((v + right + 2) >> 2);
    }
}

inline void h2v2Columns(const std::uint8_t* near, const std::uint8_t* far, int width,
                        std::uint8_t* out, int from, int to) {
    auto sum = [&](int i) { return near[i] * 3 + far[i]; };
    for (int i = from; i < to; ++i) {
        const int cur = sum(i) * 3;
        const int left = sum(i > 0 ? i - 1 : 0), right = sum(i + 1 < width ? i + 1 : i);
        out[2 * i] = static_cast<std::uint8_t>((cur + left + 8) >> 4);
        out[2 * i + 1] = static_cast<std::uint8_t>((cur + right + 7) >> 4);
    }
}

} // namespace

#if defined(__x86_64__)

void upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1), two = _mm_set1_epi16(2);
    h2v1Columns(in, width, out, 0, 1);
    int i = 1;
    // Eight interior columns at a time; each needs its left and right neighbour.
    for (; i + 9 <= width; i += 8) {
        auto load = [&](int at) {
            return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + at)),
                                     zero);
        };
        const __m128i c = load(i), l = load(i - 1), r = load(i + 1);
        const __m128i c3 = _mm_add_epi16(_mm_add_epi16(c, c), c);
        const __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, l), one), 2);
        const __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, r), two), 2);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + 2 * i),
            _mm_packus_epi16(_mm_unpacklo_epi16(even, odd), _mm_unpackhi_epi16(even, odd)));
    }
    h2v1Columns(in, width, out, i, width);
}

namespace {

CORVID_TARGET("avx2") inline __m256i columnSums(const std::uint8_t* near, const std::uint8_t* far) {
    const __m256i n = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(near)));
    const __m256i f = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(far)));
    return _mm256_add_epi16(_mm256_add_epi16(_mm256_add_epi16(n, n), n), f);
}

// Sixteen interior columns at a time from column `i`; returns the first column left over.
CORVID_TARGET("avx2")
int h2v2Avx2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
             int i) {
    const __m256i eight = _mm256_set1_epi16(8), seven = _mm256_set1_epi16(7);
    for (; i + 17 <= width; i += 16) {
        const __m256i c = columnSums(near + i, far + i);
        const __m256i l = columnSums(near + i - 1, far + i - 1);
        const __m256i r = columnSums(near + i + 1, far + i + 1);
        const __m256i c3 = _mm256_add_epi16(_mm256_add_epi16(c, c), c);
        const __m256i even = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(c3, l), eight), 4);
        const __m256i odd = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(c3, r), seven), 4);
        // Unpack and pack both stay within 128-bit halves, so the columns come out in order.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i),
                            _mm256_packus_epi16(_mm256_unpacklo_epi16(even, odd),
                                                _mm256_unpackhi_epi16(even, odd)));
    }
    return i;
}

// The SSE2 body has no wide step of its own: its loop below takes the whole row.
int h2v2NoWideStep(const std::uint8_t*, const std::uint8_t*, int, std::uint8_t*, int i) {
    return i;
}

} // namespace

void upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
                  Isa isa) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i eight = _mm_set1_epi16(8), seven = _mm_set1_epi16(7);
    h2v2Columns(near, far, width, out, 0, 1);
    using WideStep = int (*)(const std::uint8_t*, const std::uint8_t*, int, std::uint8_t*, int);
    int i = IsaBodies<WideStep>{&h2v2NoWideStep, &h2v2Avx2}[isa](near, far, width, out, 1);
    for (; i + 9 <= width; i += 8) {
        auto sum = [&](int at) {
            const __m128i n = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(near + at)), zero);
            const __m128i f = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(far + at)), zero);
            return _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(n, n), n), f);
        };
        const __m128i c = sum(i), l = sum(i - 1), r = sum(i + 1);
        const __m128i c3 = _mm_add_epi16(_mm_add_epi16(c, c), c);
        const __m128i even = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, l), eight), 4);
        const __m128i odd = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(c3, r), seven), 4);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(out + 2 * i),
            _mm_packus_epi16(_mm_unpacklo_epi16(even, odd), _mm_unpackhi_epi16(even, odd)));
    }
    h2v2Columns(near, far, width, out, i, width);
}

void upsampleH1V2(const std::uint8_t* near, const std::uint8_t* far, int width, bool lowerHalf,
                  std::uint8_t* out) {
    const int bias = lowerHalf ? 2 : 1;
    const __m128i zero = _mm_setzero_si128(), b = _mm_set1_epi16(static_cast<short>(bias));
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        const __m128i n =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(near + i)), zero);
        const __m128i f =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(far + i)), zero);
        const __m128i v = _mm_srli_epi16(
            _mm_add_epi16(_mm_add_epi16(_mm_add_epi16(n, n), n), _mm_add_epi16(f, b)), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(v, zero));
    }
    for (; i < width; ++i) out[i] = static_cast<std::uint8_t>((near[i] * 3 + far[i] + bias) >> 2);
}

#else

void upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out) {
    h2v1Columns(in, width, out, 0, width);
}

void upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
                  Isa) {
    h2v2Columns(near, far, width, out, 0, width);
}

void upsampleH1V2(const std::uint8_t* near, const std::uint8_t* far, int width, bool lowerHalf,
                  std::uint8_t* out) {
    const int bias = lowerHalf ? 2 : 1;
    for (int i = 0; i < width; ++i)
        out[i] = static_cast<std::uint8_t>((near[i] * 3 + far[i] + bias) >> 2);
}

#endif

namespace {

// JFIF conversion with 16-bit fixed-point factors, written as an integer multiple of the
// chroma plus a fraction below 1/2 so that every product fits a signed 16-bit factor:
// 1.402 = 1 + 26345/65536, 1.772 = 2 - 14942/65536, 0.71414 = 1 - 18734/65536.
constexpr int kCrR = 26345;
constexpr int kCbB = -14942;
constexpr int kCbG = -22554;
constexpr int kCrG = 18734;

inline std::uint8_t clamp255(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

inline void convertPixel(int y, int cb, int cr, std::uint8_t* o) {
    cb -= 128;
    cr -= 128;
    o[0] = clamp255(y + cr + ((kCrR * cr + 32768) >> 16));
    o[1] = clamp255(y - cr + ((kCbG * cb + kCrG * cr + 32768) >> 16));
    o[2] = clamp255(y + 2 * cb + ((kCbB * cb + 32768) >> 16));
}

} // namespace

void yccToRgbReference(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                       int count, std::uint8_t* out, int components) {
    for (int i = 0; i < count; ++i, out += components) {
        convertPixel(y[i], cb[i], cr[i], out);
        if (components == 4) out[3] = 255;
    }
}

#if defined(__x86_64__)

namespace {

inline __m128i pair16(int a, int b) {
    return _mm_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(b) << 16) |
                                           (static_cast<std::uint32_t>(a) & 0xFFFFu)));
}

// Eight pixels in 16-bit lanes; returns R, G, B as 16-bit (unclamped) values.
inline void convert8(__m128i y, __m128i cb, __m128i cr, __m128i& r, __m128i& g, __m128i& b) {
    const __m128i two = _mm_set1_epi16(2);
    const __m128i half = _mm_set1_epi32(32768);
    const __m128i crTwoLo = _mm_unpacklo_epi16(cr, two), crTwoHi = _mm_unpackhi_epi16(cr, two);
    const __m128i cbTwoLo = _mm_unpacklo_epi16(cb, two), cbTwoHi = _mm_unpackhi_epi16(cb, two);
    const __m128i cbCrLo = _mm_unpacklo_epi16(cb, cr), cbCrHi = _mm_unpackhi_epi16(cb, cr);
    const __m128i cR = pair16(kCrR, 16384), cB = pair16(kCbB, 16384), cG = pair16(kCbG, kCrG);
    const __m128i rt = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(crTwoLo, cR), 16),
                                       _mm_srai_epi32(_mm_madd_epi16(crTwoHi, cR), 16));
    const __m128i bt = _mm_packs_epi32(_mm_srai_epi32(_mm_madd_epi16(cbTwoLo, cB), 16),
                                       _mm_srai_epi32(_mm_madd_epi16(cbTwoHi, cB), 16));
    const __m128i gt =
        _mm_packs_epi32(_mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(cbCrLo, cG), half), 16),
                        _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(cbCrHi, cG), half), 16));
    r = _mm_add_epi16(_mm_add_epi16(y, cr), rt);
    g = _mm_add_epi16(_mm_sub_epi16(y, cr), gt);
    b = _mm_add_epi16(_mm_add_epi16(y, _mm_add_epi16(cb, cb)), bt);
}

// Sixteen pixels: R, G, B as bytes.
inline void convert16(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                      __m128i& r, __m128i& g, __m128i& b) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i yv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y));
    const __m128i cbv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb));
    const __m128i crv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr));
    __m128i r0, g0, b0, r1, g1, b1;
    convert8(_mm_unpacklo_epi8(yv, zero), _mm_sub_epi16(_mm_unpacklo_epi8(cbv, zero), bias),
             _mm_sub_epi16(_mm_unpacklo_epi8(crv, zero), bias), r0, g0, b0);
    convert8(_mm_unpackhi_epi8(yv, zero), _mm_sub_epi16(_mm_unpackhi_epi8(cbv, zero), bias),
             _mm_sub_epi16(_mm_unpackhi_epi8(crv, zero), bias), r1, g1, b1);
    r = _mm_packus_epi16(r0, r1);
    g = _mm_packus_epi16(g0, g1);
    b = _mm_packus_epi16(b0, b1);
}

// Interleaves sixteen pixels into four registers of four RGBA pixels each.
inline void interleave(__m128i r, __m128i g, __m128i b, __m128i px[4]) {
    const __m128i a = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i rgLo = _mm_unpacklo_epi8(r, g), rgHi = _mm_unpackhi_epi8(r, g);
    const __m128i baLo = _mm_unpacklo_epi8(b, a), baHi = _mm_unpackhi_epi8(b, a);
    px[0] = _mm_unpacklo_epi16(rgLo, baLo);
    px[1] = _mm_unpackhi_epi16(rgLo, baLo);
    px[2] = _mm_unpacklo_epi16(rgHi, baHi);
    px[3] = _mm_unpackhi_epi16(rgHi, baHi);
}

} // namespace

void yccToRgbSse2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int count,
                  std::uint8_t* out, int components) {
    int i = 0;
    for (; i + 16 <= count; i += 16) {
        __m128i r, g, b, px[4];
        convert16(y + i, cb + i, cr + i, r, g, b);
        interleave(r, g, b, px);
        if (components == 4) {
            for (int k = 0; k < 4; ++k)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i + 4 * k) * 4), px[k]);
        } else {
            alignas(16) std::uint8_t tmp[64];
            for (int k = 0; k < 4; ++k)
                _mm_store_si128(reinterpret_cast<__m128i*>(tmp + 16 * k), px[k]);
            std::uint8_t* o = out + i * 3;
            for (int k = 0; k < 16; ++k) {
                o[3 * k] = tmp[4 * k];
                o[3 * k + 1] = tmp[4 * k + 1];
                o[3 * k + 2] = tmp[4 * k + 2];
            }
        }
    }
    yccToRgbReference(y + i, cb + i, cr + i, count - i, out + i * components, components);
}

CORVID_TARGET("avx2")
void yccToRgbAvx2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int count,
                  std::uint8_t* out, int components) {
    const __m256i bias = _mm256_set1_epi16(128);
    const __m256i two = _mm256_set1_epi16(2);
    const __m256i half = _mm256_set1_epi32(32768);
    const __m256i cR = _mm256_set1_epi32(static_cast<int>((16384u << 16) | (kCrR & 0xFFFF)));
    const __m256i cB = _mm256_set1_epi32(static_cast<int>((16384u << 16) | (kCbB & 0xFFFF)));
    const __m256i cG = _mm256_set1_epi32(static_cast<int>(
        (static_cast<std::uint32_t>(kCrG) << 16) | (static_cast<std::uint32_t>(kCbG) & 0xFFFF)));
    // Drops every fourth byte: four RGBA pixels become twelve RGB bytes.
    const __m128i pack3 = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int i = 0;
    // The RGB stores write 16 bytes for 12, so keep 4 spare bytes before the row's end.
    const int vectorEnd = components == 4 ? count - 16 : count - 18;
    for (; i <= vectorEnd; i += 16) {
        const __m256i yv =
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + i)));
        const __m256i cbv = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + i))), bias);
        const __m256i crv = _mm256_sub_epi16(
            _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + i))), bias);
        // Unpack and pack both work within 128-bit halves, so they undo each other's order.
        const __m256i rt = _mm256_packs_epi32(
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(crv, two), cR), 16),
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(crv, two), cR), 16));
        const __m256i bt = _mm256_packs_epi32(
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cbv, two), cB), 16),
            _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(cbv, two), cB), 16));
        const __m256i gt = _mm256_packs_epi32(
            _mm256_srai_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cbv, crv), cG), half), 16),
            _mm256_srai_epi32(
                _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(cbv, crv), cG), half),
                16));
        const __m256i r16 = _mm256_add_epi16(_mm256_add_epi16(yv, crv), rt);
        const __m256i g16 = _mm256_add_epi16(_mm256_sub_epi16(yv, crv), gt);
        const __m256i b16 = _mm256_add_epi16(_mm256_add_epi16(yv, _mm256_add_epi16(cbv, cbv)), bt);
        const __m128i r =
            _mm_packus_epi16(_mm256_castsi256_si128(r16), _mm256_extracti128_si256(r16, 1));
        const __m128i g =
            _mm_packus_epi16(_mm256_castsi256_si128(g16), _mm256_extracti128_si256(g16, 1));
        const __m128i b =
            _mm_packus_epi16(_mm256_castsi256_si128(b16), _mm256_extracti128_si256(b16, 1));
        __m128i px[4];
        interleave(r, g, b, px);
        if (components == 4) {
            for (int k = 0; k < 4; ++k)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i + 4 * k) * 4), px[k]);
        } else {
            for (int k = 0; k < 4; ++k)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + (i + 4 * k) * 3),
                                 _mm_shuffle_epi8(px[k], pack3));
        }
    }
    if (i < 0) i = 0;
    // The tail runs legacy SSE code; clear the upper lanes first (the compiler omits
    // it before a tail call), or every later SSE instruction pays a transition.
    _mm256_zeroupper();
    yccToRgbReference(y + i, cb + i, cr + i, count - i, out + i * components, components);
}

ColorFunction colorFor(Isa isa) {
    return IsaBodies<ColorFunction>{&yccToRgbSse2, &yccToRgbAvx2}[isa];
}

#else

ColorFunction colorFor(Isa) {
    return &yccToRgbReference;
}

#endif

ColorFunction bestColor() {
    return colorFor(bestIsa());
}

} // namespace corvid::jpeg
