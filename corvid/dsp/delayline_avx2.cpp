// Eight reads at a time for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/dsp/delayline_kernel.h"
#include "corvid/simd/avx2.h"

namespace corvid::delay_detail {

void readAvx2(const Ring& ring, const float* delays, float* out, int n) {
    readLanes<simd::Avx2Lanes>(ring, delays, out, n);
}

void readPairAvx2(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                  const float* delaysB, float* outB, int n) {
    readPairLanes<simd::Avx2Lanes>(a, delaysA, outA, b, delaysB, outB, n);
}

} // namespace corvid::delay_detail
