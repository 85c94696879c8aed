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

void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color) {
    if (!finite(x) || !finite(y) || !finite(a) || !finite(b) || !finite(innerRadius) ||
        !finite(outerRadius))
        return;
    if (a == b) return;
    if (b < a) b += kTwoPi;
    if (a < -kPi || b < -kPi) {
        a += kTwoPi;
        b += kTwoPi;
    }
    const float ro = std::clamp(outerRadius, 0.0f, kCoordinateLimit);
    const float ri = std::clamp(innerRadius, 0.0f, ro);
    const float riSq = ri * ri, roSq = ro * ro;
    const Span s = square(view.drawableArea(), x, y, ro);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        RGBA* row = view.row(j);
        const float dy = static_cast<float>(j) - y;
        for (std::int32_t i = s.x0; i < s.x1; ++i) {
            const float dx = static_cast<float>(i) - x;
            const float d2 = dx * dx + dy * dy;
            // The square root and the angle only for pixels of the ring itself.
            if (d2 < riSq || d2 >= roSq || d2 == 0.0f) continue;
            const float d = std::sqrt(d2);
            if (d < ri || d >= ro) continue;
            float coverage = d > ro - 1.0f ? ro - d : (d < ri + 1.0f ? d - ri : 1.0f);
            float e = std::atan2(dy, dx);
            if (!(a <= e && e <= b)) {
                e += kTwoPi;
                if (!(a <= e && e <= b)) continue;
            }
            const float k = 1.0f / d;
            if (e < a + k)
                coverage *= (e - a) / k;
            else if (b < e + k)
                coverage *= (b - e) / k;
            const float w = coverage * 255.0f + 0.5f;
            if (!(w >= 1.0f)) continue;
            blend(row[i], color, w >= 255.0f ? 255u : static_cast<std::uint32_t>(w));
        }
    }
}

} // namespace corvid
