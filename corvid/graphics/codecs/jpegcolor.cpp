#include "corvid/graphics/codecs/jpegcolor.h"

#include "corvid/core/isa.h"
#include "corvid/graphics/codecs/jpegcolor_simd.h"

#if defined(__x86_64__)
#include <emmintrin.h>
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

void upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
                  Isa isa) {
    h2v2Columns(near, far, width, out, 0, 1);
    using Interior = int (*)(const std::uint8_t*, const std::uint8_t*, int, std::uint8_t*, int);
    int i = IsaBodies<Interior>{&upsampleH2V2InteriorSse2,
                                &upsampleH2V2InteriorAvx2}[isa](near, far, width, out, 1);
    // What a wide body leaves, short of the row's last column, fits narrower steps.
    i = upsampleH2V2InteriorSse2(near, far, width, out, i);
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

using namespace color_detail;

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
