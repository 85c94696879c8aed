// The PNG filters' reversal in SSE2 registers.
#include "corvid/simd/sse2.h"

#include "corvid/graphics/codecs/pngfilter_simd.h"

namespace corvid::detail {

std::size_t unfilterUpSse2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* prior,
                           std::size_t bytes, std::size_t from) {
    return UpKernel<simd::Sse2Lanes>::run(dst, src, prior, bytes, from);
}

void unfilterPixelsSse2(unsigned filter, int bpp, std::uint8_t* dst, const std::uint8_t* src,
                        const std::uint8_t* prior, std::size_t n) {
    unfilterPixelsOver<simd::Sse2Lanes>(filter, bpp, dst, src, prior, n);
}

void unfilterPaethPairSse2(int bpp, std::uint8_t* dst0, const std::uint8_t* src0,
                           const std::uint8_t* prior0, std::uint8_t* dst1, const std::uint8_t* src1,
                           std::size_t n) {
    unfilterPaethPairOver<simd::Sse2Lanes>(bpp, dst0, src0, prior0, dst1, src1, n);
}

} // namespace corvid::detail
