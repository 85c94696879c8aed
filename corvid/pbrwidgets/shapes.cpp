#include "corvid/pbrwidgets/shapes.h"

#include "corvid/pbrwidgets/shapes_kernel.h"
#include "corvid/pbrwidgets/shapes_simd.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace corvid {

namespace {

using shapes_detail::blendPixel;
using shapes_detail::kCoordinateLimit;
using shapes_detail::kPi;
using shapes_detail::kTwoPi;
using shapes_detail::spanMargin;
using shapes_detail::toPixel;

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

using shapes_detail::blendDepthPixel;
using shapes_detail::discWeight;

shapes_detail::DiscJob discJob(const IntRect& drawable, float x, float y, const Radii& r) {
    shapes_detail::DiscJob job;
    job.minX = drawable.minX;
    job.minY = drawable.minY;
    job.maxX = drawable.maxX;
    job.maxY = drawable.maxY;
    job.x = x;
    job.y = y;
    job.outerRadius = r.outer;
    job.fullRadius = r.full;
    return job;
}

template <typename Pixel>
shapes_detail::DiscPlane planeOf(const ImageView<Pixel>& view) {
    shapes_detail::DiscPlane p;
    p.pixels = reinterpret_cast<std::byte*>(view.pixels());
    p.pitch = view.pitch();
    return p;
}

void drawDisc(Isa isa, const shapes_detail::DiscJob& job) {
    IsaBodies<void (*)(const shapes_detail::DiscJob&)>{&shapes_detail::drawDiscSse2,
                                                       &shapes_detail::drawDiscAvx2}[isa](job);
}

// A disc at part strength, pixel by pixel over the columns whose distance can fall
// inside the outer radius. Full strength goes to the kernels, which fill the full
// part and give the same pixels.
template <typename Pixel, typename Blend>
void partStrengthDisc(const ImageView<Pixel>& view, float x, float y, const Radii& r,
                      float strength, Blend blendOne) {
    constexpr std::uint32_t kMax = std::is_same_v<Pixel, RGBA> ? 255u : 65535u;
    const float r1sq = r.full * r.full, r2sq = r.outer * r.outer;
    const Span s = square(view.drawableArea(), x, y, r.outer);
    const float margin = spanMargin(r.outer);
    for (std::int32_t j = s.y0; j < s.y1; ++j) {
        const float dy = y - static_cast<float>(j);
        const float dy2 = dy * dy;
        if (!(dy2 < r2sq)) continue;
        const float outerHalf = std::sqrt(r2sq - dy2) + margin;
        const std::int32_t i0 = std::max(s.x0, toPixel(x - outerHalf));
        const std::int32_t i1 = std::min(s.x1, toPixel(x + outerHalf) + 1);
        Pixel* row = view.row(j);
        for (std::int32_t i = i0; i < i1; ++i) {
            const float dx = x - static_cast<float>(i);
            blendOne(row[i], discWeight<kMax>(dx * dx + dy2, r1sq, r2sq, strength));
        }
    }
}

// Either disc: part strength pixel by pixel with blendOne, full strength through the
// kernels on the plane setPlane puts in the job.
template <typename Pixel, typename Blend, typename SetPlane>
void softDiscOn(const ImageView<Pixel>& view, float x, float y, float outerRadius, float fullRadius,
                float strength, Isa isa, Blend blendOne, SetPlane setPlane) {
    if (!finite(x) || !finite(y) || !finite(outerRadius) || !finite(fullRadius)) return;
    const Radii r = sanitized(outerRadius, fullRadius);
    const IntRect drawable = view.drawableArea();
    if (drawable.isEmpty()) return;
    if (strength != 1.0f) {
        partStrengthDisc(view, x, y, r, strength, blendOne);
        return;
    }
    shapes_detail::DiscJob job = discJob(drawable, x, y, r);
    setPlane(job);
    drawDisc(isa, job);
}

} // namespace

