#pragma once
// Anti-aliased scan conversion of glyph outlines into 8-bit coverage. Curves are
// flattened into line edges; each pixel row is sampled on 5 sub-scanlines (15 for
// bitmaps under 8 pixels high, where 5 would leave visible steps), and within a
// sub-scanline the covered length of every pixel is accumulated exactly.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/truetype.h"
#include "corvid/graphics/view.h"

#include <cstdint>
#include <vector>

namespace corvid {

// Pixel box of a glyph whose control box is bounds, drawn at scale with the given
// sub-pixel shift, relative to the pen position (y downwards).
IntRect glyphPixelBox(const GlyphBounds& bounds, float scale, float shiftX, float shiftY);

class GlyphRasterizer {
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

    [[gnu::always_inline]] void addLine(float x0, float y0, float x1, float y1);
    void addQuad(float x0, float y0, float cx, float cy, float x1, float y1);
    void updateActive(float y);
    // Crossings of the active edges with the sub-scanline at y, in ascending order;
    // true when they had to be sorted.
    bool crossAt(float y);
    void sortActive();
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
    std::vector<Edge*> active_; // into edges_, ordered by crossing
    std::vector<float> cover_;
};

} // namespace corvid
