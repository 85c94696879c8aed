#include "corvid/pbrwidgets/shapes.h"

#include "corvid/graphics/drawex.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace corvid {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
// Far beyond any view, so converting a clamped coordinate cannot overflow.
constexpr float kCoordinateLimit = 1.0e7f;

bool finite(float v) {
    return std::isfinite(v);
}

struct Radii {
    float outer, full;
};

Radii sanitized(float outer, float full) {
    const float o = outer > 0.0f ? std::min(outer, kCoordinateLimit) : 0.0f;
    const float f = full > 0.0f ? std::min(full, o) : 0.0f;
    return {o, f};
}

std::int32_t toPixel(float v) {
    return static_cast<std::int32_t>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

struct Span {
    std::int32_t x0, y0, x1, y1;
};

// trunc(c - r - 1) up to before trunc(c + r + 1), cut to what the view may draw.
Span square(const IntRect& drawable, float x, float y, float r) {
    return {std::max(toPixel(x - r - 1.0f), drawable.minX),
            std::max(toPixel(y - r - 1.0f), drawable.minY),
            std::min(toPixel(x + r + 1.0f), drawable.maxX),
            std::min(toPixel(y + r + 1.0f), drawable.maxY)};
}

void blend(RGBA& d, RGBA c, std::uint32_t w) {
    const std::uint32_t inv = 255u - w;
    d = {static_cast<std::uint8_t>((w * c.r + inv * d.r) / 255u),
         static_cast<std::uint8_t>((w * c.g + inv * d.g) / 255u),
         static_cast<std::uint8_t>((w * c.b + inv * d.b) / 255u),
         static_cast<std::uint8_t>((w * c.a + inv * d.a) / 255u)};
}

} // namespace

void softDisc(const ImageView<RGBA>& view, float x, float y, float outerRadius, float fullRadius,
              RGBA color, float strength) {
    if (!finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    aaDisc(view, x, y, r.full, r.outer, color, strength);
}

void softDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
              std::uint16_t value, float strength) {
    if (!finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    aaDisc(view, x, y, r.full, r.outer, L16(value), strength);
}

void roundedDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
                 std::uint16_t value) {
    if (!finite(x) || !finite(y) || !finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    const float r0sq = r.full * r.full, r1sq = r.outer * r.outer;
    const Span s = square(view.drawableArea(), x, y, r.outer);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        L16* row = view.row(j);
        const float dy = y - static_cast<float>(j);
        for (std::int32_t i = s.x0; i < s.x1; ++i) {
            const float dx = x - static_cast<float>(i);
            const float d2 = dx * dx + dy * dy;
            if (d2 < r0sq) {
                row[i] = L16(value);
            } else if (d2 < r1sq) {
                const float t = (d2 - r0sq) / (r1sq - r0sq);
                const auto w =
                    static_cast<std::uint32_t>((1.0f - std::pow(t, 1.2f)) * 65535.0f + 0.5f);
                row[i] = L16(static_cast<std::uint16_t>(
                    (value * w + (65535u - w) * static_cast<std::uint32_t>(row[i].l)) / 65535u));
            }
        }
    }
}

namespace {

// One arc's angles after the wrap rules, or none when its ends are equal.
struct PreparedArc {
    bool draws = false;
    float a = 0.0f, b = 0.0f;
    RGBA color{0, 0, 0, 0};
};

PreparedArc prepare(float a, float b, RGBA color) {
    PreparedArc p;
    if (!finite(a) || !finite(b) || a == b) return p;
    if (b < a) b += kTwoPi;
    if (a < -kPi || b < -kPi) {
        a += kTwoPi;
        b += kTwoPi;
    }
    return {true, a, b, color};
}

// The angular and radial coverage of one ring pixel under one arc, as a weight.
inline void plotArc(RGBA& pixel, const PreparedArc& arc, float d, float angle,
                    float radialCoverage) {
    float e = angle;
    if (!(arc.a <= e && e <= arc.b)) {
        e += kTwoPi;
        if (!(arc.a <= e && e <= arc.b)) return;
    }
    float coverage = radialCoverage;
    const float k = 1.0f / d;
    if (e < arc.a + k)
        coverage *= (e - arc.a) / k;
    else if (arc.b < e + k)
        coverage *= (arc.b - e) / k;
    const float w = coverage * 255.0f + 0.5f;
    if (!(w >= 1.0f)) return;
    blend(pixel, arc.color, w >= 255.0f ? 255u : static_cast<std::uint32_t>(w));
}

template <std::size_t N>
void drawArcs(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
              const PreparedArc (&arcs)[N]) {
    if (!finite(x) || !finite(y) || !finite(innerRadius) || !finite(outerRadius)) return;
    bool any = false;
    for (const PreparedArc& arc : arcs) any = any || arc.draws;
    if (!any) return;
    const float ro = std::clamp(outerRadius, 0.0f, kCoordinateLimit);
    const float ri = std::clamp(innerRadius, 0.0f, ro);
    const float riSq = ri * ri, roSq = ro * ro;
    const Span s = square(view.drawableArea(), x, y, ro);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = static_cast<float>(j) - y;
        const float dy2 = dy * dy;
        if (!(dy2 <= roSq)) continue;
        // The row's pixels of the ring lie between the outer circle and the hole;
        // both bounds are widened by two pixels and every pixel is still tested.
        const float outerHalf = std::sqrt(roSq - dy2) + 2.0f;
        const float holeHalf = dy2 < riSq ? std::sqrt(riSq - dy2) - 2.0f : -1.0f;
        const std::int32_t i0 = std::max(s.x0, toPixel(x - outerHalf));
        const std::int32_t i1 = std::min(s.x1, toPixel(x + outerHalf) + 1);
        std::int32_t holeStart = i1, holeEnd = i1;
        if (holeHalf > 0.0f) {
            holeStart = std::max(i0, toPixel(x - holeHalf) + 1);
            holeEnd = std::max(holeStart, std::min(i1, toPixel(x + holeHalf)));
        }
        RGBA* row = view.row(j);
        for (std::int32_t i = i0; i < i1; ++i) {
            if (i == holeStart && holeEnd > holeStart) {
                i = holeEnd - 1;
                continue;
            }
            const float dx = static_cast<float>(i) - x;
            const float d2 = dx * dx + dy2;
            // The square root and the angle only for pixels of the ring itself.
            if (d2 < riSq || d2 >= roSq || d2 == 0.0f) continue;
            const float d = std::sqrt(d2);
            if (d < ri || d >= ro) continue;
            const float radial = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
            const float angle = std::atan2(dy, dx);
            for (const PreparedArc& arc : arcs)
                if (arc.draws) plotArc(row[i], arc, d, angle, radial);
        }
    }
}

} // namespace

void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color) {
    const PreparedArc arcs[1] = {prepare(a, b, color)};
    drawArcs(view, x, y, innerRadius, outerRadius, arcs);
}

void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second) {
    const PreparedArc arcs[2] = {prepare(first.a, first.b, first.color),
                                 prepare(second.a, second.b, second.color)};
    drawArcs(view, x, y, innerRadius, outerRadius, arcs);
}

} // namespace corvid
