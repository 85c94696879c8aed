// The panner's moving loop for processors with AVX-512: 32 registers hold the whole loop; chosen at
// run time. The build compiles this file alone with AVX-512 F, BW, DQ and VL enabled.
#include "spatium/panner_kernel.h"

namespace spatium::panner_detail {

void movingAvx512(MovingJob& job) {
    runMoving(job);
}

} // namespace spatium::panner_detail
