// Sixteen-lane blended fill rows for processors with AVX-512; chosen at run time.
#include "corvid/graphics/draw_kernel.h"
#include "corvid/simd/avx512.h"

#include "corvid/graphics/draw_simd.h"

namespace corvid::draw_detail {

void blendRowAvx512(std::uint8_t* row, std::int32_t count, const std::uint32_t* premultiplied,
                    std::uint32_t inverse) {
    BlendFill<simd::Avx512Lanes>::row(row, count, premultiplied, inverse);
}

} // namespace corvid::draw_detail
