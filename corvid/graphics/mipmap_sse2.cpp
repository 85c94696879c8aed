// Baseline mipmap rows: four lanes of SSE2.
#include "corvid/graphics/mipmap_kernel.h"
#include "corvid/simd/sse2.h"

#include "corvid/graphics/mipmap_simd.h"

namespace corvid::mipmap_detail {

const RowKernels sse2Kernels = MipRows<simd::Sse2Lanes>::kernels;

} // namespace corvid::mipmap_detail
