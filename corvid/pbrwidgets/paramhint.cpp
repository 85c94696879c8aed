#include "corvid/pbrwidgets/paramhint.h"

#include "corvid/graphics/draw.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/widgetdraw.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace corvid {

namespace {

std::uint8_t mixByte(std::uint8_t low, std::uint8_t high, float e) {
    return static_cast<std::uint8_t>(
        std::clamp(truncToPixel(float(low) * (1.0f - e) + float(high) * e + 0.5f), 0, 255));
}

RGBA mixColor(RGBA low, RGBA high, float e) {
    return {mixByte(low.r, high.r, e), mixByte(low.g, high.g, e), mixByte(low.b, high.b, e),
            mixByte(low.a, high.a, e)};
}

// One step of at most `step` toward target, never past it.
float approach(float value, float target, double step) {
    if (value < target) return float(std::min(double(target), double(value) + step));
    if (value > target) return float(std::max(double(target), double(value) - step));
    return value;
}

} // namespace

std::string_view cutUtf8(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t n = maxBytes;
    // Back off over continuation bytes so the cut falls before a lead byte.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0u) == 0x80u) --n;
    return text.substr(0, n);
}

std::int32_t hintFaceInset(std::int32_t side, float s) {
    return std::max(0, truncToPixel((float(side) - s * float(side)) * 0.5f));
}

UIParamHint::UIParamHint(UIContext& ctx, Parameter* p, Font* f)
    : UIBufferedElement(ctx), parameter(p), font(f) {
    if (parameter != nullptr) parameter->addListener(this);
}

UIParamHint::~UIParamHint() {
    // The parameter notifies under its list lock, so once this returns no callback
    // is running on this object any more and none will start.
    if (parameter != nullptr) parameter->removeListener(this);
}

void UIParamHint::parameterChanged(Parameter*) {
    changed.store(true);
}

void UIParamHint::parameterEditBegun(Parameter*) {
    editing.store(true);
    changed.store(true);
}

void UIParamHint::parameterEditEnded(Parameter*) {
    editing.store(false);
}

void UIParamHint::rebuildText() {
    textLength = 0;
    if (parameter == nullptr) return;
    char display[kDisplayCapacity + 1] = {};
    parameter->displayForHost(display, sizeof display);
    display[kDisplayCapacity] = '\0';
    const std::string_view value =
        cutUtf8(std::string_view(display, std::strlen(display)), kDisplayCapacity);
    std::string_view unit = parameter->label();
    std::memcpy(textBuffer.data(), value.data(), value.size());
    std::size_t n = value.size();
    textBuffer[n++] = ' ';
    unit = cutUtf8(unit, kTextCapacity - n);
    std::memcpy(textBuffer.data() + n, unit.data(), unit.size());
    textLength = n + unit.size();
}

void UIParamHint::animateSelf(double dt, double) {
    if (!(dt >= 0.0) || !std::isfinite(dt)) dt = 0.0;
    bool dirty = false;
    bool expected = true;
    if (editing.load() && changed.compare_exchange_strong(expected, false)) {
        sinceEdit = 0.0;
        rebuildText();
        dirty = true;
    }
    const float target = sinceEdit < lingerTime ? 1.0f : 0.0f;
    const double time = target > visibility ? fadeInTime : fadeOutTime;
    // A zero or negative fade time jumps straight to the target.
    const double step = time > 0.0 ? dt / time : std::numeric_limits<double>::infinity();
    const float v = approach(clampUnit(visibility), target, step);
    if (v != visibility) {
        visibility = v;
        dirty = true;
    }
    if (dirty) markDirty();
    sinceEdit += dt;
}

void UIParamHint::paintLayers(const ImageView<RGBA>& diffuse, const ImageView<L16>& depth,
                              const ImageView<RGBA>& material, const ImageView<L8>& diffuseOpacity,
                              const ImageView<L8>& depthOpacity,
                              const ImageView<L8>& materialOpacity) {
    const std::int32_t w = diffuse.width(), h = diffuse.height();
    if (w <= 0 || h <= 0) return;
    const float v = clampUnit(visibility);
    const float r = std::min(1.0f, 2.0f * v);
    const float e = std::max(0.0f, 2.0f * v - 1.0f);

    const std::int32_t plateTop = std::clamp(truncToPixel(float(h) * (1.0f - r)), 0, h);
    const IntRect above{0, 0, w, plateTop};
    const IntRect plate{0, plateTop, w, h};
    const float strength = std::clamp(baseAlpha, 0.0f, 1.0f);
    fillRect(material, baseMaterial, above);
    fillRect(materialOpacity, L8(std::uint8_t(truncToPixel(strength * 255.0f + 0.5f))), above);
    fillRect(depth, L16(0), plate);
    fillRect(depthOpacity, L8(255), plate);
    fillRect(diffuse, plateDiffuse, plate);
    fillRect(diffuseOpacity, L8(255), plate);
    if (!(e > 0.0f)) return;

    const float s = 0.8f + 0.2f * e;
    const std::int32_t ix = hintFaceInset(w, s), iy = hintFaceInset(h, s);
    const IntRect face{ix, iy, w - ix, h - iy};
    const float depthValue = (float(faceDepthHigh) - float(faceDepthLow)) * e + float(faceDepthLow);
    fillRect(depth, L16(std::uint16_t(std::clamp(truncToPixel(depthValue), 0, 65535))), face);
    fillRect(depthOpacity, L8(255), face);
    fillRect(material, faceMaterial, face);
    fillRect(materialOpacity, L8(255), face);
    fillRect(diffuse, mixColor(faceDiffuseLow, faceDiffuseHigh, e), face);
    fillRect(diffuseOpacity, L8(255), face);

    const float size = s * textSize;
    if (font == nullptr || textLength == 0 || !drawableTextSize(size)) return;
    const ImageView<RGBA> faceView = diffuse.crop(face);
    drawText(faceView, *font, currentText(), size, 0.0f, mixColor(textColorLow, textColorHigh, e),
             float(w) * 0.5f - float(face.minX), float(h) * 0.5f - float(face.minY), alignCentre,
             alignCentre);
}

} // namespace corvid
