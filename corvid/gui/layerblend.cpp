#include "corvid/gui/layerblend.h"

#include "corvid/gui/bufferedelement.h"

#include <emmintrin.h>

#include <cstring>

namespace corvid {

namespace {

// Four opacity bytes, each repeated over the four channels of its pixel.
inline __m128i opacityPerChannel(std::uint32_t four) {
    const __m128i o = _mm_cvtsi32_si128(static_cast<std::int32_t>(four));
    const __m128i twice = _mm_unpacklo_epi8(o, o);
    return _mm_unpacklo_epi8(twice, twice);
}

// (s o + d (255 - o) + 127) / 255 on 16-bit lanes. The sum stays at most 65152,
// below 65281, where (n + (n >> 8) + 1) >> 8 is n / 255 exactly.
inline __m128i blendBytes16(__m128i s, __m128i d, __m128i o) {
    const __m128i inv = _mm_sub_epi16(_mm_set1_epi16(255), o);
    const __m128i n = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(s, o), _mm_mullo_epi16(d, inv)),
                                    _mm_set1_epi16(127));
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(n, _mm_srli_epi16(n, 8)), _mm_set1_epi16(1)),
                          8);
}

// Four unsigned 32-bit lanes below 65536 as the low four 16-bit lanes.
inline __m128i narrowTo16(__m128i v) {
    const __m128i biased = _mm_sub_epi32(v, _mm_set1_epi32(32768));
    return _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(-32768));
}

// (u s + (65535 - u) d + 32768) >> 16 for four depths with u = o * 257. The sum is
// at most 65535^2 + 32768, which fits 32 unsigned bits.
inline __m128i blendDepth4(__m128i s, __m128i d, __m128i u) {
    const __m128i inv = _mm_xor_si128(u, _mm_set1_epi16(-1));
    const __m128i a = _mm_unpacklo_epi16(_mm_mullo_epi16(u, s), _mm_mulhi_epu16(u, s));
    const __m128i b = _mm_unpacklo_epi16(_mm_mullo_epi16(inv, d), _mm_mulhi_epu16(inv, d));
    const __m128i n = _mm_add_epi32(_mm_add_epi32(a, b), _mm_set1_epi32(32768));
    return narrowTo16(_mm_srli_epi32(n, 16));
}

} // namespace

void blendLayerRow(RGBA* dst, const RGBA* src, const L8* opacity, std::int32_t count) {
    // With o = 0 the rule gives dst back exactly, so no lane needs masking.
    const __m128i zero = _mm_setzero_si128();
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::uint32_t four;
        std::memcpy(&four, opacity + i, sizeof four);
        // Opaque pixels take the layer as it is, and clear ones keep the map: the
        // rule's own results at o = 255 and o = 0, without its arithmetic.
        if (four == 0xFFFFFFFFu) {
            std::memcpy(dst + i, src + i, 4 * sizeof(RGBA));
            continue;
        }
        if (four == 0) continue;
        const __m128i o = opacityPerChannel(four);
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        const __m128i lo = blendBytes16(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero),
                                        _mm_unpacklo_epi8(o, zero));
        const __m128i hi = blendBytes16(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero),
                                        _mm_unpackhi_epi8(o, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < count; ++i) {
        const std::uint8_t o = opacity[i].l;
        if (o == 0) continue;
        dst[i] = {blendByte(src[i].r, dst[i].r, o), blendByte(src[i].g, dst[i].g, o),
                  blendByte(src[i].b, dst[i].b, o), blendByte(src[i].a, dst[i].a, o)};
    }
}

void blendLayerRow(L16* dst, const L16* src, const L8* opacity, std::int32_t count) {
    const __m128i zero = _mm_setzero_si128();
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        std::int32_t four;
        std::memcpy(&four, opacity + i, sizeof four);
        if (four == 0) continue;
        const __m128i o = _mm_cvtsi32_si128(four);
        // A byte beside itself is the byte times 257.
        const __m128i u = _mm_unpacklo_epi8(o, o);
        const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i));
        const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst + i));
        // Unlike the colour rule, o = 0 would lower a deep pixel, so those keep dst.
        const __m128i keep = _mm_cmpeq_epi16(u, zero);
        const __m128i b = blendDepth4(s, d, u);
        const __m128i out = _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, b));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), out);
    }
    for (; i < count; ++i) {
        const std::uint8_t o = opacity[i].l;
        if (o != 0) dst[i].l = blendDepth(src[i].l, dst[i].l, o);
    }
}

} // namespace corvid
