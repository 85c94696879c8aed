#include "corvid/pbrwidgets/onoffswitch.h"

#include "corvid/graphics/draw.h"
#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/slider.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {
constexpr int kHoverGlow = 40;
constexpr double kInsetFraction = 0.1;
} // namespace

UIOnOffSwitch::UIOnOffSwitch(UIContext& context, BoolParameter* p)
    : UIElement(context), parameter(p) {
    parameter->addListener(this);
}

UIOnOffSwitch::~UIOnOffSwitch() {
    parameter->removeListener(this);
}

bool UIOnOffSwitch::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool, MouseState) {
    parameter->beginEdit();
    parameter->setFromEditor(!parameter->value());
    parameter->endEdit();
    return true;
}

void UIOnOffSwitch::onMouseEnter() {
    markDirty();
}
void UIOnOffSwitch::onMouseExit() {
    markDirty();
}

void UIOnOffSwitch::animateSelf(double dt, double) {
    const double target = parameter->value() ? 1.0 : 0.0;
    const double a = std::exp(-static_cast<double>(animationSpeed) * dt);
    const float next = static_cast<float>(onAmount * a + target * (1.0 - a));
    if (std::fabs(next - onAmount) > 0.001f) {
        onAmount = next;
        markDirty();
    }
}

void UIOnOffSwitch::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                              const ImageView<RGBA>& materialMap,
                              const std::vector<IntRect>& dirtyRects) {
    // The crop starts at the window edge for an element reaching past it.
    const std::int32_t ox = std::min(position.minX, 0), oy = std::min(position.minY, 0);
    const double w = position.width(), h = position.height();
    const double a = std::clamp(static_cast<double>(onAmount), 0.0, 1.0);
    const IntRect box{ox, oy, ox + position.width(), oy + position.height()};
    const IntRect inner{ox + truncToPixels(kInsetFraction * w + 0.5),
                        oy + truncToPixels(kInsetFraction * h + 0.5),
                        ox + truncToPixels((1.0 - kInsetFraction) * w + 0.5),
                        oy + truncToPixels((1.0 - kInsetFraction) * h + 0.5)};
    auto mix = [a](std::uint8_t off, std::uint8_t on) {
        return static_cast<std::uint8_t>((1.0 - a) * off + a * on);
    };
    RGBA colour{mix(offDiffuse.r, onDiffuse.r), mix(offDiffuse.g, onDiffuse.g),
                mix(offDiffuse.b, onDiffuse.b), mix(offDiffuse.a, onDiffuse.a)};
    if (isMouseOver() || getContext().dragged == this)
        colour.a = static_cast<std::uint8_t>(std::min(255, colour.a + kHoverGlow));
    const double s = (1.0 - a) * depthB + a * depthA;
    const double e = (1.0 - a) * depthA + a * depthB;
    const bool vertical = orientation == 0;
    const std::int32_t span = vertical ? inner.height() : inner.width();

    for (const IntRect& dirty : dirtyRects) {
        const IntRect clip = dirty.intersect(diffuseMap.bounds());
        if (clip.isEmpty()) continue;
        const ImageView<L16> depth = depthMap.withClip(clip);
        fillRect(depth, L16(surroundDepth), box);
        const IntRect part = inner.intersect(clip);
        if (part.isEmpty()) continue;
        fillRect(diffuseMap.withClip(clip), colour, inner);
        fillRect(materialMap.withClip(clip), switchMaterial, inner);
        // One value per row (or column), from the start value at the first to
        // the end value past the last.
        for (std::int32_t y = part.minY; y < part.maxY; ++y) {
            L16* row = depthMap.row(y);
            for (std::int32_t x = part.minX; x < part.maxX; ++x) {
                const std::int32_t k = vertical ? y - inner.minY : x - inner.minX;
                const double t = span > 0 ? static_cast<double>(k) / span : 0.0;
                row[x] = L16(static_cast<std::uint16_t>(std::clamp(s + (e - s) * t, 0.0, 65535.0)));
            }
        }
    }
}

void UIOnOffSwitch::parameterChanged(Parameter*) {
    markDirty();
}
void UIOnOffSwitch::parameterEditBegun(Parameter*) {}
void UIOnOffSwitch::parameterEditEnded(Parameter*) {}

} // namespace corvid
