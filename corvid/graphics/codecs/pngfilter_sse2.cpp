// The PNG "up" filter's reversal in SSE2 registers.
#include "corvid/simd/sse2.h"

#include "corvid/graphics/codecs/pngfilter_simd.h"

namespace corvid::detail {

std::size_t unfilterUpSse2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from) {
    return UpKernel<simd::Sse2Lanes>::run(dst, src, prior, bytes, from);
}

} // namespace corvid::detail
