#include "corvid/pbrwidgets/slider.h"

#include "corvid/core/error.h"
#include "corvid/graphics/draw.h"
#include "corvid/graphics/drawex.h"
#include "corvid/gui/context.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

constexpr double kSliderPressSpeed = 30.0;
constexpr float kFineDragFactor = 0.1f;

RGBA withAlpha(RGBA c, int alpha) {
    c.a = static_cast<std::uint8_t>(std::clamp(alpha, 0, 255));
    return c;
}

void fillAll(const ImageView<RGBA>& view, const ImageView<L8>& opacity, RGBA c, const IntRect& r) {
    fillRect(view, c, r);
    fillRect(opacity, L8(255), r);
}

void fillAll(const ImageView<L16>& view, const ImageView<L8>& opacity, std::uint16_t v,
             const IntRect& r) {
    fillRect(view, L16(v), r);
    fillRect(opacity, L8(255), r);
}

void rampAll(const ImageView<L16>& view, const ImageView<L8>& opacity, const IntRect& r,
             std::uint16_t top, std::uint16_t bottom) {
    if (r.isEmpty()) return;
    depthRamp(view, r, top, bottom, DepthCurve::linear);
    fillRect(opacity, L8(255), r);
}

} // namespace

std::int32_t truncToPixels(double v) {
    constexpr double kLimit = 1 << 28;
    if (!(v == v)) return 0;
    return static_cast<std::int32_t>(std::clamp(v, -kLimit, kLimit));
}

UISlider::UISlider(UIContext& context, Parameter* p) : UIBufferedElement(context), parameter(p) {
    floatParameter = dynamic_cast<FloatParameter*>(p);
    integerParameter = dynamic_cast<IntegerParameter*>(p);
    if (floatParameter == nullptr && integerParameter == nullptr)
        fatalError("UISlider needs a float or integer parameter");
    parameter->addListener(this);
}

UISlider::~UISlider() {
    parameter->removeListener(this);
}

bool UISlider::onMouseClick(std::int32_t, std::int32_t, MouseButton, bool isDoubleClick,
                            MouseState) {
    if (isDoubleClick) {
        parameter->beginEdit();
        if (floatParameter != nullptr)
            floatParameter->setFromEditor(floatParameter->defaultValue());
        else
            integerParameter->setFromEditor(integerParameter->defaultValue());
        parameter->endEdit();
    }
    return true;
}

void UISlider::onDragStart() {
    parameter->beginEdit();
    markDirty();
}

void UISlider::onDragEnd() {
    parameter->endEdit();
    lowClampY = std::numeric_limits<float>::infinity();
    highClampY = -std::numeric_limits<float>::infinity();
    dragDebt = 0.0f;
    markDirty();
}

void UISlider::onDragMove(std::int32_t, std::int32_t y, std::int32_t, std::int32_t dy,
                          MouseState state) {
    const double old = parameter->normalizedValue() + dragDebt;
    const float fy = static_cast<float>(y);
    if (fy > lowClampY || fy < highClampY) return;
    const float factor = (state.ctrlPressed || state.shiftPressed) ? kFineDragFactor : 1.0f;
    const float height = static_cast<float>(position.height());
    if (!(height > 0.0f)) return;
    const float delta = static_cast<float>(dy) / height * factor * dragSensitivity;
    const double moved = old - delta;
    if (!(moved == moved)) return; // a NaN sensitivity moves nothing
    if (old > 0.0 && moved <= 0.0) lowClampY = fy;
    if (old < 1.0 && moved >= 1.0) highClampY = fy;
    const double clamped = std::min(1.0, std::max(0.0, moved));
    if (clamped > 0.0) lowClampY = std::numeric_limits<float>::infinity();
    if (clamped < 1.0) highClampY = -std::numeric_limits<float>::infinity();
    if (clamped == old) return;
    if (floatParameter != nullptr) {
        floatParameter->setFromEditor(floatParameter->fromNormalized(clamped));
    } else {
        // A drag short of the next step only adds to the debt; the host hears of
        // real steps only.
        const std::int32_t step = integerParameter->integerForNormalized(clamped);
        if (step != integerParameter->value()) integerParameter->setFromEditor(step);
        dragDebt = static_cast<float>(clamped - integerParameter->normalizedValue());
    }
}

void UISlider::onMouseEnter() {
    markDirty();
}
void UISlider::onMouseExit() {
    markDirty();
}

