// Sixteen-lane row blends for processors with AVX-512; chosen at run time.
#include "corvid/gui/layerblend_kernel.h"
#include "corvid/simd/avx512.h"

#include "corvid/gui/layerblend_simd.h"

namespace corvid::layerblend_detail {

void colourRowAvx512(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* opacity,
                     std::int32_t count) {
    LayerBlend<simd::Avx512Lanes>::colour(dst, src, opacity, count);
}

void depthRowAvx512(std::uint16_t* dst, const std::uint16_t* src, const std::uint8_t* opacity,
                    std::int32_t count) {
    LayerBlend<simd::Avx512Lanes>::depth(dst, src, opacity, count);
}

} // namespace corvid::layerblend_detail
