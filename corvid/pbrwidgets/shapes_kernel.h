#pragma once
// The kernels of the rings and soft discs, one per instruction set, each built in a
// file of its own; the shapes pick the widest the processor has. All give the same
// pixels.

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

// The rows a disc paints: RGBA pixels in a colour, or 16-bit depths at a level.
// None when pixels is null.
struct DiscPlane {
    std::byte* pixels = nullptr;
    std::ptrdiff_t pitch = 0;
    RGBA color{};
    std::uint16_t depth = 0;
};

// A soft disc at full strength into a colour plane, a depth plane or both. Centre
// finite, 0 <= fullRadius <= outerRadius <= 1e7; the drawable rectangle lies
// inside the rows of every plane.
struct DiscJob {
    DiscPlane colour, depth;
    std::int32_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    float x = 0.0f, y = 0.0f, outerRadius = 0.0f, fullRadius = 0.0f;
};

void drawRingSse2(const RingJob& job);
void drawRingAvx2(const RingJob& job);
void drawDiscSse2(const DiscJob& job);
void drawDiscAvx2(const DiscJob& job);

} // namespace corvid::shapes_detail
