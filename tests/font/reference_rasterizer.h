#pragma once
// The glyph rasteriser written the plain way: every outline flattened into a list
// of edges, then every sub-scanline tested against every edge and the row summed
// in 64 bits. The rasteriser of the library must reproduce its every coverage byte.

#include "corvid/graphics/color.h"
#include "corvid/graphics/text/truetype.h"
#include "corvid/graphics/view.h"

#include <cstdint>
#include <vector>

namespace fonttest {

using corvid::GlyphOutline;
using corvid::ImageView;
using corvid::L8;

class ReferenceRasterizer {
public:
    void rasterize(const GlyphOutline& outline, float scale, float offsetX, float offsetY,
                   ImageView<L8> target);

private:
    struct Edge {
        float x0, y0, y1; // y0 < y1
        float dxdy;
        int winding;
        int firstSample, endSample; // the sub-scanlines the edge owns
    };

    void addLine(float x0, float y0, float x1, float y1);

    int height_ = 0;
    int subRows_ = 5;
    std::vector<Edge> edges_;
};

} // namespace fonttest
