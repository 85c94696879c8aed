#include "corvid/gui/layerblend.h"

#include "corvid/gui/layerblend_kernel.h"

namespace corvid {

using namespace layerblend_detail;

// The pixel types are plain bytes and words laid out as the kernels read them.
static_assert(sizeof(RGBA) == 4 && sizeof(L16) == 2 && sizeof(L8) == 1);

void blendLayerRow(RGBA* dst, const RGBA* src, const L8* opacity, std::int32_t count, Isa isa) {
    IsaBodies<ColourRow>{&colourRowSse2, &colourRowAvx2, &colourRowAvx512}[isa](
        reinterpret_cast<std::uint8_t*>(dst), reinterpret_cast<const std::uint8_t*>(src),
        reinterpret_cast<const std::uint8_t*>(opacity), count);
}

void blendLayerRow(L16* dst, const L16* src, const L8* opacity, std::int32_t count, Isa isa) {
    IsaBodies<DepthRow>{&depthRowSse2, &depthRowAvx2, &depthRowAvx512}[isa](
        reinterpret_cast<std::uint16_t*>(dst), reinterpret_cast<const std::uint16_t*>(src),
        reinterpret_cast<const std::uint8_t*>(opacity), count);
}

} // namespace corvid
