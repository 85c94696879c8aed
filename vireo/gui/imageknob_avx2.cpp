// Eight pixels at a time for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/core/compiler.h"
#include "corvid/simd/avx2.h"
#include "vireo/gui/imageknob_kernel.h"

#include "vireo/gui/imageknob_simd.h"

namespace vireo::imageknob_detail {

void drawBodyAvx2(const BodyJob& job) {
    BodyKernel<corvid::simd::Avx2Lanes>::draw(job);
}

} // namespace vireo::imageknob_detail
