// Sixteen pixels at a time for processors with AVX-512; chosen at run time. The
// build compiles this file alone with AVX-512 enabled.
#include "corvid/core/compiler.h"
#include "corvid/simd/avx512.h"
#include "vireo/gui/imageknob_kernel.h"

#include "vireo/gui/imageknob_simd.h"

namespace vireo::imageknob_detail {

void drawBodyAvx512(const BodyJob& job) {
    BodyKernel<corvid::simd::Avx512Lanes>::draw(job);
}

} // namespace vireo::imageknob_detail
