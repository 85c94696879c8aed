// Sixteen reads at a time for processors with AVX-512; chosen at run time. The
// build compiles this file alone with AVX-512 F, BW, DQ and VL enabled.
#include "corvid/dsp/delayline_kernel.h"
#include "corvid/simd/avx512.h"

namespace corvid::delay_detail {

void readAvx512(const Ring& ring, const float* delays, float* out, int n) {
    readLanes<simd::Avx512Lanes>(ring, delays, out, n);
}

void readPairAvx512(const Ring& a, const float* delaysA, float* outA, const Ring& b,
                    const float* delaysB, float* outB, int n) {
    readPairLanes<simd::Avx512Lanes>(a, delaysA, outA, b, delaysB, outB, n);
}

} // namespace corvid::delay_detail
