#include "tests/font/reference_rasterizer.h"

#include "corvid/graphics/text/flatten.h"
#include "corvid/graphics/text/rasterizer.h"

#include <algorithm>
#include <cmath>

namespace fonttest {

namespace {

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

void ReferenceRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                    float offsetY, ImageView<L8> target) {
    const int width = target.width();
    height_ = target.height();
    if (width <= 0 || height_ <= 0) return;
    subRows_ = corvid::subScanlines(height_);
    edges_.clear();
    // The scan is what this reference checks; the outline is flattened the same
    // way as in the library.
    corvid::flattenOutline(
        outline, scale, offsetX, offsetY, float(height_),
        [this](float x0, float y0, float x1, float y1) { addLine(x0, y0, x1, y1); });

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
