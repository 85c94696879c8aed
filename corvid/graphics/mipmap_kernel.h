#pragma once
// What the mipmap's row kernels see: bare bytes, 16-bit depths and 32-bit sums, so
// the kernels, each built for its own instruction set, share no inline code with
// the rest of the program.
//
// The cubic filter runs in two passes through an intermediate row: the vertical
// 1-3-3-1 sums of each source column, then the horizontal 1-3-3-1 sum of four of
// them per output. For colour the intermediate row is two planes of 32-bit words,
// red with blue and green with alpha, each channel in its own 16 bits; for depth,
// one 32-bit sum per column.

#include <cstdint>

namespace corvid::mipmap_detail {

// Output pixels [x0, x1) of one row from the two source rows under it.
using ColourBox = void (*)(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                           std::int32_t x0, std::int32_t x1);
using DepthBox = void (*)(const std::uint16_t* a, const std::uint16_t* b, std::uint16_t* out,
                          std::int32_t x0, std::int32_t x1);
// Vertical sums of source columns [c0, c1) of four rows, written from index 0 on.
using ColourColumns = void (*)(const std::uint8_t* const* rows, std::int32_t c0, std::int32_t c1,
                               std::uint32_t* redBlue, std::uint32_t* greenAlpha);
using DepthColumns = void (*)(const std::uint16_t* const* rows, std::int32_t c0, std::int32_t c1,
                              std::uint32_t* sums);
// n outputs from 2n + 2 vertical sums.
using ColourHorizontal = void (*)(const std::uint32_t* redBlue, const std::uint32_t* greenAlpha,
                                  std::uint8_t* out, std::int32_t n);
using DepthHorizontal = void (*)(const std::uint32_t* sums, std::uint16_t* out, std::int32_t n);

struct RowKernels {
    ColourBox box;
    ColourBox alphaWeightedBox;
    DepthBox depthBox;
    ColourColumns columns;
    DepthColumns depthColumns;
    ColourHorizontal horizontal;
    DepthHorizontal depthHorizontal;
};

extern const RowKernels sse2Kernels;
extern const RowKernels avx2Kernels;
extern const RowKernels avx512Kernels;

} // namespace corvid::mipmap_detail
