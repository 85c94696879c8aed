#include "tests/font/reference_rasterizer.h"

#include "corvid/graphics/rasterizer.h"

#include <algorithm>
#include <cmath>

namespace fonttest {

namespace {

constexpr float flatness = 0.1f;
constexpr int maxCurveSegments = 256;
constexpr std::size_t maxSegments = 1u << 20;

int ceilClamped(float t, int limit) {
    if (!(t > 0.0f)) return 0;
    if (t >= float(limit)) return limit;
    return int(std::ceil(t));
}

} // namespace

void ReferenceRasterizer::addLine(float x0, float y0, float x1, float y1) {
    if (y0 == y1 || !std::isfinite(x0 + y0 + x1 + y1)) return;
    int winding = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        winding = -1;
    }
    const float n = float(subRows_);
    const int samples = height_ * subRows_;
    const float dxdy = corvid::edgeSlope(x1 - x0, y1 - y0);
    edges_.push_back({x0, y0, y1, dxdy, winding, ceilClamped(y0 * n - 0.5f, samples),
                      ceilClamped(y1 * n - 0.5f, samples)});
}

void ReferenceRasterizer::addQuad(float x0, float y0, float cx, float cy, float x1, float y1) {
    const float ax = x0 - 2 * cx + x1, ay = y0 - 2 * cy + y1;
    const float dd = std::abs(ax) + std::abs(ay);
    int n = 1;
    const bool outside = std::max({y0, cy, y1}) <= 0 || std::min({y0, cy, y1}) >= float(height_);
    if (dd > 4 * flatness && !outside && segments_ < maxSegments) {
        const float steps = std::ceil(std::sqrt(dd * (1.0f / (4 * flatness))));
        n = steps < float(maxCurveSegments) ? int(steps) : maxCurveSegments;
    }
    segments_ += std::size_t(n);
    const float h = 1.0f / float(n);
    const float bx = 2 * (cx - x0), by = 2 * (cy - y0);
    float dx = ax * h * h + bx * h, dy = ay * h * h + by * h;
    const float ddx = 2 * ax * h * h, ddy = 2 * ay * h * h;
    float px = x0, py = y0;
    for (int i = 1; i < n; ++i) {
        const float qx = px + dx, qy = py + dy;
        addLine(px, py, qx, qy);
        px = qx;
        py = qy;
        dx += ddx;
        dy += ddy;
    }
    addLine(px, py, x1, y1);
}

void ReferenceRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                    float offsetY, ImageView<L8> target) {
    const int width = target.width();
    height_ = target.height();
    if (width <= 0 || height_ <= 0) return;
    subRows_ = corvid::subScanlines(height_);
    edges_.clear();
    segments_ = 0;

    // Contours as quadratic splines: off-curve points control a curve, two in a
    // row imply an on-curve point between them, and a contour may start off the
    // curve.
    std::size_t first = 0;
    for (std::uint32_t end : outline.contourEnds) {
        if (end > outline.points.size() || end <= first) {
            first = std::max<std::size_t>(first, end);
            continue;
        }
        std::vector<corvid::GlyphPoint> pts(outline.points.begin() + std::ptrdiff_t(first),
                                            outline.points.begin() + std::ptrdiff_t(end));
        first = end;
        auto px = [&](std::size_t i) { return pts[i].x * scale + offsetX; };
        auto py = [&](std::size_t i) { return offsetY - pts[i].y * scale; };
        const std::size_t n = pts.size();
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
        float cx = sx, cy = sy, ctrlX = 0, ctrlY = 0;
        bool haveCtrl = false;
        for (std::size_t i = from; i < to; ++i) {
            const float x = px(i), y = py(i);
            if (pts[i].onCurve) {
                if (haveCtrl)
                    addQuad(cx, cy, ctrlX, ctrlY, x, y);
                else
                    addLine(cx, cy, x, y);
                haveCtrl = false;
                cx = x;
                cy = y;
            } else {
                if (haveCtrl) {
                    const float mx = (ctrlX + x) * 0.5f, my = (ctrlY + y) * 0.5f;
                    addQuad(cx, cy, ctrlX, ctrlY, mx, my);
                    cx = mx;
                    cy = my;
                }
                ctrlX = x;
                ctrlY = y;
                haveCtrl = true;
            }
        }
        if (haveCtrl)
            addQuad(cx, cy, ctrlX, ctrlY, sx, sy);
        else
            addLine(cx, cy, sx, sy);
    }

    // Every sub-scanline against every edge; within a pixel row an edge's crossings
    // are its first one there plus whole steps.
    const std::int64_t units = corvid::crossingUnits;
    const std::int64_t right = std::int64_t(width) * units;
    std::vector<std::int64_t> cover(std::size_t(width) + 2);
    for (int row = 0; row < height_; ++row) {
        std::fill(cover.begin(), cover.end(), 0);
        for (int s = 0; s < subRows_; ++s) {
            const int k = row * subRows_ + s;
            for (const Edge& e : edges_) {
                if (k < e.firstSample || k >= e.endSample) continue;
                const int firstInRow = std::max(e.firstSample, row * subRows_);
                const std::int64_t x =
                    corvid::crossingAt(e.x0, e.y0, e.dxdy, firstInRow, subRows_) +
                    std::int64_t(k - firstInRow) * corvid::crossingStep(e.dxdy, subRows_);
                const std::int64_t at = std::clamp<std::int64_t>(x, 0, right);
                cover[std::size_t(at / units)] += e.winding * (units - at % units);
                cover[std::size_t(at / units) + 1] += e.winding * (at % units);
            }
        }
        std::int64_t run = 0;
        L8* out = target.row(row);
        for (int x = 0; x < width; ++x) {
            run += cover[std::size_t(x)];
            out[x].l = corvid::coverageByte(
                std::uint32_t(std::min<std::int64_t>(std::abs(run), UINT32_MAX)), subRows_);
        }
    }
}

} // namespace fonttest
