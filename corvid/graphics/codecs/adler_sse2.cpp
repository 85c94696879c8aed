// Adler-32's bulk sums in SSE2 registers.
#include "corvid/simd/sse2.h"

#include "corvid/graphics/codecs/adler_simd.h"

namespace corvid::adler_detail {

std::size_t chunkSumsSse2(std::uint32_t& s1, std::uint32_t& s2, const std::uint8_t* p,
                          std::size_t size) {
    return AdlerKernel<simd::Sse2Lanes>::chunkSums(s1, s2, p, size);
}

} // namespace corvid::adler_detail
