#pragma once
// PNG decoder for pictures held in memory. Every colour type, bit depth and interlacing is
// read; the result has 8 bits per component (16-bit samples keep their high byte).

#include "corvid/core/isa.h"
#include "corvid/graphics/codecs/decoded.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvid {

// Pictures beyond these are refused before anything is allocated for them.
inline constexpr int kMaxPngSide = 1 << 15;
inline constexpr std::int64_t kMaxPngPixels = std::int64_t(1) << 26;

// True when the data starts with the PNG signature.
bool isPng(const std::uint8_t* data, std::size_t size);

// Decodes into out with requestedComponents per pixel: 1 grey, 2 grey + alpha, 3 RGB,
// 4 RGBA, or 0 for the file's own layout. Grey made from colour is
// (77 r + 150 g + 29 b) >> 8, a missing alpha is 255 and grey becomes colour by repetition.
// On failure returns false, leaves out empty and puts a message in error.
bool decodePng(const std::uint8_t* data, std::size_t size, int requestedComponents,
               DecodedImage& out, std::string& error);

// CRC-32 as used by PNG chunks; start with 0, feed the data in any number of pieces.
std::uint32_t crc32(std::uint32_t crc, const std::uint8_t* data, std::size_t size);

namespace detail {
// Reverses one PNG row filter (0 none, 1 sub, 2 up, 3 average, 4 Paeth). stride is the
// byte distance to the previous pixel's byte (at least 1); prior is the previous
// unfiltered row (zeros for the first). dst may equal src. False for an unknown filter.
// Every instruction set (which the processor must run) gives the same bytes.
bool unfilterRow(unsigned filter, std::uint8_t* dst, const std::uint8_t* src,
                 const std::uint8_t* prior, std::size_t bytes, int stride, Isa isa = bestIsa());

// Reverses the filters of rows consecutive rows stored in data, each a filter byte then
// bytes bytes; row y goes to out + y * outPitch, which may lie within data as long as it
// does not start after the row's own bytes.
bool unfilterRows(std::uint8_t* data, std::size_t bytes, int rows, int stride, std::uint8_t* out,
                  std::size_t outPitch, Isa isa = bestIsa());
} // namespace detail

} // namespace corvid
