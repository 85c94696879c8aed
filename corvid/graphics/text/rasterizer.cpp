#include "corvid/graphics/text/rasterizer.h"

#include "corvid/graphics/text/flatten.h"

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

// The scratch of a target this size is 16 MB; glyph bitmaps stay far below.
constexpr std::int64_t maxTargetPixels = std::int64_t(1) << 22;
// Scratch above this many cells is released after the glyph that needed it.
constexpr std::size_t keptCells = 1u << 16;

} // namespace

std::uint8_t coverageByte(std::uint32_t magnitude, int subRows) {
    const std::uint32_t full = std::uint32_t(subRows) << coverageBits;
    const std::uint32_t v = std::min(magnitude >> (crossingBits - coverageBits), full);
    return std::uint8_t((v * 255 + full / 2) / full);
}

IntRect glyphPixelBox(const GlyphBounds& b, float scale, float shiftX, float shiftY) {
    return {boxCoordinate(std::floor(float(b.xMin) * scale + shiftX)),
            boxCoordinate(std::floor(float(-b.yMax) * scale + shiftY)),
            boxCoordinate(std::ceil(float(b.xMax) * scale + shiftX)),
            boxCoordinate(std::ceil(float(-b.yMin) * scale + shiftY))};
}

void GlyphRasterizer::addLines() {
    // Padding lines are horizontal, so they cross nothing.
    std::size_t count = lineCount_;
    for (; count % widestLanes != 0; ++count) x0_[count] = y0_[count] = x1_[count] = y1_[count] = 0;
    scanLines_({x0_, y0_, x1_, y1_, count, width_, height_, subRows_, pitch_, cells_.data()});
    lineCount_ = 0;
}

void GlyphRasterizer::rasterize(const GlyphOutline& outline, float scale, float offsetX,
                                float offsetY, ImageView<L8> target) {
    width_ = target.width();
    height_ = target.height();
    if (width_ <= 0 || height_ <= 0) return;
    if (std::int64_t(width_) * height_ > maxTargetPixels) {
        for (int row = 0; row < height_; ++row)
            std::memset(static_cast<void*>(target.row(row)), 0, std::size_t(width_));
        return;
    }
    lineCount_ = 0;
    // Rows of whole pairs of vectors with room for the two cells right of the
    // last pixel.
    pitch_ = (std::size_t(width_) + 2 + 7) & ~std::size_t(7);
    const std::size_t cells = pitch_ * std::size_t(height_);
    if (cells_.size() < cells) cells_.resize(cells);
    subRows_ = subScanlines(height_);
    scanLines_ = IsaBodies<decltype(scanLines_)>{&glyph_detail::scanLinesSse2,
                                                 &glyph_detail::scanLinesAvx2}[isa_];
    flattenOutline(outline, scale, offsetX, offsetY, float(height_),
                   [this](float x0, float y0, float x1, float y1) { addLine(x0, y0, x1, y1); });
    addLines();
    IsaBodies<void (*)(const glyph_detail::ResolveJob&)>{&glyph_detail::resolveSse2}[isa_](
        {cells_.data(), pitch_, width_, height_, subRows_,
         reinterpret_cast<std::uint8_t*>(target.row(0)), target.pitch()});
    if (cells_.size() > keptCells) cells_ = {};
}

} // namespace corvid
