#pragma once
// Anti-aliased shapes and depth ramps used by the procedurally drawn widgets. All
// of them clip to the view and its clip rectangle and never allocate. Pixel (i, j)
// sits at integer coordinates (i, j): no half-pixel offset.

#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

#include <cstdint>

namespace corvid {

// Disc of full strength up to r1, fading linearly in squared distance to nothing
// at r2; strength is scaled by opacity (0..1).
void aaDisc(const ImageView<RGBA>& view, float x, float y, float r1, float r2, RGBA color,
            float opacity);
void aaDisc(const ImageView<L16>& view, float x, float y, float r1, float r2, L16 value,
            float opacity);

// Ring of full strength at rMiddle, fading to nothing at rInner and at rOuter.
void aaRing(const ImageView<RGBA>& view, float x, float y, float rInner, float rMiddle,
            float rOuter, RGBA color, float opacity);

enum class DepthCurve {
    quadratic,  // t^2
    squareRoot, // sqrt(t)
    power07,    // t^0.7
    power14,    // t^1.4
    linear,     // t
};

// Fills rect row by row from valueTop (top row) towards valueBottom along curve.
void depthRamp(const ImageView<L16>& view, const IntRect& rect, uint16_t valueTop,
               uint16_t valueBottom, DepthCurve curve);

// One anti-aliased point at a sub-pixel position, spread over the four pixels
// around it with bilinear weights; intensity 0..255.
void splatPoint(const ImageView<RGBA>& view, float x, float y, RGBA color, int intensity);

// A line of splatted points, one per unit step along the major axis, both ends
// included when the step lands on them.
void aaLine(const ImageView<RGBA>& view, float x1, float y1, float x2, float y2, RGBA color,
            int intensity);

} // namespace corvid
