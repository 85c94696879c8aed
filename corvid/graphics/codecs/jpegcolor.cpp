#include "corvid/graphics/codecs/jpegcolor.h"

#include "corvid/core/isa.h"
#include "corvid/graphics/codecs/jpegcolor_simd.h"

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

inline void h1v2Columns(const std::uint8_t* near, const std::uint8_t* far, int width, int bias,
                        std::uint8_t* out, int from) {
    for (int i = from; i < width; ++i)
        out[i] = static_cast<std::uint8_t>((near[i] * 3 + far[i] + bias) >> 2);
}

} // namespace

#if defined(__x86_64__)

void upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out, Isa isa) {
    h2v1Columns(in, width, out, 0, 1);
    using Interior = int (*)(const std::uint8_t*, int, std::uint8_t*, int);
    int i = IsaBodies<Interior>{&upsampleH2V1InteriorSse2,
                                &upsampleH2V1InteriorAvx2}[isa](in, width, out, 1);
    // What a wide body leaves, short of the row's last column, fits narrower steps.
    i = upsampleH2V1InteriorSse2(in, width, out, i);
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
                  std::uint8_t* out, Isa isa) {
    const int bias = lowerHalf ? 2 : 1;
    using Columns = int (*)(const std::uint8_t*, const std::uint8_t*, int, int, std::uint8_t*, int);
    const int i = IsaBodies<Columns>{&upsampleH1V2ColumnsSse2,
                                     &upsampleH1V2ColumnsAvx2}[isa](near, far, width, bias, out, 0);
    h1v2Columns(near, far, width, bias, out, i);
}

#else

void upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out, Isa) {
    h2v1Columns(in, width, out, 0, width);
}

void upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
                  Isa) {
    h2v2Columns(near, far, width, out, 0, width);
}

void upsampleH1V2(const std::uint8_t* near, const std::uint8_t* far, int width, bool lowerHalf,
                  std::uint8_t* out, Isa) {
    h1v2Columns(near, far, width, lowerHalf ? 2 : 1, out, 0);
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
