#pragma once
// Rectangle fills. Every operation clips to the view and to its clip rectangle,
// accepts corners in either order, never allocates and works in integers on the
// stored values.

#include "corvid/core/isa.h"
#include "corvid/graphics/color.h"
#include "corvid/graphics/rect.h"
#include "corvid/graphics/view.h"

namespace corvid {

void fillRect(const ImageView<RGBA>& view, RGBA color, const IntRect& rect);
void fillRect(const ImageView<L16>& view, L16 value, const IntRect& rect);
void fillRect(const ImageView<L8>& view, L8 value, const IntRect& rect);

// Blends color over the rectangle, alpha included: opacity 0 leaves the pixels,
// 1 is a plain fill, in between every channel becomes
// (color x o + dst x (255 - o)) / 255 with o = opacity x 255 rounded. Opacities
// outside 0..1 are taken as the nearest end. The widest instruction set this
// processor runs is used unless told otherwise (a set it must run); every set gives
// the same pixels.
void fillRectBlended(const ImageView<RGBA>& view, RGBA color, const IntRect& rect, float opacity,
                     Isa isa = bestIsa());

// The 16-bit counterpart: weight w = opacity x 65535 rounded, every pixel becomes
// (value x w + (65535 - w) x dst) / 65535.
void fillRectBlended(const ImageView<L16>& view, L16 value, const IntRect& rect, float opacity);

// The area a rectangle fill touches: rect normalised and cut to the view and its clip.
IntRect clippedArea(const IntRect& drawable, const IntRect& rect);

} // namespace corvid
