// The colour conversion and the upsamplers in SSE2 registers.
#include "corvid/graphics/codecs/jpegcolor.h"
#include "corvid/simd/sse2.h"

#include "corvid/graphics/codecs/jpegcolor_simd.h"

namespace corvid::jpeg {

void yccToRgbSse2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int count,
                  std::uint8_t* out, int components) {
    color_detail::ColorKernels<simd::Sse2Lanes>::yccToRgb(y, cb, cr, count, out, components);
}

int upsampleH2V2InteriorSse2(const std::uint8_t* near, const std::uint8_t* far, int width,
                             std::uint8_t* out, int from) {
    return color_detail::ColorKernels<simd::Sse2Lanes>::upsampleH2V2(near, far, width, out, from);
}

int upsampleH2V1InteriorSse2(const std::uint8_t* in, int width, std::uint8_t* out, int from) {
    return color_detail::ColorKernels<simd::Sse2Lanes>::upsampleH2V1(in, width, out, from);
}

int upsampleH1V2ColumnsSse2(const std::uint8_t* near, const std::uint8_t* far, int width, int bias,
                            std::uint8_t* out, int from) {
    return color_detail::ColorKernels<simd::Sse2Lanes>::upsampleH1V2(near, far, width, bias, out,
                                                                     from);
}

} // namespace corvid::jpeg
