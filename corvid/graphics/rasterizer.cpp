#include "corvid/graphics/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvid {

namespace {

// Pixel boxes stay far inside the int range so that offsets added later by layout
// cannot overflow, whatever scale a caller asks for.
constexpr double boxLimit = 1 << 24;

int32_t boxCoordinate(double v) {
    if (!(v > -boxLimit)) return -int32_t(boxLimit); // also catches NaN
    if (v > boxLimit) return int32_t(boxLimit);
    return int32_t(v);
}

// Largest chord error tolerated when flattening a curve, in pixels.
constexpr float flatness = 0.05f;
constexpr int maxCurveSegments = 256;
constexpr std::size_t maxEdges = 1u << 20;

} // namespace

IntRect glyphPixelBox(const GlyphBounds& b, float scale, float shiftX, float shiftY) {
    return {boxCoordinate(std::floor(float(b.xMin) * scale + shiftX)),
            boxCoordinate(std::floor(float(-b.yMax) * scale + shiftY)),
            boxCoordinate(std::ceil(float(b.xMax) * scale + shiftX)),
            boxCoordinate(std::ceil(float(-b.yMin) * scale + shiftY))};
}

void GlyphRasterizer::addLine(float x0, float y0, float x1, float y1) {
    // Horizontal edges never cross a sample row; non-finite ones come only from
    // absurd scales and would break the ordering the scan relies on.
    if (y0 == y1 || !std::isfinite(x0 + y0 + x1 + y1)) return;
    int winding = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        winding = -1;
    }
    edges_.push_back({x0, y0, y1, (x1 - x0) / (y1 - y0), winding, x0});
}

void GlyphRasterizer::addQuad(float x0, float y0, float cx, float cy, float x1, float y1) {
    // The chord error of n uniform steps is |p0 - 2c + p1| / (4 n^2).
    float ddx = x0 - 2 * cx + x1, ddy = y0 - 2 * cy + y1;
    float dd = std::sqrt(ddx * ddx + ddy * ddy);
    int n = 1;
    // Curves entirely above or below the bitmap are never sampled, so their shape
    // does not matter; the edge budget bounds the work of hostile outlines.
    bool outside = std::max({y0, cy, y1}) <= 0 || std::min({y0, cy, y1}) >= clipHeight_;
    if (dd > 4 * flatness && !outside && edges_.size() < maxEdges) {
        float steps = std::ceil(std::sqrt(dd / (4 * flatness)));
        n = steps < float(maxCurveSegments) ? int(steps) : maxCurveSegments;
    }
    float px = x0, py = y0;
    for (int i = 1; i <= n; ++i) {
        float t = float(i) / float(n), u = 1 - t;
        float qx = i == n ? x1 : u * u * x0 + 2 * u * t * cx + t * t * x1;
        float qy = i == n ? y1 : u * u * y0 + 2 * u * t * cy + t * t * y1;
        addLine(px, py, qx, qy);
        px = qx;
        py = qy;
    }
}

void GlyphRasterizer::flatten(const GlyphOutline& outline, float scale, float offsetX,
                              float offsetY) {
    edges_.clear();
    std::size_t first = 0;
    for (std::uint32_t end : outline.contourEnds) {
        if (end > outline.points.size() || end <= first) {
            first = std::max<std::size_t>(first, end);
            continue;
        }
        const GlyphPoint* pts = outline.points.data() + first;
        std::size_t n = end - first;
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
        float cx = sx, cy = sy, ctrlX = 0, ctrlY = 0;
        bool haveCtrl = false;
        for (std::size_t i = from; i < to; ++i) {
            float x = px(i), y = py(i);
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
                    float mx = (ctrlX + x) * 0.5f, my = (ctrlY + y) * 0.5f;
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
}

void GlyphRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                float offsetY, ImageView<L8> target) {
    const int width = target.width(), height = target.height();
    if (width <= 0 || height <= 0) return;
    clipHeight_ = float(height);
    flatten(outline, scale, offsetX, offsetY);
    std::sort(edges_.begin(), edges_.end(),
              [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });

    const int subRows = height < 8 ? 15 : 5;
    const float subStep = 1.0f / float(subRows);
    const float toCoverage = 255.0f / float(subRows);
    const float right = float(width);
    // Covered length per pixel as a difference array: each span adds four terms
    // and a running sum over the row recovers the lengths without branches.
    cover_.assign(std::size_t(width) + 2, 0.0f);
    float* cover = cover_.data();
    active_.clear();
    std::size_t next = 0;

    for (int row = 0; row < height; ++row) {
        L8* out = target.row(row);
        bool touched = false;
        for (int s = 0; s < subRows; ++s) {
            const float y = float(row) + (float(s) + 0.5f) * subStep;
            // Drop finished edges and find where the others cross this sub-scanline;
            // the list stays ordered by x from the previous one, nearly.
            std::size_t n = 0;
            for (std::size_t i = 0; i < active_.size(); ++i) {
                Edge e = active_[i];
                if (e.y1 <= y) continue;
                e.x = e.x0 + (y - e.y0) * e.dxdy;
                active_[n++] = e;
            }
            active_.resize(n);
            for (; next < edges_.size() && edges_[next].y0 <= y; ++next) {
                if (edges_[next].y1 <= y) continue;
                Edge e = edges_[next];
                e.x = e.x0 + (y - e.y0) * e.dxdy;
                active_.push_back(e);
            }
            if (active_.empty()) continue;
            for (std::size_t i = 1; i < active_.size(); ++i) {
                if (!(active_[i - 1].x > active_[i].x)) continue;
                Edge e = active_[i];
                std::size_t j = i;
                for (; j > 0 && active_[j - 1].x > e.x; --j) active_[j] = active_[j - 1];
                active_[j] = e;
            }
            // Non-zero winding fill between crossings.
            int winding = 0;
            float spanStart = 0;
            for (const Edge& e : active_) {
                const int before = winding;
                winding += e.winding;
                if (before == 0) {
                    spanStart = e.x;
                    continue;
                }
                if (winding != 0) continue;
                const float xa = std::max(spanStart, 0.0f), xb = std::min(e.x, right);
                if (!(xb > xa)) continue;
                const int ia = int(xa), ib = int(xb);
                const float fa = xa - float(ia), fb = xb - float(ib);
                cover[ia] += 1.0f - fa;
                cover[ia + 1] += fa;
                cover[ib] -= 1.0f - fb;
                cover[ib + 1] -= fb;
            }
            touched = true;
        }
        if (!touched) {
            std::memset(static_cast<void*>(out), 0, std::size_t(width));
            continue;
        }
        float run = 0;
        for (int x = 0; x < width; ++x) {
            run += cover[x];
            cover[x] = 0;
            const float v = run * toCoverage + 0.5f;
            out[x].l = v >= 255.0f ? 255 : v > 0.0f ? std::uint8_t(v) : 0;
        }
        cover[width] = 0;
        cover[width + 1] = 0;
    }
}

} // namespace corvid
