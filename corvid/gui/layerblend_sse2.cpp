// Baseline row blends: four lanes of SSE2.
#include "corvid/gui/layerblend_kernel.h"
#include "corvid/simd/sse2.h"

#include "corvid/gui/layerblend_simd.h"

namespace corvid::layerblend_detail {

void colourRowSse2(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* opacity,
                   std::int32_t count) {
    LayerBlend<simd::Sse2Lanes>::colour(dst, src, opacity, count);
}

void depthRowSse2(std::uint16_t* dst, const std::uint16_t* src, const std::uint8_t* opacity,
                  std::int32_t count) {
    LayerBlend<simd::Sse2Lanes>::depth(dst, src, opacity, count);
}

} // namespace corvid::layerblend_detail
