// Baseline blended fill rows: four lanes of SSE2.
#include "corvid/graphics/draw_kernel.h"
#include "corvid/simd/sse2.h"

#include "corvid/graphics/draw_simd.h"

namespace corvid::draw_detail {

void blendRowSse2(std::uint8_t* row, std::int32_t count, const std::uint32_t* premultiplied,
                  std::uint32_t inverse) {
    BlendFill<simd::Sse2Lanes>::row(row, count, premultiplied, inverse);
}

} // namespace corvid::draw_detail
