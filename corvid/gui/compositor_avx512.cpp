// Sixteen-lane kernel for processors with AVX-512; chosen at run time. The build
// compiles this file alone with AVX-512 F, BW, DQ and VL enabled.
#include "corvid/gui/compositor_kernel.h"
#include "corvid/simd/avx512.h"

#include <cstdint>
#include <cstring>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {

void lightBlockAvx512(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                      int32_t maxX, int32_t maxY) {
    Kernel<simd::Avx512Lanes>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
