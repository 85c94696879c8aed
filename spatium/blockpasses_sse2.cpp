// The chain's block passes on the baseline's registers.
#include "corvid/simd/sse2.h"
#include "spatium/blockpasses_kernel.h"

namespace spatium::passes_detail {

const BlockPasses kSse2 = Passes<corvid::simd::Sse2Lanes>::table;

} // namespace spatium::passes_detail
