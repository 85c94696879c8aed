// The skewed cascade for processors with AVX-512: up to four stages in one register;
// chosen at run time. The build compiles this file alone with AVX-512 F, BW, DQ and
// VL enabled.
#include "corvid/simd/avx512.h"
#include "corvid/simd/avx512_stereo.h"
#include "vireo/dsp/cascade_kernel.h"

namespace vireo::cascade_detail {

void skewedAvx512(const Job& job) {
    runSkewed<corvid::simd::Avx512Doubles, 1>(job);
}

bool passesAvx512(const float* left, const float* right, int n) {
    return passesEvery<corvid::simd::Avx512Lanes>({left, right}, n);
}

} // namespace vireo::cascade_detail