void softDisc(const ImageView<RGBA>& view, float x, float y, float outerRadius, float fullRadius,
              RGBA color, float strength, Isa isa) {
    softDiscOn(
        view, x, y, outerRadius, fullRadius, strength, isa,
        [&](RGBA& d, std::uint32_t w) { blendPixel(d, color, w); },
        [&](shapes_detail::DiscJob& job) {
            job.colour = planeOf(view);
            job.colour.color = color;
        });
}

void softDisc(const ImageView<L16>& view, float x, float y, float outerRadius, float fullRadius,
              std::uint16_t value, float strength, Isa isa) {
    softDiscOn(
        view, x, y, outerRadius, fullRadius, strength, isa,
        [&](L16& d, std::uint32_t w) { blendDepthPixel(d, value, w); },
        [&](shapes_detail::DiscJob& job) {
            job.depth = planeOf(view);
            job.depth.depth = value;
        });
}

void softDiscs(const ImageView<L16>& depthView, std::uint16_t depth,
               const ImageView<RGBA>& colourView, RGBA color, float x, float y, float outerRadius,
               float fullRadius, Isa isa) {
    const IntRect drawable = depthView.drawableArea();
    if (!(drawable == colourView.drawableArea())) {
        softDisc(depthView, x, y, outerRadius, fullRadius, depth, 1.0f, isa);
        softDisc(colourView, x, y, outerRadius, fullRadius, color, 1.0f, isa);
        return;
    }
    if (!finite(x) || !finite(y) || !finite(outerRadius) || !finite(fullRadius)) return;
    if (drawable.isEmpty()) return;
    shapes_detail::DiscJob job = discJob(drawable, x, y, sanitized(outerRadius, fullRadius));
    job.depth = planeOf(depthView);
    job.depth.depth = depth;
    job.colour = planeOf(colourView);
    job.colour.color = color;
    drawDisc(isa, job);
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

using shapes_detail::PreparedArc;

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

void drawRing(Isa isa, const ImageView<RGBA>& view, float x, float y, float innerRadius,
              float outerRadius, const PreparedArc& first, const PreparedArc* second) {
    if (!finite(x) || !finite(y) || !finite(innerRadius) || !finite(outerRadius)) return;
    if (!first.draws && !(second != nullptr && second->draws)) return;
    const IntRect drawable = view.drawableArea();
    if (drawable.isEmpty()) return;
    shapes_detail::RingJob job;
    job.pixels = reinterpret_cast<std::byte*>(view.pixels());
    job.pitch = view.pitch();
    job.minX = drawable.minX;
    job.minY = drawable.minY;
    job.maxX = drawable.maxX;
    job.maxY = drawable.maxY;
    job.x = x;
    job.y = y;
    job.outerRadius = std::clamp(outerRadius, 0.0f, kCoordinateLimit);
    job.innerRadius = std::clamp(innerRadius, 0.0f, job.outerRadius);
    job.arcs[0] = first;
    if (second != nullptr) job.arcs[1] = *second;
    job.arcCount = second != nullptr ? 2 : 1;
    IsaBodies<void (*)(const shapes_detail::RingJob&)>{&shapes_detail::drawRingSse2,
                                                       &shapes_detail::drawRingAvx2}[isa](job);
}

} // namespace

void annularArc(const ImageView<RGBA>& view, float x, float y, float innerRadius, float outerRadius,
                float a, float b, RGBA color, Isa isa) {
    drawRing(isa, view, x, y, innerRadius, outerRadius, prepare(a, b, color), nullptr);
}

void annularArcPair(const ImageView<RGBA>& view, float x, float y, float innerRadius,
                    float outerRadius, const ArcSpan& first, const ArcSpan& second, Isa isa) {
    const PreparedArc over = prepare(second.a, second.b, second.color);
    drawRing(isa, view, x, y, innerRadius, outerRadius, prepare(first.a, first.b, first.color),
             &over);
}

} // namespace corvid
