#include "corvid/pbrwidgets/onoffswitch.h"

#include "corvid/graphics/draw.h"
#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/dragrule.h"
#include "corvid/pbrwidgets/paintbox.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

constexpr std::uint8_t kHoverGlow = 40;

std::int32_t rounded(float v) {
    return static_cast<std::int32_t>(std::clamp(v + 0.5f, -1.0e7f, 1.0e7f));
}

std::uint16_t ramp(float from, float to, float t) {
    // Linear from the start value at the first row (or column) toward the end value.
    const auto u = static_cast<std::uint32_t>(t * 65535.0f + 0.5f);
    const auto a = static_cast<std::uint32_t>(from), b = static_cast<std::uint32_t>(to);
    return static_cast<std::uint16_t>((b * u + a * (65535u - u)) / 65535u);
}

} // namespace

UIOnOffSwitch::UIOnOffSwitch(UIContext& context, BoolParameter* parameter_)
    : UIElement(context), parameter(parameter_) {
    parameter->addListener(this);
}

UIOnOffSwitch::~UIOnOffSwitch() {
    parameter->removeListener(this);
}

void UIOnOffSwitch::parameterChanged(Parameter*) {
    markDirty();
}
void UIOnOffSwitch::parameterEditBegun(Parameter*) {}
void UIOnOffSwitch::parameterEditEnded(Parameter*) {}

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
void UIOnOffSwitch::onDragEnd() {
    markDirty();
}

void UIOnOffSwitch::animateSelf(double dt, double) {
    if (approach(onAmount, parameter->value() ? 1.0 : 0.0, static_cast<double>(animationSpeed), dt))
        markDirty();
}

void UIOnOffSwitch::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                              const ImageView<RGBA>& materialMap,
                              const std::vector<IntRect>& dirtyRects) {
    const IntRect element = elementInCrop(position);
    const float W = static_cast<float>(position.width()), H = static_cast<float>(position.height());
    const float a = std::isfinite(onAmount) ? std::clamp(onAmount, 0.0f, 1.0f) : 0.0f;
    const IntRect inner =
        IntRect{rounded(0.1f * W), rounded(0.1f * H), rounded(0.9f * W), rounded(0.9f * H)}
            .translated(element.minX, element.minY);
    auto channel = [&](std::uint8_t off, std::uint8_t on) {
        return static_cast<std::uint8_t>((1.0f - a) * static_cast<float>(off) +
                                         a * static_cast<float>(on));
    };
    RGBA face{channel(offDiffuse.r, onDiffuse.r), channel(offDiffuse.g, onDiffuse.g),
              channel(offDiffuse.b, onDiffuse.b), channel(offDiffuse.a, onDiffuse.a)};
    if (isMouseOver() || getContext().dragged == this)
        face.a = static_cast<std::uint8_t>(std::min(255, face.a + kHoverGlow));
    const float start = (1.0f - a) * depthB + a * depthA;
    const float end = (1.0f - a) * depthA + a * depthB;
    const bool vertical = orientation == 0;
    const std::int32_t span = vertical ? inner.height() : inner.width();

    for (const IntRect& box : dirtyRects) {
        const IntRect cut = box.intersect(element).intersect(diffuseMap.bounds());
        if (cut.isEmpty()) continue;
        fillRect(depthMap, L16(surroundDepth), cut);
        const IntRect face_ = inner.intersect(cut);
        if (face_.isEmpty()) continue;
        fillRect(diffuseMap, face, face_);
        fillRect(materialMap, switchMaterial, face_);
        for (std::int32_t y = face_.minY; y < face_.maxY; ++y) {
            L16* row = depthMap.row(y);
            for (std::int32_t x = face_.minX; x < face_.maxX; ++x) {
                const std::int32_t k = vertical ? y - inner.minY : x - inner.minX;
                row[x] = L16(ramp(start, end, static_cast<float>(k) / static_cast<float>(span)));
            }
        }
    }
}

} // namespace corvid
