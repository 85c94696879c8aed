#include "spatium/gui/panorama.h"

#include "corvid/graphics/drawex.h"
#include "corvid/gui/context.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace spatium {

using corvid::RGBA;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
// Distance radius exponent and its inverse.
constexpr float kRadiusPower = 0.75f;
constexpr float kInverseRadiusPower = 4.0f / 3.0f;

constexpr float kTiltRangeDb = 12.0f;
constexpr float kTiltColorSwing = 80.0f;

// Below this output level the ring stops shrinking.
constexpr float kQuietestRingDb = -48.0f;

constexpr RGBA kNearShade{54, 54, 60, 0};
constexpr RGBA kLineColor{210, 210, 255, 0};
constexpr RGBA kPreviewColor{255, 250, 230, 255};
constexpr RGBA kPreviewLineColor{255, 250, 230, 0};

} // namespace

// ---------------------------------------------------------------- geometry

PanoramaGeometry PanoramaGeometry::forSize(std::int32_t width, std::int32_t height) {
    PanoramaGeometry g;
    g.width = static_cast<float>(width);
    g.height = static_cast<float>(height);
    g.listenerX = g.width / 2.0f;
    g.listenerY = g.height - kListenerAboveBottom;
    // Never negative: a box too small for the inset has no half-disc rather than
    // a mirrored one.
    g.radius = std::max(0.0f, std::min(g.width / 2.0f, g.height - kRimBelowTop) - kRimInset);
    return g;
}

PanoramaGeometry::Point PanoramaGeometry::position(float distanceDb, float panAmount) const {
    float a = std::min(1.0f, 1.0f - (distanceDb - kFarthestDb) / kRangeDb);
    a = std::max(0.0f, a);
    const float r = std::pow(a, kRadiusPower) * radius;
    const float theta = std::max(-1.0f, std::min(1.0f, panAmount)) * kPi / 2.0f;
    return {listenerX + std::sin(theta) * r, listenerY - std::cos(theta) * r};
}

PanoramaGeometry::Placement PanoramaGeometry::parametersAt(float x, float y) const {
    const float e = (y - listenerY) / radius;
    const float f = (x - listenerX) / radius;
    const float d = std::sqrt(e * e + f * f);
    Placement p;
    p.distanceDb = kNearestDb - kRangeDb * std::pow(d, kInverseRadiusPower);
    // At the listener (or with no half-disc at all) the direction is 0/0.
    p.panDefined = d > 0.0f && std::isfinite(d);
    p.panDegrees = 0.0f;
    if (p.panDefined) {
        const float deg = std::atan2(f / d, -e / d) * (180.0f / kPi);
        p.panDegrees = std::max(-90.0f, std::min(90.0f, deg));
    }
    return p;
}

bool PanoramaGeometry::hit(float x, float y, float margin) const {
    if (y > height) return false;
    // Without a half-disc there is nothing to place.
    if (!(radius > 0.0f)) return false;
    const float dx = x - listenerX, dy = y - listenerY;
    return std::sqrt(dx * dx + dy * dy) < radius + margin;
}

float PanoramaGeometry::zeroDbRadius() const {
    return std::pow(0.2f, kRadiusPower) * radius;
}

// ---------------------------------------------------------------- panorama

Panorama::Panorama(corvid::UIContext& context, corvid::FloatParameter* pan,
                   corvid::FloatParameter* distance, corvid::FloatParameter* tilt,
                   corvid::FloatParameter* outputLevel)
    : UIElement(context), pan_(pan), distance_(distance), tilt_(tilt), outputLevel_(outputLevel) {
    pan_->addListener(this);
    distance_->addListener(this);
    tilt_->addListener(this);
    outputLevel_->addListener(this);
}

Panorama::~Panorama() {
    outputLevel_->removeListener(this);
    tilt_->removeListener(this);
    distance_->removeListener(this);
    pan_->removeListener(this);
}

void Panorama::feed(float panAmount, float distanceAmount, float tiltAmount, float level,
                    float sampleRate) {
    // A non-finite placement has no picture; the dot stays where it was.
    if (!std::isfinite(panAmount) || !std::isfinite(distanceAmount) || !std::isfinite(tiltAmount) ||
        !std::isfinite(level))
        return;
    const PanoramaFeed item{panAmount, distanceAmount, tiltAmount, level};
    queue_.push(item, sampleRate / kFramesPerFeed);
}

RGBA Panorama::tiltColor(float tiltDb) {
    // A NaN tilt shows as no tilt instead of reaching the byte conversion.
    const float v = std::isnan(tiltDb) ? 0.0f : std::clamp(tiltDb, -kTiltRangeDb, kTiltRangeDb);
    const float b = kTiltColorSwing * v / kTiltRangeDb;
    if (v < 0.0f) return {220, 220, static_cast<std::uint8_t>(255.5f + b), 255};
    return {static_cast<std::uint8_t>(220.5f - b), 220, 255, 255};
}

PanoramaGeometry Panorama::geometry() const {
    return PanoramaGeometry::forSize(position.width(), position.height());
}

void Panorama::setFromPoint(std::int32_t x, std::int32_t y) {
    const PanoramaGeometry::Placement p =
        geometry().parametersAt(static_cast<float>(x), static_cast<float>(y));
    // At the listener the direction is undefined: Pan is set to the value it has,
    // so the host sees the same gesture wherever the click lands.
    pan_->setFromEditor(p.panDefined ? static_cast<double>(p.panDegrees) : pan_->value());
    distance_->setFromEditor(static_cast<double>(p.distanceDb));
}

