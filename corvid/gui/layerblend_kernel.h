#pragma once
// What the layer blend's row kernels see: bare bytes and 16-bit depths, so the
// kernels, each built for its own instruction set, share no inline code with the
// rest of the program.

#include <cstdint>

namespace corvid::layerblend_detail {

// count RGBA pixels (four bytes each) of src over dst by one opacity byte each.
using ColourRow = void (*)(std::uint8_t* dst, const std::uint8_t* src, const std::uint8_t* opacity,
                           std::int32_t count);
// count depths of src over dst by one opacity byte each.
using DepthRow = void (*)(std::uint16_t* dst, const std::uint16_t* src, const std::uint8_t* opacity,
                          std::int32_t count);

void colourRowSse2(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::int32_t);
void colourRowAvx2(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::int32_t);
void colourRowAvx512(std::uint8_t*, const std::uint8_t*, const std::uint8_t*, std::int32_t);
void depthRowSse2(std::uint16_t*, const std::uint16_t*, const std::uint8_t*, std::int32_t);
void depthRowAvx2(std::uint16_t*, const std::uint16_t*, const std::uint8_t*, std::int32_t);
void depthRowAvx512(std::uint16_t*, const std::uint16_t*, const std::uint8_t*, std::int32_t);

} // namespace corvid::layerblend_detail
