// Eight-lane ring and disc kernels for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/core/compiler.h"
#include "corvid/pbrwidgets/shapes_kernel.h"
#include "corvid/simd/avx2.h"

#include <cstdint>

#include <immintrin.h>

#include "corvid/pbrwidgets/shapes_simd.h"

namespace corvid::shapes_detail {
namespace {

struct Avx2 : simd::Avx2Lanes {
    static VU colour(RGBA c) {
        return VU{c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a};
    }
    // The unpacks work within each 128-bit half: lo holds pixels 0-1 and 4-5 with
    // their channels widened to 16 bits, hi pixels 2-3 and 6-7. The pack undoes it.
    static void loadChannels(const RGBA* p, VU& lo, VU& hi) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        lo = (VU)_mm256_unpacklo_epi8(px, _mm256_setzero_si256());
        hi = (VU)_mm256_unpackhi_epi8(px, _mm256_setzero_si256());
    }
    static void storeChannels(RGBA* p, VU lo, VU hi) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                            _mm256_packus_epi16((__m256i)lo, (__m256i)hi));
    }
    // Each pixel's weight over its four channels, laid out as load() lays the pixels.
    static void spread(VI w, VU& lo, VU& hi) {
        const __m256i w16 = _mm256_packs_epi32((__m256i)w, (__m256i)w);
        const __m256i pairs = _mm256_unpacklo_epi16(w16, w16);
        lo = (VU)_mm256_unpacklo_epi32(pairs, pairs);
        hi = (VU)_mm256_unpackhi_epi32(pairs, pairs);
    }
    // (w v + (65535 - w) d) / 65535 for eight depths, in 32 bits (the sum is at most
    // 65535^2), where (n + (n >> 16) + 1) >> 16 is n / 65535 exactly.
    static void blendDepth(L16* p, VI w, std::uint16_t value) {
        const __m128i level = _mm_set1_epi16(static_cast<short>(value));
        // The weights are at most 65535, so the unsigned pack keeps them; it packs
        // within halves, and the permute brings the eight together.
        const __m256i packed = _mm256_packus_epi32((__m256i)w, (__m256i)w);
        const __m128i w16 = _mm256_castsi256_si128(_mm256_permute4x64_epi64(packed, 0x08));
        const __m128i inv = _mm_xor_si128(w16, _mm_set1_epi16(-1));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i wl = _mm_mullo_epi16(w16, level), wh = _mm_mulhi_epu16(w16, level);
        const __m128i dl = _mm_mullo_epi16(inv, d), dh = _mm_mulhi_epu16(inv, d);
        const __m256i a = _mm256_set_m128i(_mm_unpackhi_epi16(wl, wh), _mm_unpacklo_epi16(wl, wh));
        const __m256i b = _mm256_set_m128i(_mm_unpackhi_epi16(dl, dh), _mm_unpacklo_epi16(dl, dh));
        const __m256i n = _mm256_add_epi32(a, b);
        const __m256i q = _mm256_srli_epi32(
            _mm256_add_epi32(_mm256_add_epi32(n, _mm256_srli_epi32(n, 16)), _mm256_set1_epi32(1)),
            16);
        const __m256i q16 = _mm256_permute4x64_epi64(_mm256_packus_epi32(q, q), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(q16));
    }
};

} // namespace

void drawRingAvx2(const RingJob& job) {
    RingKernel<Avx2>::run(job);
}
void drawDiscAvx2(const DiscJob& job) {
    drawDiscWith<Avx2>(job);
}

} // namespace corvid::shapes_detail
