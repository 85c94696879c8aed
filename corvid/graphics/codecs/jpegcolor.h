#pragma once
// Chroma upsampling and YCbCr to RGB conversion for the JPEG decoder, one output row at
// a time. The triangle ("fancy") upsamplers weight the nearer sample 3:1, which keeps
// chroma edges from looking blocky at 2x.

#include "corvid/core/isa.h"

#include <cstdint>

namespace corvid::jpeg {

// Doubles a row horizontally: `out` receives 2 * width samples. Needs width >= 2. As
// for the two below, every instruction set (which the processor must run) gives the
// same samples.
void upsampleH2V1(const std::uint8_t* in, int width, std::uint8_t* out, Isa isa = bestIsa());

// Doubles vertically and horizontally: `near` is the input row that contains the output
// row, `far` the neighbouring row on the output row's side. Needs width >= 2. Every
// instruction set (which the processor must run) gives the same samples.
void upsampleH2V2(const std::uint8_t* near, const std::uint8_t* far, int width, std::uint8_t* out,
                  Isa isa = bestIsa());

// Doubles vertically only; `lowerHalf` is true for the second output row of a pair.
void upsampleH1V2(const std::uint8_t* near, const std::uint8_t* far, int width, bool lowerHalf,
                  std::uint8_t* out, Isa isa = bestIsa());

// Converts `count` pixels; `components` is 3 (RGB) or 4 (RGBA with alpha 255).
using ColorFunction = void (*)(const std::uint8_t* y, const std::uint8_t* cb,
                               const std::uint8_t* cr, int count, std::uint8_t* out,
                               int components);

void yccToRgbReference(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr,
                       int count, std::uint8_t* out, int components);
#if defined(__x86_64__)
void yccToRgbSse2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int count,
                  std::uint8_t* out, int components);
void yccToRgbAvx2(const std::uint8_t* y, const std::uint8_t* cb, const std::uint8_t* cr, int count,
                  std::uint8_t* out, int components);
// The 2x2 upsampler's interior columns from `from` on, as far as whole registers
// reach; returns the first column left over.
int upsampleH2V2InteriorSse2(const std::uint8_t* near, const std::uint8_t* far, int width,
                             std::uint8_t* out, int from);
int upsampleH2V2InteriorAvx2(const std::uint8_t* near, const std::uint8_t* far, int width,
                             std::uint8_t* out, int from);
// The same for the horizontal upsampler.
int upsampleH2V1InteriorSse2(const std::uint8_t* in, int width, std::uint8_t* out, int from);
int upsampleH2V1InteriorAvx2(const std::uint8_t* in, int width, std::uint8_t* out, int from);
// The vertical upsampler's columns from `from` on, with the rounding bias (1 or 2),
// as far as whole steps reach; returns the first column left over.
int upsampleH1V2ColumnsSse2(const std::uint8_t* near, const std::uint8_t* far, int width, int bias,
                            std::uint8_t* out, int from);
int upsampleH1V2ColumnsAvx2(const std::uint8_t* near, const std::uint8_t* far, int width, int bias,
                            std::uint8_t* out, int from);
#endif

// The conversion for an instruction set (which the processor must run), and the
// fastest this processor runs; all give identical output.
ColorFunction colorFor(Isa isa);
ColorFunction bestColor();

} // namespace corvid::jpeg
