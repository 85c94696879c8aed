#pragma once
// The shapes the procedurally drawn widgets are made of, beside the discs and rings
// of the graphics library. Each visits only its bounding square enlarged by one
// pixel, clipped to the view; pixel (i, j) sits at integer coordinates.

#include "corvid/graphics/color.h"
#include "corvid/graphics/view.h"

namespace corvid {

// A disc of full strength up to fullRadius fading linearly in squared distance to
// nothing at outerRadius. Negative radii count as 0 and a full radius beyond the
// outer one as the outer one, so odd field values cannot grow a disc past its box.
void softDisc(const ImageView<RGBA>& view, float x, float y, float outerRadius, float fullRadius,
              RGBA color, float strength = 1.0f);
void softDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
              std::uint16_t value, float strength = 1.0f);

// As the depth disc, with the weight falling as 1 - t^1.2 of the squared-distance
// fraction t: a rounded top instead of a cone.
void roundedDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
                 std::uint16_t value);

// The part of the ring innerRadius <= d < outerRadius between the screen angles a
// and b (radians, atan2 of the pixel's offset with y downward), anti-aliased at its
// rims and at both ends. Equal angles draw nothing.
void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color);

struct ArcSpan {
    float a, b;
    RGBA color;
};

// Two arcs of one ring, the second drawn over the first: the same pixels as two
// annularArc calls, with each pixel's distance and angle found once.
void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second);

// The instruction sets the rings can be drawn with; every path gives the same
// pixels. The calls above take the widest this processor supports.
enum class ShapePath { sse2, avx2 };
ShapePath bestShapePath();

// annularArcPair on a given path, which the processor must support.
void annularArcPairUsing(ShapePath path, const ImageView<RGBA>& view, float x, float y,
                         float innerRadius, float outerRadius, const ArcSpan& first,
                         const ArcSpan& second);

} // namespace corvid
