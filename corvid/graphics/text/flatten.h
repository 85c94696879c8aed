#pragma once
// Glyph outlines (quadratic splines) as line segments in pixel coordinates.

#include "corvid/graphics/text/truetype.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace corvid {

// Calls line(x0, y0, x1, y1) for every segment of every contour of outline, in
// order, with font-unit points mapped to (x * scale + offsetX, offsetY - y * scale).
// Curves are split into uniform steps with a chord error of at most a tenth of a
// pixel; curves wholly above 0 or below clipHeight are never sampled, so they stay
// single chords. Malformed contour ends are skipped.
template <class Line>
void flattenOutline(const GlyphOutline& outline, float scale, float offsetX, float offsetY,
                    float clipHeight, Line&& line) {
    constexpr float flatness = 0.1f;
    constexpr int maxCurveSegments = 256;
    // Bounds the work a hostile outline can cause: curves are no longer
    // subdivided once this many curve segments exist.
    constexpr std::size_t maxSegments = 1u << 20;
    std::size_t segments = 0;

    auto quad = [&](float x0, float y0, float cx, float cy, float x1, float y1) {
        // The chord error of n uniform steps is |p0 - 2c + p1| / (4 n^2); the L1
        // norm overestimates the length, which only errs towards more steps.
        const float ax = x0 - 2 * cx + x1, ay = y0 - 2 * cy + y1;
        const float dd = std::abs(ax) + std::abs(ay);
        int n = 1;
        const bool outside = std::max({y0, cy, y1}) <= 0 || std::min({y0, cy, y1}) >= clipHeight;
        if (dd > 4 * flatness && !outside && segments < maxSegments) {
            const float steps = std::ceil(std::sqrt(dd * (1.0f / (4 * flatness))));
            n = steps < float(maxCurveSegments) ? int(steps) : maxCurveSegments;
        }
        segments += std::size_t(n);
        if (n == 1) {
            line(x0, y0, x1, y1);
            return;
        }
        // Forward differences of a t^2 + b t + p0 at steps of 1/n.
        const float h = 1.0f / float(n);
        const float bx = 2 * (cx - x0), by = 2 * (cy - y0);
        float dx = ax * h * h + bx * h, dy = ay * h * h + by * h;
        const float ddx = 2 * ax * h * h, ddy = 2 * ay * h * h;
        float px = x0, py = y0;
        for (int i = 1; i < n; ++i) {
            const float qx = px + dx, qy = py + dy;
            line(px, py, qx, qy);
            px = qx;
            py = qy;
            dx += ddx;
            dy += ddy;
        }
        line(px, py, x1, y1);
    };

    std::size_t first = 0;
    for (std::uint32_t end : outline.contourEnds) {
        if (end > outline.points.size() || end <= first) {
            first = std::max<std::size_t>(first, end);
            continue;
        }
        const GlyphPoint* pts = outline.points.data() + first;
        const std::size_t n = end - first;
        first = end;
        auto px = [&](std::size_t i) { return pts[i].x * scale + offsetX; };
        auto py = [&](std::size_t i) { return offsetY - pts[i].y * scale; };

        // A contour may begin off the curve: start from the last point when that one
        // is on it, else from the implied point between the two.
        float sx, sy;
        std::size_t from = 0, to = n;
        if (pts[0].onCurve) {
            sx = px(0);
            sy = py(0);
            from = 1;
        } else if (pts[n - 1].onCurve) {
            sx = px(n - 1);
            sy = py(n - 1);
            to = n - 1;
        } else {
            sx = (px(0) + px(n - 1)) * 0.5f;
            sy = (py(0) + py(n - 1)) * 0.5f;
        }
        // Off-curve points control a curve; two in a row imply an on-curve point
        // halfway between them.
        float cx = sx, cy = sy, ctrlX = 0, ctrlY = 0;
        bool haveCtrl = false;
        for (std::size_t i = from; i < to; ++i) {
            const float x = px(i), y = py(i);
            if (pts[i].onCurve) {
                if (haveCtrl)
                    quad(cx, cy, ctrlX, ctrlY, x, y);
                else
                    line(cx, cy, x, y);
                haveCtrl = false;
                cx = x;
                cy = y;
            } else {
                if (haveCtrl) {
                    const float mx = (ctrlX + x) * 0.5f, my = (ctrlY + y) * 0.5f;
                    quad(cx, cy, ctrlX, ctrlY, mx, my);
                    cx = mx;
                    cy = my;
                }
                ctrlX = x;
                ctrlY = y;
                haveCtrl = true;
            }
        }
        if (haveCtrl)
            quad(cx, cy, ctrlX, ctrlY, sx, sy);
        else
            line(cx, cy, sx, sy);
    }
}

} // namespace corvid
