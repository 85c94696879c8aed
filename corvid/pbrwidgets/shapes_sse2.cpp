// Baseline ring and disc kernels: four lanes of SSE2, which every x86-64 processor has.
#include "corvid/core/compiler.h"
#include "corvid/pbrwidgets/shapes_kernel.h"
#include "corvid/simd/sse2.h"

#include <cstdint>

#include <emmintrin.h>

#include "corvid/pbrwidgets/shapes_simd.h"

namespace corvid::shapes_detail {
namespace {

struct Sse2 : simd::Sse2Lanes {
    // The colour's channels once per pixel of a 16-bit lane vector.
    static VU colour(RGBA c) { return VU{c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a}; }
    // Pixels 0-1 and 2-3 with their channels widened to 16 bits, and back.
    static void loadChannels(const RGBA* p, VU& lo, VU& hi) {
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        lo = (VU)_mm_unpacklo_epi8(px, _mm_setzero_si128());
        hi = (VU)_mm_unpackhi_epi8(px, _mm_setzero_si128());
    }
    static void storeChannels(RGBA* p, VU lo, VU hi) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_packus_epi16((__m128i)lo, (__m128i)hi));
    }
    // Each pixel's weight over its four channels, laid out as load() lays the pixels.
    static void spread(VI w, VU& lo, VU& hi) {
        const __m128i w16 = _mm_packs_epi32((__m128i)w, (__m128i)w);
        const __m128i pairs = _mm_unpacklo_epi16(w16, w16);
        lo = (VU)_mm_unpacklo_epi32(pairs, pairs);
        hi = (VU)_mm_unpackhi_epi32(pairs, pairs);
    }
    // Four unsigned 32-bit lanes below 65536 as the low four 16-bit lanes.
    static __m128i narrowTo16(__m128i v) {
        const __m128i biased = _mm_sub_epi32(v, _mm_set1_epi32(32768));
        return _mm_xor_si128(_mm_packs_epi32(biased, biased), _mm_set1_epi16(-32768));
    }
    // (w v + (65535 - w) d) / 65535 for four depths, in 32 bits (the sum is at most
    // 65535^2), where (n + (n >> 16) + 1) >> 16 is n / 65535 exactly.
    static void blendDepth(L16* p, VI w, std::uint16_t value) {
        const __m128i level = _mm_set1_epi16(static_cast<short>(value));
        const __m128i w16 = narrowTo16((__m128i)w);
        const __m128i inv = _mm_xor_si128(w16, _mm_set1_epi16(-1));
        const __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
        const __m128i a =
            _mm_unpacklo_epi16(_mm_mullo_epi16(w16, level), _mm_mulhi_epu16(w16, level));
        const __m128i b = _mm_unpacklo_epi16(_mm_mullo_epi16(inv, d), _mm_mulhi_epu16(inv, d));
        const __m128i n = _mm_add_epi32(a, b);
        const __m128i q = _mm_srli_epi32(
            _mm_add_epi32(_mm_add_epi32(n, _mm_srli_epi32(n, 16)), _mm_set1_epi32(1)), 16);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), narrowTo16(q));
    }
};

} // namespace

void drawRingSse2(const RingJob& job) {
    RingKernel<Sse2>::run(job);
}
void drawDiscSse2(const DiscJob& job) {
    drawDiscWith<Sse2>(job);
}

} // namespace corvid::shapes_detail
