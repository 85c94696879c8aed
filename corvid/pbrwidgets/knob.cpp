#include "corvid/pbrwidgets/knob.h"

#include "corvid/gui/context.h"
#include "corvid/pbrwidgets/dragrule.h"
#include "corvid/pbrwidgets/paintbox.h"
#include "corvid/pbrwidgets/shapes.h"

#include <algorithm>
#include <cmath>

namespace corvid {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 6.28318530717959f;
constexpr float kHalfPi = 1.57079632679490f;
// Beyond this many LEDs the dots are smaller than a pixel apart on any knob the
// editor can hold; the count only costs time.
constexpr std::int32_t kMostLeds = 1024;
constexpr RGBA kLedMaterial{128, 128, 255, 255};
constexpr float kLedSpecularRadius = 0.714f;
constexpr std::uint16_t kDimpleTop = 65535;
constexpr std::uint16_t kDimpleDepth = 38400;
constexpr float kPressedDepth = 45000.0f;
constexpr std::uint8_t kHoverGlow = 30;

std::uint16_t pressedDepth(float p) {
    const float d = (1.0f - p) * 65535.0f + p * kPressedDepth + 0.5f;
    return static_cast<std::uint16_t>(std::clamp(d, 0.0f, 65535.0f));
}

std::uint8_t mixChannel(std::uint8_t unlit, std::uint8_t lit, float p) {
    const float v = (1.0f - p) * static_cast<float>(unlit) + p * static_cast<float>(lit);
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
}

} // namespace

UIKnob::UIKnob(UIContext& context, FloatParameter* parameter_)
    : UIElement(context), parameter(parameter_) {
    dragSensitivity = 0.25f;
    parameter->addListener(&changeHook);
    pressAmount = 0.0f;
    clearCrossingMarks();
}

UIKnob::~UIKnob() {
    // The parameter notifies under its listener lock, so once this returns no
    // callback is running on another thread and none will reach this object.
    parameter->removeListener(&changeHook);
}

float UIKnob::getDragSensitivity() {
    return dragSensitivity;
}

float UIKnob::setDragSensitivity(float sensitivity) {
    dragSensitivity = sensitivity;
    return dragSensitivity;
}

void UIKnob::parameterChanged(Parameter*) {
    markDirty();
}
void UIKnob::parameterEditBegun(Parameter*) {}
void UIKnob::parameterEditEnded(Parameter*) {}

float UIKnob::screenMinAngle() {
    return minAngle + kScreenAngleOffset;
}
float UIKnob::screenMaxAngle() {
    return maxAngle + kScreenAngleOffset;
}
float UIKnob::screenBaseAngle() {
    return baseAngle + kScreenAngleOffset;
}
float UIKnob::screenValueAngle() {
    const auto v = static_cast<float>(drawableValue());
    return screenMinAngle() * (1.0f - v) + screenMaxAngle() * v;
}

void UIKnob::clearCrossingMarks() {
    lowClampY = std::numeric_limits<float>::infinity();
    highClampY = -std::numeric_limits<float>::infinity();
}