void UISlider::animateSelf(double dt, double) {
    const double target = getContext().dragged == this ? 1.0 : 0.0;
    const double a = std::exp(-kSliderPressSpeed * dt);
    const float next = static_cast<float>(pressAmount * a + target * (1.0 - a));
    if (std::fabs(next - pressAmount) > 0.001f) {
        pressAmount = next;
        markDirty();
    }
}

void UISlider::paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                           const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                           const ImageView<L8>& depthOpacity,
                           const ImageView<L8>& materialOpacity) {
    const double w = diffuse.width(), h = diffuse.height();
    const double v = std::clamp(parameter->normalizedValue(), 0.0, 1.0);
    const double p = pressAmount;
    const bool dragged = getContext().dragged == this;

    // Groove.
    const std::int32_t tw = std::max(0, truncToPixels(w * trackWidth + 0.5));
    const std::int32_t gx = truncToPixels((w - tw) / 2.0 + 0.5);
    const std::int32_t restHandle = truncToPixels(h * handleHeight + 0.5);
    const std::int32_t inset = std::max(0, truncToPixels((double(restHandle) - tw) / 2.0 + 0.5));
    const std::int32_t ih = diffuse.height();
    if (inset < ih - inset)
        fillAll(depth, depthOpacity, trackDepth, {gx, inset, gx + tw, ih - inset});

    // Handle size, shrinking a little while pressed.
    const std::int32_t hh = std::max(0, truncToPixels((1.0 - 0.12 * p) * h * handleHeight + 0.5));
    const std::int32_t hw = std::max(0, truncToPixels((1.0 - 0.06 * p) * handleWidth * w + 0.5));

    // Trail over the handle's travel.
    const double travel = h + 4.0 - hh;
    auto trailRow = [&](double t) { return truncToPixels(t * travel + 0.5 + hh / 2.0 - 2.0); };
    const std::int32_t top = trailRow(0.0), bottom = trailRow(1.0);
    if (top < bottom)
        fillAll(diffuse, diffuseOpacity, trackUnlitDiffuse, {gx, top, gx + tw, bottom});
    const std::int32_t baseRow = trailRow(1.0 - trackBase), valueRow = trailRow(1.0 - v);
    RGBA lit = v < trackBase ? trackLitDiffuseBelowBase : trackLitDiffuse;
    if (dragged) lit = withAlpha(lit, truncToPixels(lit.a * 1.5));
    const std::int32_t litTop = std::min(baseRow, valueRow),
                       litBottom = std::max(baseRow, valueRow);
    if (litTop < litBottom) fillAll(diffuse, diffuseOpacity, lit, {gx, litTop, gx + tw, litBottom});

    // Handle.
    const std::int32_t hx = truncToPixels((w - hw) / 2.0 + 0.5);
    const std::int32_t hy = truncToPixels((h - hh) * (1.0 - v) + 0.5);
    if (hw <= 0 || hh <= 0) return;
    const IntRect handle{hx, hy, hx + hw, hy + hh};
    RGBA body = handleDiffuse;
    if (isMouseOver() && !dragged) body = withAlpha(body, body.a + 50);
    fillAll(diffuse, diffuseOpacity, body, handle);
    fillAll(material, materialOpacity, handleMaterial, handle);
    const std::int32_t q1 = hy + hh / 4, q2 = hy + hh / 2, q3 = hy + hh * 3 / 4;
    switch (handleStyle) {
    case 0:
        rampAll(depth, depthOpacity, {hx, hy, hx + hw, q1}, 15000, 65535);
        rampAll(depth, depthOpacity, {hx, q1, hx + hw, q2}, 65535, 51400);
        rampAll(depth, depthOpacity, {hx, q2, hx + hw, q3}, 51400, 65535);
        rampAll(depth, depthOpacity, {hx, q3, hx + hw, hy + hh}, 65535, 15000);
        break;
    case 1:
        rampAll(depth, depthOpacity, {hx, hy, hx + hw, q2}, 20000, 50000);
        rampAll(depth, depthOpacity, {hx, q2, hx + hw, hy + hh}, 50000, 20000);
        break;
    case 2:
        rampAll(depth, depthOpacity, {hx, hy, hx + hw, q2}, 50000, 20000);
        rampAll(depth, depthOpacity, {hx, q2, hx + hw, hy + hh}, 20000, 50000);
        break;
    case 3:
        fillAll(depth, depthOpacity, 50000, handle);
        break;
    default:
        break;
    }
}

void UISlider::parameterChanged(Parameter*) {
    markDirty();
}
void UISlider::parameterEditBegun(Parameter*) {}
void UISlider::parameterEditEnded(Parameter*) {}

} // namespace corvid
