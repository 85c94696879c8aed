#pragma once
// What the drawing's row kernels see: bare bytes, so the kernels, each built for its
// own instruction set, share no inline code with the rest of the program.

#include <cstdint>

namespace corvid::draw_detail {

// count RGBA pixels (four bytes each) of a row become (premultiplied + d x inverse)
// / 255 per channel; premultiplied holds colour x opacity for r, g, b and a.
using BlendRow = void (*)(std::uint8_t* row, std::int32_t count, const std::uint32_t* premultiplied,
                          std::uint32_t inverse);

void blendRowSse2(std::uint8_t*, std::int32_t, const std::uint32_t*, std::uint32_t);
void blendRowAvx2(std::uint8_t*, std::int32_t, const std::uint32_t*, std::uint32_t);
void blendRowAvx512(std::uint8_t*, std::int32_t, const std::uint32_t*, std::uint32_t);

} // namespace corvid::draw_detail
