#pragma once
// Test-side PNG encoding and reference decoding through libpng and zlib.

#include "corvid/graphics/codecs/decoded.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

enum class Pattern { Flat, Gradient, Noise, Artwork };

struct Picture {
    int width = 0, height = 0;
    int colourType = 6; // PNG colour type 0, 2, 3, 4 or 6
    int depth = 8;
    std::vector<std::uint8_t> rows;    // packed scanlines as stored in a PNG, no filter byte
    std::vector<std::uint8_t> palette; // r, g, b per entry (colour type 3)
    std::vector<std::uint8_t> trns;    // raw tRNS chunk body, empty for none
};

// Samples drawn from the pattern, each within the depth's range.
Picture makePicture(int width, int height, int colourType, int depth, Pattern pattern,
                    unsigned seed);

struct Encoding {
    bool interlace = false;
    int filters = -1; // libpng PNG_FILTER_* mask; -1 leaves libpng's default choice
    int level = 6;
    int strategy = 0; // zlib strategy
    int idatSize = 0; // when non-zero, the largest IDAT chunk
};

Bytes encodeWithLibpng(const Picture& picture, const Encoding& encoding);

// libpng's view of the file, expanded to 8-bit RGBA (16-bit samples keep the high byte).
corvid::DecodedImage decodeWithLibpng(const Bytes& file);

// Assembles a PNG by hand: signature, then the given chunks with correct CRCs.
struct Chunk {
    std::string type;
    Bytes body;
};
Bytes assemblePng(const std::vector<Chunk>& chunks);
Bytes headerBody(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                 int interlace = 0);
Bytes zlibCompress(const Bytes& data, int level = 6);

} // namespace pngtest
