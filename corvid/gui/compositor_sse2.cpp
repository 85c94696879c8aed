// Baseline kernel: four lanes of SSE2, which every x86-64 processor has.
#include "corvid/gui/compositor_kernel.h"
#include "corvid/simd/sse2.h"

#include <cstdint>
#include <cstring>

#include "corvid/gui/compositor_simd.h"

namespace corvid::compositor_detail {

void lightBlockSse2(const KernelInput& input, KernelScratch& scratch, int32_t minX, int32_t minY,
                    int32_t maxX, int32_t maxY) {
    Kernel<simd::Sse2Lanes>::run(input, scratch, minX, minY, maxX, maxY);
}

} // namespace corvid::compositor_detail
