#pragma once
// The shapes the procedurally drawn widgets are made of, beside the discs and rings
// of the graphics library. Each visits only its bounding square enlarged by one
// pixel, clipped to the view; pixel (i, j) sits at integer coordinates.

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/view.h"

namespace corvid {

// The calls below that take an instruction set draw with the widest this processor
// runs unless told otherwise (a set the processor must run); every set gives the
// same pixels.

// A disc of full strength up to fullRadius fading linearly in squared distance to
// nothing at outerRadius. Negative radii count as 0 and a full radius beyond the
// outer one as the outer one, so odd field values cannot grow a disc past its box.
void softDisc(const ImageView<RGBA>& view, float x, float y, float outerRadius, float fullRadius,
              RGBA color, float strength = 1.0f, Isa isa = bestIsa());
void softDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
              std::uint16_t value, float strength = 1.0f, Isa isa = bestIsa());

// A depth disc and a colour disc of one centre and radii at full strength: the
// pixels of the two softDisc calls, with each pixel's fade found once. Views whose
// drawable areas differ are drawn one after the other.
void softDiscs(const ImageView<L16>& depthView, std::uint16_t depth,
               const ImageView<RGBA>& colourView, RGBA color, float x, float y, float outerRadius,
               float fullRadius, Isa isa = bestIsa());

// As the depth disc, with the weight falling as 1 - t^1.2 of the squared-distance
// fraction t: a rounded top instead of a cone.
void roundedDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
                 std::uint16_t value);

// The part of the ring innerRadius <= d < outerRadius between the screen angles a
// and b (radians, atan2 of the pixel's offset with y downward), anti-aliased at its
// rims and at both ends. Equal angles draw nothing.
void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color, Isa isa = bestIsa());

struct ArcSpan {
    float a, b;
    RGBA color;
};

// Two arcs of one ring, the second drawn over the first: the same pixels as two
// annularArc calls, with each pixel's distance and angle found once.
void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second,
                    Isa isa = bestIsa());

} // namespace corvid