void Panorama::draw(const corvid::ImageView<RGBA>& d) const {
    using corvid::aaDisc;
    using corvid::aaLine;
    using corvid::aaRing;

    const PanoramaGeometry g = geometry();
    const float lx = g.listenerX, ly = g.listenerY;
    const PanoramaGeometry::Point p = g.position(static_cast<float>(distance_->value()),
                                                 static_cast<float>(pan_->value() / 90.0));
    const PanoramaGeometry::Point f = g.position(lastFeed_.distanceAmount, lastFeed_.panAmount);
    // A negative level would turn the dot's radii inside out.
    const float level = std::max(0.0f, lastFeed_.level);
    const RGBA ct = tiltColor(static_cast<float>(tilt_->value()));
    const RGBA cf = tiltColor(lastFeed_.tiltAmount);
    const float m =
        (std::max(kQuietestRingDb, static_cast<float>(outputLevel_->value())) / 64.0f + 1.0f) *
        8.0f;
    const float j = g.zeroDbRadius();

    // Lines are walked from their far end (the source, the engine's position)
    // towards their near end.
    aaDisc(d, lx, ly, j - 1.0f, j + 1.0f, kNearShade, 0.4f);
    aaLine(d, p.x, p.y, lx, ly, kLineColor, 80);
    aaLine(d, f.x, f.y, p.x, p.y, kLineColor, 40);
    aaDisc(d, f.x, f.y, 0.0f, 10.0f * level, cf, 0.15f);
    aaDisc(d, p.x, p.y, 0.0f, 20.0f, ct, 0.1f);
    aaDisc(d, f.x, f.y, std::max(0.0f, 5.0f * level - 2.0f), 5.0f * level, cf, 0.8f);
    aaRing(d, p.x, p.y, m - 2.0f, m, m + 2.0f, ct, 0.8f);
    aaDisc(d, p.x, p.y, 1.0f, 3.0f, ct, 0.8f);

    const float mx = static_cast<float>(mouseX_), my = static_cast<float>(mouseY_);
    if (mouseOver && context.dragged != this && g.hit(mx, my, kHitMargin)) {
        const PanoramaGeometry::Placement at = g.parametersAt(mx, my);
        const float panAmount =
            at.panDefined ? at.panDegrees / 90.0f : static_cast<float>(pan_->value() / 90.0);
        const PanoramaGeometry::Point q = g.position(at.distanceDb, panAmount);
        aaLine(d, q.x, q.y, lx, ly, kPreviewLineColor, 40);
        aaDisc(d, q.x, q.y, 0.0f, 20.0f, kPreviewColor, 0.05f);
        aaRing(d, q.x, q.y, m - 2.0f, m, m + 2.0f, kPreviewColor, 0.4f);
        aaDisc(d, q.x, q.y, 1.0f, 3.0f, kPreviewColor, 0.4f);
    }
}

void Panorama::paintMaps(const corvid::ImageView<RGBA>& diffuseMap,
                         const corvid::ImageView<corvid::L16>&, const corvid::ImageView<RGBA>&,
                         const std::vector<corvid::IntRect>& dirtyRects) {
    // Every box is drawn in element coordinates and only clipped to the box, so
    // the sub-pixel positions, and with them the pixels, do not depend on how the
    // dirty area was cut up.
    for (const corvid::IntRect& box : dirtyRects) draw(diffuseMap.withClip(box));
}

// ---------------------------------------------------------------- input

bool Panorama::onMouseClick(std::int32_t x, std::int32_t y, corvid::MouseButton, bool isDoubleClick,
                            corvid::MouseState) {
    if (!geometry().hit(static_cast<float>(x), static_cast<float>(y), kHitMargin)) return false;
    pan_->beginEdit();
    if (isDoubleClick) {
        pan_->setFromEditor(pan_->defaultValue());
        pan_->endEdit();
        distance_->beginEdit();
        distance_->setFromEditor(distance_->defaultValue());
    } else {
        distance_->beginEdit();
        setFromPoint(x, y);
        pan_->endEdit();
    }
    distance_->endEdit();
    return true;
}

void Panorama::onMouseMove(std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                           corvid::MouseState) {
    mouseX_ = x;
    mouseY_ = y;
    markDirty();
}

void Panorama::onMouseExit() {
    // The hover preview goes with the pointer.
    markDirty();
}

void Panorama::onDragStart() {
    pan_->beginEdit();
    distance_->beginEdit();
}

void Panorama::onDragMove(std::int32_t x, std::int32_t y, std::int32_t, std::int32_t,
                          corvid::MouseState) {
    mouseX_ = x;
    mouseY_ = y;
    setFromPoint(x, y);
}

void Panorama::onDragEnd() {
    distance_->endEdit();
    pan_->endEdit();
    // The hover preview, hidden while dragging, may show again.
    markDirty();
}

void Panorama::animateSelf(double dt, double) {
    PanoramaFeed item;
    if (queue_.read(&item, 1, 0, dt) != 1) return;
    // A source that stays put is fed again every block; redrawing it would relight
    // the same picture at the frame rate.
    const bool moved = item.panAmount != lastFeed_.panAmount ||
                       item.distanceAmount != lastFeed_.distanceAmount ||
                       item.tiltAmount != lastFeed_.tiltAmount || item.level != lastFeed_.level;
    lastFeed_ = item;
    if (moved) markDirty();
}

// ---------------------------------------------------------------- parameters

void Panorama::parameterChanged(corvid::Parameter*) {
    markDirty();
}
void Panorama::parameterEditBegun(corvid::Parameter*) {}
void Panorama::parameterEditEnded(corvid::Parameter*) {}

} // namespace spatium
