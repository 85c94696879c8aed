// Eight-lane row blends for processors with AVX2; chosen at run time.
#include "corvid/gui/layerblend_kernel.h"
#include "corvid/simd/avx2.h"

#include "corvid/gui/layerblend_simd.h"

namespace corvid::layerblend_detail {

void colourRowAvx2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* opacity,
                   std::int32_t count) {
    LayerBlend<simd::Avx2Lanes>::colour(dst, src, opacity, count);
}

void depthRowAvx2(std::uint16_t* dst, const std::uint16_t* src, const std::uint8_t* opacity,
                  std::int32_t count) {
    LayerBlend<simd::Avx2Lanes>::depth(dst, src, opacity, count);
}

} // namespace corvid::layerblend_detail
