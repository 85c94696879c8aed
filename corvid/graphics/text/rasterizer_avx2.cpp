// The glyph rasteriser's line setup for processors with AVX2, eight lines a
// register; chosen at run time. The build compiles this file alone with AVX2
// enabled. The coverage pass has no AVX2 body: its rows are a few cells wide.
#include "corvid/graphics/text/rasterizer_kernel.h"
#include "corvid/simd/avx2.h"

#include "corvid/graphics/text/rasterizer_simd.h"

namespace corvid::glyph_detail {

void scanLinesAvx2(const ScanJob& job) {
    GlyphKernels<simd::Avx2Lanes>::scan(job);
}

} // namespace corvid::glyph_detail
