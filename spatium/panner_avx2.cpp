// The panner's moving loop for processors with AVX2; chosen at run time. The build compiles this
// file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"
#include "spatium/panner_kernel.h"

namespace spatium::panner_detail {

void movingAvx2(MovingJob& job) {
    runMoving(job);
}

const BlockPasses kPassesAvx2 = Passes<corvid::simd::Avx2Lanes>::table;

} // namespace spatium::panner_detail
