#include "corvid/graphics/draw.h"

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace corvid {

namespace {

template <typename T>
void fillArea(const ImageView<T>& view, T value, const IntRect& r) {
    for (int32_t y = r.minY; y < r.maxY; ++y) {
        T* row = view.row(y);
        for (int32_t x = r.minX; x < r.maxX; ++x) row[x] = value;
    }
}

// x / 255 for x < 65536, as the vector path computes it.
inline uint32_t div255(uint32_t x) {
    return (x * 0x8081u) >> 23;
}

} // namespace

IntRect clippedArea(const IntRect& drawable, const IntRect& rect) {
    return rect.normalized().intersect(drawable);
}

void fillRect(const ImageView<RGBA>& view, RGBA color, const IntRect& rect) {
    fillArea(view, color, clippedArea(view.drawableArea(), rect));
}

void fillRect(const ImageView<L16>& view, L16 value, const IntRect& rect) {
    fillArea(view, value, clippedArea(view.drawableArea(), rect));
}

void fillRect(const ImageView<L8>& view, L8 value, const IntRect& rect) {
    fillArea(view, value, clippedArea(view.drawableArea(), rect));
}

void fillRectBlended(const ImageView<RGBA>& view, RGBA color, const IntRect& rect, float opacity) {
    // Written as a negated comparison so NaN also counts as "nothing to draw".
    if (!(opacity > 0.0f)) return;
    const IntRect r = clippedArea(view.drawableArea(), rect);
    if (r.isEmpty()) return;
    if (opacity >= 1.0f) {
        fillArea(view, color, r);
        return;
    }
    const uint32_t o = uint32_t(opacity * 255.0f + 0.5f);
    const uint32_t inv = 255 - o;
    const uint32_t cr = color.r * o, cg = color.g * o, cb = color.b * o, ca = color.a * o;

    const __m128i zero = _mm_setzero_si128();
    const __m128i src = _mm_setr_epi16(int16_t(cr), int16_t(cg), int16_t(cb), int16_t(ca),
                                       int16_t(cr), int16_t(cg), int16_t(cb), int16_t(ca));
    const __m128i weight = _mm_set1_epi16(int16_t(inv));
    const __m128i magic = _mm_set1_epi16(int16_t(0x8081));
    for (int32_t y = r.minY; y < r.maxY; ++y) {
        RGBA* row = view.row(y);
        int32_t x = r.minX;
        for (; x + 4 <= r.maxX; x += 4) {
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            // Sums stay below 65536, where (s x 0x8081) >> 23 is exactly s / 255.
            auto blend = [&](__m128i half) {
                const __m128i s = _mm_add_epi16(_mm_mullo_epi16(half, weight), src);
                return _mm_srli_epi16(_mm_mulhi_epu16(s, magic), 7);
            };
            const __m128i lo = blend(_mm_unpacklo_epi8(d, zero));
            const __m128i hi = blend(_mm_unpackhi_epi8(d, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), _mm_packus_epi16(lo, hi));
        }
        for (; x < r.maxX; ++x) {
            RGBA& p = row[x];
            p = {uint8_t(div255(cr + p.r * inv)), uint8_t(div255(cg + p.g * inv)),
                 uint8_t(div255(cb + p.b * inv)), uint8_t(div255(ca + p.a * inv))};
        }
    }
}

void fillRectBlended(const ImageView<L16>& view, L16 value, const IntRect& rect, float opacity) {
    if (!(opacity > 0.0f)) return;
    const IntRect r = clippedArea(view.drawableArea(), rect);
    if (r.isEmpty()) return;
    const uint32_t w = opacity >= 1.0f ? 65535u : uint32_t(opacity * 65535.0f + 0.5f);
    if (w == 65535u) {
        fillArea(view, value, r);
        return;
    }
    const uint32_t src = uint32_t(value.l) * w;
    const uint32_t inv = 65535u - w;
    for (int32_t y = r.minY; y < r.maxY; ++y) {
        L16* row = view.row(y);
        for (int32_t x = r.minX; x < r.maxX; ++x)
            row[x] = L16(uint16_t((src + inv * row[x].l) / 65535u));
    }
}

} // namespace corvid
