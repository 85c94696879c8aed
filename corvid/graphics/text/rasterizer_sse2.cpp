// The glyph rasteriser's line setup and coverage pass in SSE2 registers.
#include "corvid/graphics/text/rasterizer_kernel.h"
#include "corvid/simd/sse2.h"

#include "corvid/graphics/text/rasterizer_simd.h"

namespace corvid::glyph_detail {

void scanLinesSse2(const ScanJob& job) {
    GlyphKernels<simd::Sse2Lanes>::scan(job);
}

void resolveSse2(const ResolveJob& job) {
    GlyphKernels<simd::Sse2Lanes>::resolve(job);
}

} // namespace corvid::glyph_detail
