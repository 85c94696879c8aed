#pragma once
// Lists of pairwise-disjoint rectangles. The redraw works on such lists so that no
// pixel is painted, mipmapped or lit twice in one frame, however the dirty areas
// were reported.

#include "corvid/graphics/rect.h"

#include <vector>

namespace corvid {

// Adds r to a list that is already pairwise disjoint and keeps it so. Existing
// rectangles that r covers are dropped; partly covered ones are cut into the
// pieces outside r (at most four). A rectangle already covered by one entry is not
// added at all. An empty r changes nothing. Removal moves the last entry into the
// freed slot, so the order of the list is not kept.
void addDisjointRect(std::vector<IntRect>& list, const IntRect& r);

// Rewrites `list` so that it covers the same pixels with pairwise-disjoint
// rectangles, by inserting every entry in turn with addDisjointRect. `scratch` is
// working storage whose capacity is kept between calls (no allocation once warm).
void makeDisjoint(std::vector<IntRect>& list, std::vector<IntRect>& scratch);

// Bounding box of the non-empty entries; (0, 0, 0, 0) when there are none.
IntRect boundsOf(const std::vector<IntRect>& list);

} // namespace corvid
