// The skewed cascade on the baseline's two double lanes: one register per stage.
#include "corvid/simd/sse2.h"
#include "corvid/simd/sse2_stereo.h"
#include "vireo/dsp/cascade_kernel.h"

namespace vireo::cascade_detail {

void skewedSse2(const Job& job) {
    using D = corvid::simd::Sse2Doubles;
    switch (job.stages) {
    case 1:
        return runSkewed<D, 1>(job);
    case 2:
        return runSkewed<D, 2>(job);
    case 3:
        return runSkewed<D, 3>(job);
    default:
        return runSkewed<D, 4>(job);
    }
}

bool passesSse2(const float* left, const float* right, int n) {
    return passesEvery<corvid::simd::Sse2Lanes>({left, right}, n);
}

} // namespace vireo::cascade_detail
