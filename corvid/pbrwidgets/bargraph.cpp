#include "corvid/pbrwidgets/bargraph.h"

#include "corvid/graphics/draw.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {
constexpr float kMargin = 0.06f;
constexpr float kLedStartX = 0.15f;
constexpr float kLedWidth = 0.7f;
constexpr float kLedStartY = 0.1f;
constexpr float kLedHeight = 0.8f;
constexpr float kMaxEmissive = 160.0f;
} // namespace

UIBargraph::UIBargraph(UIContext& ctx, std::int32_t channelCount, std::vector<RGBA> colours)
    : UIElement(ctx), ledColours(std::move(colours)), channels(std::max(channelCount, 0)),
      levels(static_cast<std::size_t>(channels), 0.0f),
      paintedLevels(static_cast<std::size_t>(channels), 0.0f) {}

float UIBargraph::levelFor(float value, float lo, float hi) {
    const float span = hi - lo;
    float u;
    if (span == 0.0f || !std::isfinite(span)) {
        // No range to divide by: the meter is a step at the one value it has.
        u = value >= lo ? 1.0f : 0.0f;
    } else {
        u = (value - lo) / span;
    }
    // NaN from a silent channel's corrupt sample shows as dark.
    return clampUnit(u);
}

void UIBargraph::setLevels(std::span<const float> values) {
    const float lo = minValue, hi = maxValue;
    {
        ScopedLock guard(lock);
        const std::size_t n = std::min(values.size(), levels.size());
        for (std::size_t i = 0; i < n; ++i) levels[i] = levelFor(values[i], lo, hi);
    }
    levelsChanged.store(true);
}

float UIBargraph::readLevel(std::int32_t channel) {
    ScopedLock guard(lock);
    if (channel < 0 || channel >= channels) return 0.0f;
    return levels[static_cast<std::size_t>(channel)];
}

void UIBargraph::animateSelf(double, double) {
    bool expected = true;
    if (levelsChanged.compare_exchange_strong(expected, false)) markDirty();
}

float UIBargraph::ledAmount(std::int32_t i, std::int32_t n, float u) {
    if (n <= 0) return 0.0f;
    const float fn = float(n);
    // A single LED has no spacing to divide by; it sits at the top threshold.
    const float step = n > 1 ? float(i) / float(n - 1) : 0.0f;
    const float threshold = 1.0f - step;
    const float d = u - 1.0f / fn;
    if (threshold <= d) return 1.0f;
    if (threshold >= u) return 0.0f;
    const float g = (threshold - d) * fn;
    return 1.0f - g * g * (3.0f - 2.0f * g);
}

void UIBargraph::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                           const ImageView<RGBA>& materialMap,
                           const std::vector<IntRect>& dirtyRects) {
    const std::int32_t n = ledCount();
    if (n <= 0 || channels <= 0) return;
    const float w = float(position.width()), h = float(position.height());
    const float c = kMargin * w;
    const float e = (h - 2.0f * c) / float(n);
    const float f = (w - 2.0f * c) / float(channels);
    if (!(e > 0.0f) || !(f > 0.0f)) return;
    const std::int32_t ox = elementOriginInCrop(position.minX);
    const std::int32_t oy = elementOriginInCrop(position.minY);

    {
        ScopedLock guard(lock);
        std::copy(levels.begin(), levels.end(), paintedLevels.begin());
    }
    const std::vector<float>& u = paintedLevels;
    for (const IntRect& box : dirtyRects) {
        // Only the LED rows and channel columns that can reach the box are visited.
        const float top = float(box.minY - oy), bottom = float(box.maxY - oy);
        const std::int32_t firstRow = std::clamp(truncToPixel(std::floor((top - c) / e)) - 1, 0, n);
        const std::int32_t endRow = std::clamp(truncToPixel((bottom - c) / e) + 1, 0, n);
        const float left = float(box.minX - ox), right = float(box.maxX - ox);
        const std::int32_t firstChannel =
            std::clamp(truncToPixel(std::floor((left - c) / f)) - 1, 0, channels);
        const std::int32_t endChannel = std::clamp(truncToPixel((right - c) / f) + 1, 0, channels);
        for (std::int32_t m = firstChannel; m < endChannel; ++m) {
            const float x0 = (float(m) + kLedStartX) * f + c;
            const float x1 = x0 + kLedWidth * f;
            for (std::int32_t i = firstRow; i < endRow; ++i) {
                const float y0 = c + (float(i) + kLedStartY) * e;
                const float y1 = y0 + kLedHeight * e;
                const IntRect led =
                    IntRect{truncToPixel(x0), truncToPixel(y0), truncToPixel(x1), truncToPixel(y1)}
                        .translated(ox, oy)
                        .intersect(box);
                if (led.isEmpty()) continue;
                const float lit = ledAmount(i, n, u[static_cast<std::size_t>(m)]);
                const unsigned a = unsigned(truncToPixel(lit * kMaxEmissive + 0.5f));
                const RGBA base = ledColours[static_cast<std::size_t>(i)];
                const RGBA colour{std::uint8_t(base.r * (a + 255u) / 510u),
                                  std::uint8_t(base.g * (a + 255u) / 510u),
                                  std::uint8_t(base.b * (a + 255u) / 510u), std::uint8_t(a)};
                fillRect(depthMap, L16(kLedDepth), led);
                fillRect(diffuseMap, colour, led);
                fillRect(materialMap, kLedMaterial, led);
            }
        }
    }
}

} // namespace corvid
