// The PNG filters' reversal for processors with AVX2; chosen at run time. The
// build compiles this file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"

#include "corvid/graphics/codecs/pngfilter_simd.h"

namespace corvid::detail {

std::size_t unfilterUpAvx2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from) {
    return UpKernel<simd::Avx2Lanes>::run(dst, src, prior, bytes, from);
}

void unfilterPixelsAvx2(unsigned filter, int bpp, std::uint8_t* dst, const std::uint8_t* src,
                        const std::uint8_t* prior, std::size_t n) {
    unfilterPixelsOver<simd::Avx2Lanes>(filter, bpp, dst, src, prior, n);
}

void unfilterPaethPairAvx2(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                           const std::uint8_t* prior0, std::uint8_t* dst1, const std::uint8_t* src1,
                           std::size_t n) {
    unfilterPaethPairOver<simd::Avx2Lanes>(bpp, dst0, src0, prior0, dst1, src1, n);
}

} // namespace corvid::detail
