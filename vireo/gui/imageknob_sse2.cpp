// Baseline image knob body: four pixels at a time on SSE2.
#include "corvid/core/compiler.h"
#include "corvid/simd/sse2.h"
#include "vireo/gui/imageknob_kernel.h"

#include "vireo/gui/imageknob_simd.h"

namespace vireo::imageknob_detail {

void drawBodySse2(const BodyJob& job) {
    BodyKernel<corvid::simd::Sse2Lanes>::draw(job);
}

} // namespace vireo::imageknob_detail
