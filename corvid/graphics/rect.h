#pragma once
// Integer rectangle in pixels, y downwards, half-open on the max side. Every dirty
// list, clip and element position in the framework is one of these.

#include <algorithm>
#include <cstdint>

namespace corvid {

struct IntRect {
    int32_t minX = 0;
    int32_t minY = 0;
    int32_t maxX = 0;
    int32_t maxY = 0;

    constexpr int32_t width() const { return maxX - minX; }
    constexpr int32_t height() const { return maxY - minY; }

    // Inverted rectangles count as empty too, so the result of intersecting two
    // disjoint rectangles never needs special handling by the caller.
    constexpr bool isEmpty() const { return minX >= maxX || minY >= maxY; }

    constexpr bool contains(int32_t x, int32_t y) const {
        return x >= minX && x < maxX && y >= minY && y < maxY;
    }

    // Corners given in either order become min/max corners.
    constexpr IntRect normalized() const {
        return {std::min(minX, maxX), std::min(minY, maxY), std::max(minX, maxX),
                std::max(minY, maxY)};
    }

    // An empty intersection is returned as (0, 0, 0, 0) so that width() and
    // height() are never negative.
    constexpr IntRect intersect(const IntRect& o) const {
        const IntRect r{std::max(minX, o.minX), std::max(minY, o.minY), std::min(maxX, o.maxX),
                        std::min(maxY, o.maxY)};
        return r.isEmpty() ? IntRect{} : r;
    }

    constexpr bool overlaps(const IntRect& o) const { return !intersect(o).isEmpty(); }

    // Bounding box of both; an empty operand does not widen the result.
    constexpr IntRect unite(const IntRect& o) const {
        if (isEmpty()) return o.isEmpty() ? IntRect{} : o;
        if (o.isEmpty()) return *this;
        return {std::min(minX, o.minX), std::min(minY, o.minY), std::max(maxX, o.maxX),
                std::max(maxY, o.maxY)};
    }

    constexpr IntRect translated(int32_t dx, int32_t dy) const {
        return {minX + dx, minY + dy, maxX + dx, maxY + dy};
    }

    friend constexpr bool operator==(const IntRect&, const IntRect&) = default;
};

} // namespace corvid
