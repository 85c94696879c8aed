// Baseline reads: four lanes of SSE2, which every x86-64 processor has.
#include "corvid/dsp/delayline_kernel.h"
#include "corvid/simd/sse2.h"

namespace corvid::delay_detail {

void readSse2(const Ring& ring, const float* delays, float* out, int n) {
    readLanes<simd::Sse2Lanes>(ring, delays, out, n);
}

} // namespace corvid::delay_detail
