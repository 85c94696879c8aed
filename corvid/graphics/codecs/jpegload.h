#pragma once
// JPEG decoding from memory: Huffman-coded baseline, extended sequential and progressive
// frames with one (grey) or three (YCbCr or Adobe RGB) components, any sampling factors
// and restart intervals. Arithmetic-coded, lossless and hierarchical files are refused.

#include "corvid/graphics/codecs/decoded.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvid {

// Largest picture accepted, in pixels. Checked against the frame header before anything
// is allocated, so a few bytes claiming a huge picture cannot exhaust memory.
inline constexpr std::size_t kJpegMaxPixels = std::size_t{1} << 26;

// Decodes `data` into `out` with `requestedComponents` per pixel: 1 grey (from colour as
// (77 r + 150 g + 29 b) >> 8), 2 grey and alpha, 3 RGB, 4 RGBA (alpha 255). Returns false
// with a message in `error` on any failure, leaving `out` empty; never aborts.
bool decodeJpeg(const std::uint8_t* data, std::size_t size, int requestedComponents,
                DecodedImage& out, std::string& error);

// The same with a caller-chosen pixel limit.
bool decodeJpeg(const std::uint8_t* data, std::size_t size, int requestedComponents,
                DecodedImage& out, std::string& error, std::size_t maxPixels);

} // namespace corvid
