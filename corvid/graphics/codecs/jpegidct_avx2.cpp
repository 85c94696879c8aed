// The inverse DCT of two blocks at once for processors with AVX2, one block in each
// 128-bit half; chosen at run time. The build compiles this file alone with AVX2
// enabled.
#include "corvid/graphics/codecs/jpegidct.h"
#include "corvid/simd/avx2.h"

#include "corvid/graphics/codecs/jpegidct_simd.h"

namespace corvid::jpeg {

void idctPairAvx2(const std::int16_t* coefficientsA, const std::uint16_t* quantisersA,
                  std::uint8_t* outA, std::ptrdiff_t strideA, const std::int16_t* coefficientsB,
                  const std::uint16_t* quantisersB, std::uint8_t* outB, std::ptrdiff_t strideB) {
    __m256i x[8];
    for (int r = 0; r < 8; ++r) {
        auto row = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
        const __m256i c = _mm256_inserti128_si256(
            _mm256_castsi128_si256(row(coefficientsA + r * 8)), row(coefficientsB + r * 8), 1);
        const __m256i q = _mm256_inserti128_si256(_mm256_castsi128_si256(row(quantisersA + r * 8)),
                                                  row(quantisersB + r * 8), 1);
        x[r] = _mm256_mullo_epi16(c, q);
    }
    idct_detail::IdctPasses<simd::Avx2Lanes>::run(x);
    for (int r = 0; r < 8; r += 2) {
        // Bytes 0-7 and 8-15 of each half: rows r and r + 1 of block A, then of block B.
        const __m256i p = _mm256_packus_epi16(x[r], x[r + 1]);
        const __m128i a = _mm256_castsi256_si128(p), b = _mm256_extracti128_si256(p, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + r * strideA), a);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + (r + 1) * strideA),
                         _mm_srli_si128(a, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + r * strideB), b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + (r + 1) * strideB),
                         _mm_srli_si128(b, 8));
    }
}

} // namespace corvid::jpeg
