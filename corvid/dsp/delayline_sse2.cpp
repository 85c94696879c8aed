// Baseline reads: four lanes of SSE2, which every x86-64 processor has.
#include "corvid/dsp/delayline_kernel.h"
#include "corvid/simd/sse2.h"

namespace corvid::delay_detail {

void readSse2(const Ring& ring, const float* delays, float* out, int n) {
    readLanes<simd::Sse2Lanes>(ring, delays, out, n);
}

void readPairSse2(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                  const float* delaysB, float* outB, int n) {
    readPairLanes<simd::Sse2Lanes>(a, delaysA, outA, b, delaysB, outB, n);
}

} // namespace corvid::delay_detail
