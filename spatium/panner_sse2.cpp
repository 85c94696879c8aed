// The panner's moving loop on the baseline's registers.
#include "corvid/simd/sse2.h"
#include "spatium/panner_kernel.h"

namespace spatium::panner_detail {

void movingSse2(MovingJob& job) {
    runMoving(job);
}

const BlockPasses kPassesSse2 = Passes<corvid::simd::Sse2Lanes>::table;

} // namespace spatium::panner_detail
