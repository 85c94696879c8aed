// Eight-lane mipmap rows for processors with AVX2; chosen at run time.
#include "corvid/graphics/mipmap_kernel.h"
#include "corvid/simd/avx2.h"

#include "corvid/graphics/mipmap_simd.h"

namespace corvid::mipmap_detail {

const RowKernels avx2Kernels = MipRows<simd::Avx2Lanes>::kernels;

} // namespace corvid::mipmap_detail
