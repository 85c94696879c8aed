// The skewed cascade for processors with AVX2: two stages to a register; chosen at
// run time. The build compiles this file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"
#include "corvid/simd/avx2_stereo.h"
#include "vireo/dsp/cascade_kernel.h"

namespace vireo::cascade_detail {

void skewedAvx2(const Job& job) {
    using D = corvid::simd::Avx2Doubles;
    if (job.stages <= 2) return runSkewed<D, 1>(job);
    runSkewed<D, 2>(job);
}

bool passesAvx2(const float* left, const float* right, int n) {
    return passesEvery<corvid::simd::Avx2Lanes>({left, right}, n);
}

} // namespace vireo::cascade_detail
