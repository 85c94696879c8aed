// The inverse DCT of one block in SSE2 registers: one row of eight 16-bit values
// per register.
#include "corvid/graphics/codecs/jpegidct.h"
#include "corvid/simd/sse2.h"

#include "corvid/graphics/codecs/jpegidct_simd.h"

namespace corvid::jpeg {

void idctSse2(const std::int16_t* coefficients, const std::uint16_t* quantisers, std::uint8_t* out,
              std::ptrdiff_t stride) {
    __m128i x[8];
    for (int r = 0; r < 8; ++r) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + r * 8));
        const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quantisers + r * 8));
        x[r] = _mm_mullo_epi16(c, q);
    }
    idct_detail::IdctPasses<simd::Sse2Lanes>::run(x);
    for (int r = 0; r < 8; r += 2) {
        const __m128i p = _mm_packus_epi16(x[r], x[r + 1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), p);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 1) * stride), _mm_srli_si128(p, 8));
    }
}

} // namespace corvid::jpeg
