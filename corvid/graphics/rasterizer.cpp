#include "corvid/graphics/rasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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
constexpr float flatness = 0.1f;
constexpr int maxCurveSegments = 256;
constexpr std::size_t maxEdges = 1u << 20;

} // namespace

IntRect glyphPixelBox(const GlyphBounds& b, float scale, float shiftX, float shiftY) {
    return {boxCoordinate(std::floor(float(b.xMin) * scale + shiftX)),
            boxCoordinate(std::floor(float(-b.yMax) * scale + shiftY)),
            boxCoordinate(std::ceil(float(b.xMax) * scale + shiftX)),
            boxCoordinate(std::ceil(float(-b.yMin) * scale + shiftY))};
}

inline void GlyphRasterizer::addLine(float x0, float y0, float x1, float y1) {
    // Horizontal edges never cross a sample row; non-finite ones come only from
    // absurd scales and would break the ordering the scan relies on.
    if (y0 == y1 || !std::isfinite(x0 + y0 + x1 + y1)) return;
    int winding = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        winding = -1;
    }
    // Edges outside the bitmap or between two sub-scanlines are never sampled;
    // leaving them out saves their bookkeeping. The test keeps a margin, so an
    // edge is dropped only when it certainly misses every sample.
    if (y1 < 0.0f || y0 > clipHeight_) return;
    const float n = float(subRows_);
    // (Beyond 2^16 sub-scanlines float spacing would eat the margin.)
    // y1 is not negative, so a stays above -1 and the floor and ceiling below are
    // exact through int; a b at or below -1 can never exceed floor(a).
    if (y1 * n < 65536.0f) {
        const float a = y1 * n - 0.49f, b = y0 * n - 0.51f;
        if (b > -1.0f) {
            const int ia = int(a), ib = int(b);
            const int floorA = ia - (a < float(ia) ? 1 : 0);
            const int ceilB = ib + (float(ib) < b ? 1 : 0);
            if (floorA < ceilB) return;
        }
    }
    // Nearly horizontal edges would have an infinite slope; any huge one is as good.
    const float dxdy = std::clamp((x1 - x0) / (y1 - y0), -1e20f, 1e20f);
    edges_.push_back({x0, y0, y1, dxdy, winding, x0, x0});
}

void GlyphRasterizer::addQuad(float x0, float y0, float cx, float cy, float x1, float y1) {
    // The chord error of n uniform steps is |p0 - 2c + p1| / (4 n^2); the L1 norm
    // overestimates the length, which only errs towards more steps.
    const float ax = x0 - 2 * cx + x1, ay = y0 - 2 * cy + y1;
    const float dd = std::abs(ax) + std::abs(ay);
    int n = 1;
    // Curves entirely above or below the bitmap are never sampled, so their shape
    // does not matter; the edge budget bounds the work of hostile outlines.
    const bool outside = std::max({y0, cy, y1}) <= 0 || std::min({y0, cy, y1}) >= clipHeight_;
    if (dd > 4 * flatness && !outside && edges_.size() < maxEdges) {
        const float steps = std::ceil(std::sqrt(dd * (1.0f / (4 * flatness))));
        n = steps < float(maxCurveSegments) ? int(steps) : maxCurveSegments;
    }
    // Forward differences of a t^2 + b t + p0 at steps of 1/n.
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

void GlyphRasterizer::updateActive(float y) {
    // Dropping finished edges and finding the next end share one pass.
    float next = std::numeric_limits<float>::infinity();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < active_.size(); ++i) {
        Edge* e = active_[i];
        if (e->y1 <= y) continue;
        next = std::min(next, e->y1);
        active_[kept++] = e;
    }
    active_.resize(kept);
    for (; nextEdge_ < order_.size() && order_[nextEdge_].y0 <= y; ++nextEdge_) {
        Edge* e = &edges_[order_[nextEdge_].index];
        if (e->y1 > y) {
            active_.push_back(e);
            next = std::min(next, e->y1);
        }
    }
    if (nextEdge_ < order_.size()) next = std::min(next, order_[nextEdge_].y0);
    nextChange_ = next;
}

bool GlyphRasterizer::crossAt(float y) {
    // The order of the previous sub-scanline usually still holds, so sorting is
    // rarely needed.
    bool ordered = true;
    float previous = -std::numeric_limits<float>::infinity();
    for (Edge* e : active_) {
        e->x = e->x0 + (y - e->y0) * e->dxdy;
        ordered &= !(e->x < previous);
        previous = e->x;
    }
    if (ordered) return false;
    sortActive();
    return true;
}

void GlyphRasterizer::sortActive() {
    // Stable, so edges crossing at the same x keep the order they had.
    for (std::size_t i = 1; i < active_.size(); ++i) {
        Edge* e = active_[i];
        const float x = e->x;
        std::size_t j = i;
        for (; j > 0 && active_[j - 1]->x > x; --j) active_[j] = active_[j - 1];
        active_[j] = e;
    }
}

namespace {

// Adds sign x the coverage step at x to the difference array: a span [a, b) is
// the step at a minus the step at b.
inline void addStep(float* cover, float x, float right, float sign) {
    x = x > 0.0f ? (x < right ? x : right) : 0.0f;
    const int i = int(x);
    const float f = x - float(i);
    cover[i] += sign * (1.0f - f);
    cover[i + 1] += sign * f;
}

} // namespace

void GlyphRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                float offsetY, ImageView<L8> target) {
    const int width = target.width(), height = target.height();
    if (width <= 0 || height <= 0) return;
    clipHeight_ = float(height);
    subRows_ = height < 8 ? 15 : 5;
    flatten(outline, scale, offsetX, offsetY);
    // Edges are visited from the top; sorting small keys is cheaper than moving
    // whole edges.
    order_.resize(edges_.size());
    for (std::size_t i = 0; i < edges_.size(); ++i) order_[i] = {edges_[i].y0, std::uint32_t(i)};
    std::sort(order_.begin(), order_.end(),
              [](const EdgeKey& a, const EdgeKey& b) { return a.y0 < b.y0; });

    const int subRows = subRows_;
    const float subStep = 1.0f / float(subRows);
    const float toCoverage = 255.0f / float(subRows);
    const float right = float(width);
    // Covered length per pixel as a difference array; a running sum over the row
    // recovers the lengths.
    cover_.assign(std::size_t(width) + 2, 0.0f);
    float* cover = cover_.data();
    active_.clear();
    nextEdge_ = 0;
    nextChange_ = -std::numeric_limits<float>::infinity();

    // Sample heights of the current row, computed once instead of in every test.
    float ys[15];
    for (int row = 0; row < height; ++row) {
        L8* out = target.row(row);
        for (int k = 0; k < subRows; ++k) ys[k] = float(row) + (float(k) + 0.5f) * subStep;
        const float yFirst = ys[0];
        const float yLast = ys[subRows - 1];
        if (yFirst >= nextChange_) updateActive(yFirst);
        if (active_.empty() && nextChange_ > yLast) {
            std::memset(static_cast<void*>(out), 0, std::size_t(width));
            continue;
        }

        // Between two places where an edge starts or ends, and as long as no two
        // edges pass each other, every sub-scanline has the same spans: which edges
        // open and close spans is found once, and each of those edges is summed
        // over the run of sub-scanlines on its own, in one step while it stays
        // within one pixel column.
        for (int s = 0; s < subRows;) {
            const float y = ys[s];
            if (y >= nextChange_) updateActive(y);
            int end = s + 1;
            while (end < subRows && ys[end] < nextChange_) ++end;
            bool together = end - s > 1;
            if (together) {
                // Crossings at both ends of the run in one pass; when they are in
                // order at the top, the order at the bottom is checked on the way.
                const float yEnd = ys[end - 1];
                bool ordered = true;
                float previous = -std::numeric_limits<float>::infinity();
                float previousLast = -std::numeric_limits<float>::infinity();
                for (Edge* e : active_) {
                    e->x = e->x0 + (y - e->y0) * e->dxdy;
                    e->xLast = e->x0 + (yEnd - e->y0) * e->dxdy;
                    ordered &= !(e->x < previous);
                    together &= !(e->xLast < previousLast);
                    previous = e->x;
                    previousLast = e->xLast;
                }
                if (!ordered) {
                    sortActive();
                    together = true;
                    for (std::size_t i = 1; i < active_.size() && together; ++i)
                        together = !(active_[i]->xLast < active_[i - 1]->xLast);
                }
            } else {
                crossAt(y);
            }
            if (!together) {
                // Edges cross within the run: take its sub-scanlines one by one.
                for (int t = s; t < end; ++t) {
                    if (t > s) crossAt(ys[t]);
                    int winding = 0;
                    for (const Edge* e : active_) {
                        const int before = winding;
                        winding += e->winding;
                        if (before == 0)
                            addStep(cover, e->x, right, 1.0f);
                        else if (winding == 0)
                            addStep(cover, e->x, right, -1.0f);
                    }
                }
                s = end;
                continue;
            }
            const float samples = float(end - s);
            int winding = 0;
            for (const Edge* ep : active_) {
                const Edge& e = *ep;
                const int before = winding;
                winding += e.winding;
                // Non-zero winding: a span opens where the count leaves zero and
                // closes where it returns.
                const float sign = before == 0 ? 1.0f : winding == 0 ? -1.0f : 0.0f;
                if (sign == 0.0f) continue;
                const float xa = e.x, xb = e.xLast;
                if (xa >= 0.0f && xb >= 0.0f && xa < right && xb < right && int(xa) == int(xb)) {
                    // Crossings move linearly, so their mean is the midpoint.
                    const int i = int(xa);
                    const float f = (xa + xb) * 0.5f - float(i);
                    cover[i] += sign * samples * (1.0f - f);
                    cover[i + 1] += sign * samples * f;
                } else if (xa <= 0.0f && xb <= 0.0f) {
                    cover[0] += sign * samples;
                } else if (xa >= right && xb >= right) {
                    cover[width] += sign * samples;
                } else {
                    // Crossing several columns: sum per column, flushing on change.
                    const float step = e.dxdy * subStep;
                    float x = xa;
                    int column = -1;
                    float count = 0, sum = 0;
                    for (int t = s; t < end; ++t, x += step) {
                        const float xc = x > 0.0f ? (x < right ? x : right) : 0.0f;
                        const int i = int(xc);
                        if (i != column) {
                            if (column >= 0) {
                                cover[column] += sign * (count - sum);
                                cover[column + 1] += sign * sum;
                            }
                            column = i;
                            count = sum = 0;
                        }
                        count += 1.0f;
                        sum += xc - float(i);
                    }
                    cover[column] += sign * (count - sum);
                    cover[column + 1] += sign * sum;
                }
            }
            s = end;
        }

        float run = 0;
        for (int x = 0; x < width; ++x) {
            run += cover[x];
            cover[x] = 0;
            float v = run * toCoverage + 0.5f;
            v = v > 0.0f ? v : 0.0f;
            v = v < 255.0f ? v : 255.0f;
            out[x].l = std::uint8_t(int(v));
        }
        cover[width] = 0;
        cover[width + 1] = 0;
    }
}

} // namespace corvid