double UIKnob::drawableValue() const {
    const double v = parameter->normalizedValue();
    return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

bool UIKnob::isDragged() const {
    return getContext().dragged == this;
}

KnobGeometry UIKnob::geometry() const {
    const std::int32_t w = std::max(position.width(), 0);
    const std::int32_t h0 = std::max(position.height(), 0);
    std::int32_t x0, x1, y0, y1;
    if (h0 >= w) {
        const std::int32_t t = (h0 - w) / 2;
        x0 = 0;
        x1 = w;
        y0 = t;
        y1 = t + w;
    } else {
        const std::int32_t v = (w - h0) / 2;
        x0 = v;
        x1 = v + h0;
        y0 = 0;
        y1 = h0;
    }
    KnobGeometry g;
    g.cx = static_cast<float>(x0 + x1 - 1) / 2.0f;
    g.cy = static_cast<float>(y0 + y1 - 1) / 2.0f;
    g.side = static_cast<float>(std::min(w, h0));
    g.halfSide = g.side / 2.0f;
    g.bodyRadius = g.halfSide * bodyRadius;
    return g;
}

bool UIKnob::hitTest(std::int32_t x, std::int32_t y) const {
    const KnobGeometry g = geometry();
    const float dx = static_cast<float>(x) - g.cx;
    const float dy = static_cast<float>(y) - g.cy;
    return std::sqrt(dx * dx + dy * dy) < g.side / 2.0f;
}

bool UIKnob::onMouseClick(std::int32_t x, std::int32_t y, MouseButton, bool isDoubleClick,
                          MouseState) {
    if (!hitTest(x, y)) return false;
    if (isDoubleClick) {
        parameter->beginEdit();
        parameter->setFromEditor(parameter->defaultValue());
        parameter->endEdit();
    }
    return true;
}

void UIKnob::onMouseMove(std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, MouseState) {
    hovered = hitTest(x, y);
    markDirty();
}

void UIKnob::onMouseExit() {
    hovered = false;
    markDirty();
}

void UIKnob::onDragStart() {
    parameter->beginEdit();
    markDirty();
}

void UIKnob::onDragEnd() {
    parameter->endEdit();
    clearCrossingMarks();
    markDirty();
}

void UIKnob::onDragMove(std::int32_t, std::int32_t y, std::int32_t, std::int32_t dy,
                        MouseState state) {
    const double old = parameter->normalizedValue();
    const auto next =
        dragToValue(old, y, dy, position.height(), dragSensitivity, state, lowClampY, highClampY);
    if (next) parameter->setFromEditor(parameter->fromNormalized(*next));
}

void UIKnob::animateSelf(double dt, double) {
    bool dirty = changeHook.changed.exchange(false);
    if (approach(pressAmount, isDragged() ? 1.0 : 0.0, static_cast<double>(pressSpeed), dt))
        dirty = true;
    if (dirty) markDirty();
}

void UIKnob::paintMaps(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                       const ImageView<RGBA>& materialMap, const std::vector<IntRect>& dirtyRects) {
    drawTrail(diffuseMap, dirtyRects);
    drawBodyAndLeds(diffuseMap, depthMap, materialMap, dirtyRects);
}

void UIKnob::drawTrail(const ImageView<RGBA>& diffuseMap, const std::vector<IntRect>& boxes) {
    const KnobGeometry g = geometry();
    const IntRect element = elementInCrop(position);
    const float tx = static_cast<float>(element.minX) + g.cx + trailShiftX * g.bodyRadius;
    const float ty = static_cast<float>(element.minY) + g.cy + trailShiftY * g.bodyRadius;
    const float ri = trailRadiusMin * g.halfSide;
    const float ro = trailRadiusMax * g.halfSide;
    const float lo = screenMinAngle(), hi = screenMaxAngle();
    const float base = screenBaseAngle(), value = screenValueAngle();
    RGBA lit = useBelowBaseColour && base > value ? trailLitDiffuseBelowBase : trailLitDiffuse;
    if (isDragged()) lit.a = static_cast<std::uint8_t>(std::min(255, lit.a * 2));
    for (const IntRect& box : boxes) {
        const ImageView<RGBA> d = boxView(diffuseMap, box, element);
        if (d.drawableArea().isEmpty()) continue;
        annularArcPair(d, tx, ty, ri, ro, {lo, hi, trailUnlitDiffuse},
                       {std::min(base, value), std::max(base, value), lit});
    }
}

void UIKnob::drawBodyAndLeds(const ImageView<RGBA>& diffuseMap, const ImageView<L16>& depthMap,
                             const ImageView<RGBA>& materialMap,
                             const std::vector<IntRect>& boxes) {
    const KnobGeometry g = geometry();
    const IntRect element = elementInCrop(position);
    const float p = std::isfinite(pressAmount) ? std::clamp(pressAmount, 0.0f, 1.0f) : 0.0f;
    const float R = g.bodyRadius;
    const std::uint16_t depth = pressedDepth(p);
    const bool glow = hovered && !isDragged();
    const RGBA body{bodyDiffuse.r, bodyDiffuse.g, bodyDiffuse.b,
                    glow ? kHoverGlow : std::uint8_t(0)};
    const std::int32_t leds = std::clamp(ledCount, 0, kMostLeds);
    const float valueAngle = screenValueAngle();
    const float orbit = (1.0f - p) * ledOrbit + p * ledOrbitPressed;
    const RGBA ledColour{mixChannel(ledUnlitDiffuse.r, ledLitDiffuse.r, p),
                         mixChannel(ledUnlitDiffuse.g, ledLitDiffuse.g, p),
                         mixChannel(ledUnlitDiffuse.b, ledLitDiffuse.b, p),
                         mixChannel(ledUnlitDiffuse.a, ledLitDiffuse.a, p)};

    for (const IntRect& box : boxes) {
        const ImageView<RGBA> dif = boxView(diffuseMap, box, element);
        const ImageView<L16> dep = boxView(depthMap, box, element);
        const ImageView<RGBA> mat = boxView(materialMap, box, element);
        if (dif.drawableArea().isEmpty()) continue;
        const float x = static_cast<float>(element.minX) + g.cx;
        const float y = static_cast<float>(element.minY) + g.cy;

        switch (bodyStyle) {
        case KnobBodyStyle::dimpled: {
            const float dimple = std::max(0.0f, 3.0f * R / 5.0f);
            softDisc(dep, x, y, R, dimple, kDimpleTop);
            softDisc(dep, x, y, dimple, 0.0f, kDimpleDepth);
            break;
        }
        case KnobBodyStyle::cylinder:
            softDisc(dep, x, y, R, R - 5.0f, depth);
            break;
        case KnobBodyStyle::cone:
            softDisc(dep, x, y, R, 0.0f, depth);
            break;
        case KnobBodyStyle::ball:
            roundedDisc(dep, x, y, R, 2.0f, depth);
            break;
        default:
            break;
        }
        softDisc(dif, x, y, R, R - 1.0f, body);
        softDisc(mat, x, y, R, R - 5.0f, bodyMaterial);

        for (std::int32_t j = 0; j < leds; ++j) {
            const float s = kTwoPi * static_cast<float>(j) / static_cast<float>(leds);
            const float phi = valueAngle + kHalfPi + s;
            const float lx = x + std::sin(phi) * R * orbit;
            const float ly = y - std::cos(phi) * R * orbit;
            const float w = 2.0f * std::fabs(s - kPi) / kPi - 1.0f;
            const float r = std::max(0.0f, w * ledRadiusMax + (1.0f - w) * ledRadiusMin) * R;
            softDiscs(dep, ledDepth, dif, ledColour, lx, ly, r, 0.0f);
            softDisc(mat, lx, ly, r, kLedSpecularRadius * r, kLedMaterial);
        }
    }
}

} // namespace corvid
