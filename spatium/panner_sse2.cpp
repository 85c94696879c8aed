// The panner's moving loop on the baseline's registers.
#include "spatium/panner_kernel.h"

namespace spatium::panner_detail {

void movingSse2(MovingJob& job) {
    runMoving(job);
}

} // namespace spatium::panner_detail
