// The chain's block passes for processors with AVX-512; chosen at run time. The build
// compiles this file alone with AVX-512 enabled.
#include "corvid/simd/avx512.h"
#include "spatium/blockpasses_kernel.h"

namespace spatium::passes_detail {

const BlockPasses kAvx512 = Passes<corvid::simd::Avx512Lanes>::table;

} // namespace spatium::passes_detail
