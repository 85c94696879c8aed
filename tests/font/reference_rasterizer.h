#pragma once
// The glyph rasteriser as it stood before its speed work, kept verbatim apart from
// its name: the optimised one must reproduce its every coverage byte.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/truetype.h"
#include "corvid/graphics/view.h"

#include <cstdint>
#include <vector>

namespace fonttest {

using corvid::GlyphOutline;
using corvid::GlyphPoint;
using corvid::ImageView;
using corvid::L8;

class ReferenceRasterizer {
public:
    // Writes the coverage of outline into every pixel of target. A font-unit point
    // (x, y) lands at pixel coordinates (x * scale + offsetX, offsetY - y * scale).
    // Parts of the outline outside the target are cut off.
    void rasterize(const GlyphOutline& outline, float scale, float offsetX, float offsetY,
                   ImageView<L8> target);

private:
    struct Edge {
        float x0, y0, y1; // y0 < y1
        float dxdy;
        int winding;
        float x;     // crossing with the current sub-scanline while active
        float xLast; // crossing with the last sub-scanline of the current row
    };

    void addLine(float x0, float y0, float x1, float y1);
    void addQuad(float x0, float y0, float cx, float cy, float x1, float y1);
    void updateActive(float y);
    void crossAt(float y);
    void flatten(const GlyphOutline& outline, float scale, float offsetX, float offsetY);

    float clipHeight_ = 0;
    int subRows_ = 5;
    std::size_t nextEdge_ = 0; // first edge not yet active
    float nextChange_ = 0;     // next y at which an edge starts or ends
    struct EdgeKey {
        float y0;
        std::uint32_t index;
    };

    // Scratch storage reused from glyph to glyph.
    std::vector<Edge> edges_;
    std::vector<EdgeKey> order_;
    std::vector<Edge> active_;
    std::vector<float> cover_;
};

} // namespace fonttest
