// The PNG "up" filter's reversal for processors with AVX2; chosen at run time. The
// build compiles this file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"

#include "corvid/graphics/codecs/pngfilter_simd.h"

namespace corvid::detail {

std::size_t unfilterUpAvx2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from) {
    return UpKernel<simd::Avx2Lanes>::run(dst, src, prior, bytes, from);
}

} // namespace corvid::detail
