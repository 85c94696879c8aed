// Sixteen-lane mipmap rows for processors with AVX-512; chosen at run time.
#include "corvid/graphics/mipmap_kernel.h"
#include "corvid/simd/avx512.h"

#include "corvid/graphics/mipmap_simd.h"

namespace corvid::mipmap_detail {

const RowKernels avx512Kernels = MipRows<simd::Avx512Lanes>::kernels;

} // namespace corvid::mipmap_detail
