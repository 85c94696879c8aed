// Eight-lane ring kernel for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/core/compiler.h"
#include "corvid/pbrwidgets/shapes_kernel.h"

#include <cstdint>

#include <immintrin.h>

#include "corvid/pbrwidgets/shapes_simd.h"

namespace corvid::shapes_detail {
namespace {

struct Avx2 {
    static constexpr int lanes = 8;
    typedef CORVID_VECTOR(float, 32) VF;
    typedef CORVID_VECTOR(std::int32_t, 32) VI;
    typedef CORVID_VECTOR(std::uint16_t, 32) VU;

    static VF splatF(float v) { return (VF)_mm256_set1_ps(v); }
    static VI splatI(std::int32_t v) { return (VI)_mm256_set1_epi32(v); }
    static VU splatU(std::uint16_t v) { return (VU)_mm256_set1_epi16(static_cast<short>(v)); }
    static VF iotaF() { return VF{0.0f, 1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f}; }
    static VI iotaI() { return VI{0, 1, 2, 3, 4, 5, 6, 7}; }
    static VF sqrt(VF v) { return (VF)_mm256_sqrt_ps((__m256)v); }
    static VF min(VF a, VF b) { return (VF)_mm256_min_ps((__m256)a, (__m256)b); }
    static VF max(VF a, VF b) { return (VF)_mm256_max_ps((__m256)a, (__m256)b); }
    static VF abs(VF v) { return (VF)_mm256_andnot_ps(_mm256_set1_ps(-0.0f), (__m256)v); }
    static VI truncate(VF v) { return (VI)_mm256_cvttps_epi32((__m256)v); }
    static int mask(VI m) { return _mm256_movemask_ps((__m256)m); }
    static bool none(VI v) { return _mm256_testz_si256((__m256i)v, (__m256i)v) != 0; }
    static VU colour(RGBA c) {
        return VU{c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a, c.r, c.g, c.b, c.a};
    }
    // The unpacks work within each 128-bit half: lo holds pixels 0-1 and 4-5 with
    // their channels widened to 16 bits, hi pixels 2-3 and 6-7. The pack undoes it.
    static void load(const RGBA* p, VU& lo, VU& hi) {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        lo = (VU)_mm256_unpacklo_epi8(px, _mm256_setzero_si256());
        hi = (VU)_mm256_unpackhi_epi8(px, _mm256_setzero_si256());
    }
    static void store(RGBA* p, VU lo, VU hi) {
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
};

} // namespace

void drawRingAvx2(const RingJob& job) {
    RingKernel<Avx2>::run(job);
}

} // namespace corvid::shapes_detail
