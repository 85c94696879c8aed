// Adler-32's bulk sums for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"

#include "corvid/graphics/codecs/adler_simd.h"

namespace corvid::adler_detail {

std::size_t chunkSumsAvx2(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                          std::size_t size) {
    return AdlerKernel<simd::Avx2Lanes>::chunkSums(s1, s2, p, size);
}

} // namespace corvid::adler_detail
