#pragma once
// The ring drawing's kernels, one per instruction set, each built in a file of its
// own; the shapes pick the widest the processor has. Both give the same pixels.

#include "corvid/graphics/color.h"

#include <cstddef>
#include <cstdint>

namespace corvid::shapes_detail {

// One arc of a ring after the wrap rules; none when its ends are equal.
struct PreparedArc {
    bool draws = false;
    float a = 0.0f, b = 0.0f;
    RGBA color{};
};

// A ring of one or two arcs, the second drawn over the first, into RGBA rows.
// Centre and radii are finite and 0 <= innerRadius <= outerRadius <= 1e7; the
// drawable rectangle lies inside the rows.
struct RingJob {
    std::byte* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    float x = 0.0f, y = 0.0f, innerRadius = 0.0f, outerRadius = 0.0f;
    PreparedArc arcs[2];
    int arcCount = 1;
};

void drawRingSse2(const RingJob& job);
void drawRingAvx2(const RingJob& job);

} // namespace corvid::shapes_detail
