// The skewed cascade for processors with AVX-512: up to four stages in one register;
// chosen at run time. The build compiles this file alone with AVX-512 F, BW, DQ and
// VL enabled.
#include "corvid/simd/avx512_stereo.h"
#include "vireo/dsp/cascade_kernel.h"

namespace vireo::cascade_detail {

void skewedAvx512(const Job& job) {
    runSkewed<corvid::simd::Avx512Doubles, 1>(job);
}

} // namespace vireo::cascade_detail
