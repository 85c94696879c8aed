// The panner's moving loop for processors with AVX2; chosen at run time. The build compiles this
// file alone with AVX2 enabled.
#include "spatium/panner_kernel.h"

namespace spatium::panner_detail {

void movingAvx2(MovingJob& job) {
    runMoving(job);
}

} // namespace spatium::panner_detail
