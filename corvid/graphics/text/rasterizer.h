#pragma once
// Anti-aliased scan conversion of glyph outlines into 8-bit coverage. Curves are
// flattened into line edges; each pixel row is sampled on 5 sub-scanlines (15 for
// bitmaps under 8 pixels high, where 5 would leave visible steps). Where an edge
// crosses a sub-scanline it adds its winding, split in 1/65536 pixel units between
// the two pixels around the crossing, to a per-row difference array; a running sum
// along the row then gives each pixel's covered length summed over its
// sub-scanlines. Positions and sums are integers, so neither the order in which
// edges are visited nor summing a run of crossings at once can change a byte.
//
// Coverage is the magnitude of the summed winding, clamped to a full pixel: for
// outlines whose contours do not overlap (every well-formed glyph) that is exactly
// the non-zero fill; where contours overlap inside one pixel row it errs towards
// more coverage, as FreeType's smooth rasteriser does.

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/text/rasterizer_kernel.h"
#include "corvid/graphics/text/truetype.h"
#include "corvid/graphics/view.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvid {

// Pixel box of a glyph whose control box is bounds, drawn at scale with the given
// sub-pixel shift, relative to the pen position (y downwards).
IntRect glyphPixelBox(const GlyphBounds& bounds, float scale, float shiftX, float shiftY);

// Sub-scanlines per pixel row for a bitmap of the given height.
inline int subScanlines(int height) {
    return height < 8 ? 15 : 5;
}

// Slope dx/dy of an edge. Nearly horizontal edges would have an infinite slope
// and any huge one is as good; the one edge of infinities that divides to NaN gets
// the largest too, so that no NaN reaches an integer conversion.
inline float edgeSlope(float dx, float dy) {
    const float slope = dx / dy;
    return std::max(-maxEdgeSlope, slope < maxEdgeSlope ? slope : maxEdgeSlope);
}

// Where an edge through (x0, y0) with slope dxdy crosses sub-scanline `sample`
// (global index; subRows per pixel row), and how far its crossing moves from one
// sub-scanline to the next. The crossings of one pixel row are the first one plus
// whole steps.
inline std::int64_t crossingAt(float x0, float y0, float dxdy, int sample, int subRows) {
    const float y = (float(sample) + 0.5f) * (1.0f / float(subRows));
    const float x = x0 + (y - y0) * dxdy;
    return std::int64_t(std::clamp(x, -maxCrossingX, maxCrossingX) * float(crossingUnits));
}
inline std::int64_t crossingStep(float dxdy, int subRows) {
    const float perSample = dxdy * (1.0f / float(subRows));
    return std::int64_t(std::clamp(perSample, -maxCrossingStep, maxCrossingStep) *
                        float(crossingUnits));
}

// Coverage byte of a pixel whose summed winding x covered length over its
// sub-scanlines has the given magnitude in crossing units.
std::uint8_t coverageByte(std::uint32_t magnitude, int subRows);

class GlyphRasterizer {
public:
    // Vector bodies for the given instruction set, which this processor must run.
    explicit GlyphRasterizer(Isa isa = bestIsa()) : isa_(isa) {}

    // Writes the coverage of outline into every pixel of target. A font-unit point
    // (x, y) lands at pixel coordinates (x * scale + offsetX, offsetY - y * scale).
    // Parts of the outline outside the target are cut off. Targets of more than
    // 2^22 pixels (far beyond any glyph) are cleared instead.
    void rasterize(const GlyphOutline& outline, float scale, float offsetX, float offsetY,
                   ImageView<L8> target);

private:
    static constexpr std::size_t lineBatch = 256;
    // The widest set's lane count: batches are handed over padded to it.
    static constexpr std::size_t widestLanes = 8;
    static_assert(lineBatch % widestLanes == 0);

    void addLine(float x0, float y0, float x1, float y1) {
        x0_[lineCount_] = x0;
        y0_[lineCount_] = y0;
        x1_[lineCount_] = x1;
        y1_[lineCount_] = y1;
        if (++lineCount_ == lineBatch) addLines();
    }
    void addLines();

    Isa isa_;
    void (*scanLines_)(const glyph_detail::ScanJob&) = nullptr;
    int width_ = 0;
    int height_ = 0;
    int subRows_ = 5;
    std::size_t pitch_ = 0; // cells per row, a whole number of vectors
    // Lines waiting to be set up, one array per coordinate so that each
    // instruction set loads as many as it has lanes.
    float x0_[lineBatch], y0_[lineBatch], x1_[lineBatch], y1_[lineBatch];
    std::size_t lineCount_ = 0;
    // Difference array of pitch_ cells per row (width + 2 used); all zero
    // between glyphs.
    std::vector<std::uint32_t> cells_;
};

} // namespace corvid
