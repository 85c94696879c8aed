// Eight-lane kernel for processors with AVX2; chosen at run time. The build compiles
// this file alone with AVX2 enabled.
#include "corvid/gui/compositor_kernel.h"
#include "corvid/simd/avx2.h"

#include <cstdint>
#include <cstring>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {

void lightBlockAvx2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY) {
    Kernel<simd::Avx2Lanes>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
