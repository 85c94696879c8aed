// The chain's block passes for processors with AVX2; chosen at run time. The build
// compiles this file alone with AVX2 enabled.
#include "corvid/simd/avx2.h"
#include "spatium/blockpasses_kernel.h"

namespace spatium::passes_detail {

const BlockPasses kAvx2 = Passes<corvid::simd::Avx2Lanes>::table;

} // namespace spatium::passes_detail
