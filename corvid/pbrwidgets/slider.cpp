#include "corvid/pbrwidgets/slider.h"

#include "corvid/core/error.h"
#include "corvid/graphics/draw.h"
#include "corvid/graphics/drawex.h"
#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/dragrule.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

constexpr double kPressRate = 30.0;
constexpr std::uint8_t kHoverGlow = 50;

// trunc(v + 0.5) for the geometry, with NaN and wild values kept far inside int.
std::int32_t rounded(float v) {
    if (!(v == v)) return 0;
    return static_cast<std::int32_t>(std::clamp(v + 0.5f, -1.0e7f, 1.0e7f));
}

std::int32_t truncated(float v) {
    if (!(v == v)) return 0;
    return static_cast<std::int32_t>(std::clamp(v, -1.0e7f, 1.0e7f));
}

// Fills rect in a layer and makes it opaque there.
template <typename T, typename V>
void solid(const ImageView<T>& layer, const ImageView<L8>& opacity, V value, const IntRect& r) {
    fillRect(layer, value, r);
    fillRect(opacity, L8(255), r);
}

} // namespace

UISlider::UISlider(UIContext& context, Parameter* parameter_)
    : UIBufferedElement(context), parameter(parameter_) {
    continuous_ = dynamic_cast<FloatParameter*>(parameter);
    integer_ = dynamic_cast<IntegerParameter*>(parameter);
    if (!continuous_ && !integer_) fatalError("a slider needs a continuous or integer parameter");
    parameter->addListener(this);
}

UISlider::~UISlider() {
    // Notification holds the parameter's listener lock: once this returns, no
    // callback can reach the slider being destroyed.
    parameter->removeListener(this);
}

void UISlider::parameterChanged(Parameter*) {
    markDirty();
}
void UISlider::parameterEditBegun(Parameter*) {}
void UISlider::parameterEditEnded(Parameter*) {}

bool UISlider::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool isDoubleClick,
                            MouseState) {
    if (isDoubleClick) {
        parameter->beginEdit();
        if (continuous_)
            continuous_->setFromEditor(continuous_->defaultValue());
        else
            integer_->setFromEditor(integer_->defaultValue());
        parameter->endEdit();
    }
    return true;
}

void UISlider::onMouseEnter() {
    markDirty();
}

void UISlider::onMouseExit() {
    markDirty();
}

void UISlider::onDragStart() {
    parameter->beginEdit();
    markDirty();
}

void UISlider::onDragEnd() {
    parameter->endEdit();
    lowClampY = std::numeric_limits<float>::infinity();
    highClampY = -std::numeric_limits<float>::infinity();
    markDirty();
    dragDebt = 0.0f;
}

void UISlider::onDragMove(std::int32_t, std::int32_t y, std::int32_t, std::int32_t dy,
                          MouseState state) {
    const double old = parameter->normalizedValue() + static_cast<double>(dragDebt);
    const auto next =
        dragToValue(old, y, dy, position.height(), dragSensitivity, state, lowClampY, highClampY);
    if (!next) return;
    if (continuous_) {
        continuous_->setFromEditor(continuous_->fromNormalized(*next));
        return;
    }
    const double span = static_cast<double>(integer_->max()) - integer_->min();
    const double plain = std::round(integer_->min() + span * *next); // halves away from zero
    integer_->setFromEditor(static_cast<std::int32_t>(std::clamp(
        plain, static_cast<double>(integer_->min()), static_cast<double>(integer_->max()))));
    dragDebt = static_cast<float>(*next - integer_->normalizedValue());
}

void UISlider::animateSelf(double dt, double) {
    if (approach(pressAmount, getContext().dragged == this ? 1.0 : 0.0, kPressRate, dt))
        markDirty();
}

void UISlider::paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                           const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                           const ImageView<L8>& depthOpacity,
                           const ImageView<L8>& materialOpacity) {
    const std::int32_t W = diffuse.width(), H = diffuse.height();
    if (W <= 0 || H <= 0) return;
    const float w = static_cast<float>(W), h = static_cast<float>(H);
    const double raw = parameter->normalizedValue();
    const auto v = static_cast<float>(std::isfinite(raw) ? std::clamp(raw, 0.0, 1.0) : 0.0);
    const float p = std::isfinite(pressAmount) ? std::clamp(pressAmount, 0.0f, 1.0f) : 0.0f;
    const bool dragged = getContext().dragged == this;

    // Groove.
    const std::int32_t tw = rounded(w * trackWidth);
    const std::int32_t gx = rounded(static_cast<float>(W - tw) / 2.0f);
    const std::int32_t inset =
        std::max(0, rounded(static_cast<float>(rounded(h * handleHeight) - tw) / 2.0f));
    solid(depth, depthOpacity, L16(trackDepth), {gx, inset, gx + tw, H - inset});

    // Handle size; it shrinks a little when pressed.
    const std::int32_t hh = rounded((1.0f - 0.12f * p) * h * handleHeight);
    const std::int32_t hw = rounded((1.0f - 0.06f * p) * handleWidth * w);

    // Trail over the handle's travel.
    const float travel = static_cast<float>(H + 4 - hh);
    auto rowAt = [&](float q) {
        return truncated(q * travel + 0.5f + static_cast<float>(hh) / 2.0f - 2.0f);
    };
    solid(diffuse, diffuseOpacity, trackUnlitDiffuse, {gx, rowAt(0.0f), gx + tw, rowAt(1.0f)});
    RGBA lit = v < trackBase ? trackLitDiffuseBelowBase : trackLitDiffuse;
    if (dragged) lit.a = static_cast<std::uint8_t>(std::min(255.0f, lit.a * 1.5f));
    const std::int32_t basePos = rowAt(1.0f - trackBase), valuePos = rowAt(1.0f - v);
    solid(diffuse, diffuseOpacity, lit,
          {gx, std::min(basePos, valuePos), gx + tw, std::max(basePos, valuePos)});

    // Handle.
    const std::int32_t hx = rounded(static_cast<float>(W - hw) / 2.0f);
    const std::int32_t hy = rounded(static_cast<float>(H - hh) * (1.0f - v));
    const IntRect handle{hx, hy, hx + hw, hy + hh};
    RGBA face = handleDiffuse;
    if (isMouseOver() && !dragged)
        face.a = static_cast<std::uint8_t>(std::min(255, face.a + kHoverGlow));
    solid(diffuse, diffuseOpacity, face, handle);
    solid(material, materialOpacity, handleMaterial, handle);
    fillRect(depthOpacity, L8(255), handle);
    // Depth bands of the handle, each a linear ramp from its top value to its bottom.
    auto band = [&](std::int32_t from, std::int32_t to, std::uint16_t top, std::uint16_t bottom) {
        depthRamp(depth, {hx, hy + from, hx + hw, hy + to}, top, bottom, DepthCurve::linear);
    };
    switch (handleStyle) {
    case 0:
        band(0, hh / 4, 15000, 65535);
        band(hh / 4, hh / 2, 65535, 51400);
        band(hh / 2, 3 * hh / 4, 51400, 65535);
        band(3 * hh / 4, hh, 65535, 15000);
        break;
    case 1:
        band(0, hh / 2, 20000, 50000);
        band(hh / 2, hh, 50000, 20000);
        break;
    case 2:
        band(0, hh / 2, 50000, 20000);
        band(hh / 2, hh, 20000, 50000);
        break;
    default:
        fillRect(depth, L16(50000), handle);
        break;
    }
}

} // namespace corvid
